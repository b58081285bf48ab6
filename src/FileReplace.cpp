#include "FileReplace.h"
#include "FileReplaceDetail.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <thread>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace replace_detail;

namespace {

std::string failure;

bool writeWhole(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const auto written = write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}

using Clock = std::chrono::steady_clock;

// Another game holds a lock only while it rewrites a few bytes, and games that end together
// take their turns one by one, each changing the table when it is done: however long the queue
// (thirty games on a disk that takes 300 ms to flush wait ten seconds), the table changes every
// moment. A holder that leaves it as it is for lockPatience hangs, or its disk does; then this
// game stops waiting for that lock. Both waits of one game's end together stop at the time
// its FileLock set (tableWait after it began): that bounds the waiting, not the writing and
// flushing after it.
constexpr auto lockPatience = std::chrono::seconds(2);
constexpr auto lockPause = std::chrono::milliseconds(5);

// How a wait for a lock ended: taken (handle given), given up on while another held it, or no
// lock to be had.
struct LockWait final {
    LockTry outcome = LockTry::impossible;
    std::intptr_t handle = 0;
};

LockWait waitForLock(LockTry (*attempt)(const std::string&, std::intptr_t&),
                     const std::string& target, Clock::time_point giveUpAt) {
    LockWait wait;
    if (target.empty()) {
        return wait;
    }
    std::string seen = changeStamp(target);
    auto lastChange = Clock::now();
    while ((wait.outcome = attempt(target, wait.handle)) == LockTry::held) {
        if (Clock::now() >= std::min(lastChange + lockPatience, giveUpAt)) {
            break;
        }
        std::this_thread::sleep_for(lockPause);
        std::string stamp = changeStamp(target);
        if (stamp != seen) {
            seen = std::move(stamp);
            lastChange = Clock::now();
        }
    }
    return wait;
}

// Held over the last look at the file and the rename, by every writer: by the one whose turn
// it is and by those that gave up waiting for a turn held too long. Those then still write
// one after the other, each from what the one before put in place. A writer that cannot have
// it because another holder hangs does not write at all: whatever it put in place, the holder
// would put its own table over it, made before, and a score said to be kept would be lost.
class LastLook final {
public:
    LastLook(const std::string& target, Clock::time_point giveUpAt)
        : wait(waitForLock(tryLastLookLock, target, giveUpAt)) {}
    ~LastLook() {
        if (held()) {
            unlock(wait.handle);
        }
    }
    bool held() const { return wait.outcome == LockTry::taken; }
    bool givenUp() const { return wait.outcome == LockTry::held; }

    LastLook(const LastLook&) = delete;
    LastLook& operator=(const LastLook&) = delete;

private:
    LockWait wait;
};

// Without the last look's lock (a system without locks), a writer that keeps changing the file
// under this one would otherwise hold it here for ever.
constexpr int composeRounds = 3;

std::string folderOf(const std::string& target) {
    const std::string::size_type slash = target.rfind('/');
    return slash == std::string::npos ? "." : target.substr(0, slash);
}

std::string nameOf(const std::string& target) {
    const std::string::size_type slash = target.rfind('/');
    return slash == std::string::npos ? target : target.substr(slash + 1);
}

// Hidden, and named after the file, so that a scratch file a crash leaves is not taken for
// anything the game reads; mkstemp fills in the six characters.
std::string scratchPattern(const std::string& target) {
    return folderOf(target) + "/." + nameOf(target) + ".XXXXXX";
}

bool isScratchName(const std::string& entry, const std::string& target) {
    const std::string head = "." + nameOf(target) + ".";
    if (entry.size() != head.size() + 6 || entry.compare(0, head.size(), head) != 0) {
        return false;
    }
    for (std::size_t at = head.size(); at < entry.size(); ++at) {
        const char c = entry[at];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) {
            return false;
        }
    }
    return true;
}

// A scratch file lives for the few milliseconds of a rewrite, or the seconds its writer waits
// for the last look; one a minute old was left by a game killed mid-rewrite, and nothing else
// would ever remove it. Its age is what tells, since the name says nothing of its writer and
// an open file's writer cannot be asked for on every system; a writer stopped for longer
// finds its file gone and says that its table could not be written, which is true.
constexpr double strayAge = 60;

void removeStrays(const std::string& target) {
    const std::string folder = folderOf(target);
    DIR* entries = opendir(folder.c_str());
    if (entries == nullptr) {
        return;
    }
    const std::time_t now = std::time(nullptr);
    while (const dirent* entry = readdir(entries)) {
        const std::string name = entry->d_name;
        const std::string path = folder + "/" + name;
        struct stat file;
        if (isScratchName(name, target) && stat(path.c_str(), &file) == 0 &&
            S_ISREG(file.st_mode) && std::difftime(now, file.st_mtime) > strayAge) {
            unlink(path.c_str());
        }
    }
    closedir(entries);
}

enum class Made { ready, failed, impossible };

// Writes text to a new file beside target, named in scratch. "impossible" when none can be
// made there (a folder the player may not write, an owner that cannot be kept): the caller then
// writes in place.
Made makeScratch(const std::string& target, const std::string& text, std::string& scratch) {
    scratch = scratchPattern(target);
    const int fd = mkstemp(&scratch[0]);
    if (fd < 0) {
        return Made::impossible;
    }
    if (!keepIdentity(fd, target)) {
        close(fd);
        unlink(scratch.c_str());
        return Made::impossible;
    }
    const bool written = writeWhole(fd, text) && flushToDisk(fd);
    if (close(fd) != 0 || !written) {
        failedWithErrno();
        unlink(scratch.c_str());
        return Made::failed;
    }
    return Made::ready;
}

// The new text goes over the old before the file is cut to its length, never the other way
// round: a game killed in between leaves the new table with a tail of the old one, which the
// reads pass over, instead of an empty table.
bool writeInPlace(const std::string& path, const std::string& text) {
    const int fd = openInPlace(path);
    if (fd < 0) {
        failedWithErrno();
        return false;
    }
    const bool written = writeWhole(fd, text) &&
                         ftruncate(fd, static_cast<off_t>(text.size())) == 0 && flushToDisk(fd);
    if (close(fd) != 0 || !written) {
        failedWithErrno();
        return false;
    }
    return true;
}

// Under the last look: where another writer put its table in place since text was composed,
// the scratch file is made again from compose's newer answer, so that its change is not undone.
// Holding the lock, once is enough.
Made catchUp(const std::string& target, const std::function<std::string()>& compose, bool locked,
             std::string& text, std::string& scratch) {
    Made made = Made::ready;
    for (int round = 1; made == Made::ready && round < composeRounds; ++round) {
        std::string latest = compose();
        if (latest == text) {
            break;
        }
        unlink(scratch.c_str());
        text = std::move(latest);
        made = makeScratch(target, text, scratch);
        if (locked) {
            break;
        }
    }
    return made;
}

// The scratch file renamed over target and the folder flushed, so that the rename lasts;
// where no scratch file could be made, or the rename failed and left it, compose's answer
// written in place (the same file: no folder changes).
bool putInPlace(const std::string& target, const std::function<std::string()>& compose, Made made,
                const std::string& scratch) {
    if (made == Made::ready) {
        if (moveOver(scratch, target)) {
            return flushFolder(target);
        }
        // Gone when it was taken for a stray while this game stood still for a minute.
        struct stat left;
        const bool gone = stat(scratch.c_str(), &left) != 0;
        unlink(scratch.c_str());
        if (gone) {
            return false;
        }
    }
    return writeInPlace(target, compose());
}

} // namespace

namespace replace_detail {

void failedFor(const std::string& why) {
    failure = why;
}

void failedWithErrno() {
    failure = std::strerror(errno);
}

} // namespace replace_detail

const std::string& whyNotReplaced() {
    return failure;
}

bool replaceFile(const std::string& path, const std::string& text) {
    return replaceFile(path, [&text] { return text; });
}

bool replaceFile(const std::string& path, const std::function<std::string()>& compose) {
    return replaceFile(path, compose, Clock::now() + tableWait);
}

// What is put in place is always compose's last answer: the caller's answer about that text
// must be about the text in the file.
bool replaceFile(const std::string& path, const std::function<std::string()>& compose,
                 Clock::time_point giveUpAt) {
    failure.clear();
    const std::string target = fileToChange(path);
    if (target.empty()) {
        if (!writeInPlace(path, compose())) {
            return false;
        }
        replaced(path);
        return true;
    }
    if (!mayWrite(target)) {
        return false;
    }
    removeStrays(target);
    std::string text = compose();
    std::string scratch;
    Made made = makeScratch(target, text, scratch);
    if (made == Made::failed) {
        return false;
    }
    const LastLook look(target, giveUpAt);
    if (look.givenUp()) {
        if (made == Made::ready) {
            unlink(scratch.c_str());
        }
        errno = EWOULDBLOCK;
        failedWithErrno();
        return false;
    }
    if (made == Made::ready) {
        made = catchUp(target, compose, look.held(), text, scratch);
    }
    if (made == Made::failed || !putInPlace(target, compose, made, scratch)) {
        return false;
    }
    replaced(target);
    return true;
}

FileLock::FileLock(const std::string& path) : until(Clock::now() + tableWait) {
    const LockWait wait = waitForLock(tryLock, fileToChange(path), until);
    handle = wait.outcome == LockTry::taken ? wait.handle : 0;
    taken = wait.outcome == LockTry::taken;
}

FileLock::~FileLock() {
    if (taken) {
        unlock(handle);
    }
}
