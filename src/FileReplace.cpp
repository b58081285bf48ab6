#include "FileReplace.h"
#include "FileReplaceDetail.h"

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

// Another game holds a lock only while it rewrites a few bytes, and games that end together
// take their turns one by one, each changing the table when it is done: however long the queue
// (thirty games on a disk that takes 300 ms to flush wait ten seconds), the table changes every
// moment. A holder that leaves it as it is this long hangs, or its disk does; then this game
// stops waiting. Past the longest wait it stops whatever happens, so that a game's end never
// freezes for good.
constexpr auto lockPatience = std::chrono::seconds(2);
constexpr auto longestWait = std::chrono::seconds(30);
constexpr auto lockPause = std::chrono::milliseconds(5);

std::intptr_t waitForLock(std::intptr_t (*attempt)(const std::string&), const std::string& target) {
    if (target.empty()) {
        return noLock;
    }
    const auto start = std::chrono::steady_clock::now();
    auto deadline = start + lockPatience;
    std::string seen = changeStamp(target);
    std::intptr_t handle = attempt(target);
    while (handle == -1) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline || now >= start + longestWait) {
            break;
        }
        std::this_thread::sleep_for(lockPause);
        std::string stamp = changeStamp(target);
        if (stamp != seen) {
            seen = std::move(stamp);
            deadline = std::chrono::steady_clock::now() + lockPatience;
        }
        handle = attempt(target);
    }
    return handle;
}

// Held over the last look at the file and the rename, by every writer: by the one whose turn
// it is and by those that gave up waiting for a turn held too long. Those then still write
// one after the other, each from what the one before put in place. A writer that cannot have
// it because another holder hangs does not write at all: whatever it put in place, the holder
// would put its own table over it, made before, and a score said to be kept would be lost.
class LastLook final {
public:
    explicit LastLook(const std::string& target) : handle(waitForLock(tryLastLookLock, target)) {}
    ~LastLook() {
        if (held()) {
            unlock(handle);
        }
    }
    bool held() const { return handle >= 0; }
    bool stuck() const { return handle == -1; }

    LastLook(const LastLook&) = delete;
    LastLook& operator=(const LastLook&) = delete;

private:
    std::intptr_t handle;
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

// What is put in place is always compose's last answer: the caller's answer about that text
// must be about the text in the file.
bool replaceFile(const std::string& path, const std::function<std::string()>& compose) {
    failure.clear();
    const std::string target = fileToChange(path);
    if (!target.empty() && !mayWrite(target)) {
        return false;
    }
    bool written = false;
    if (target.empty()) {
        written = writeInPlace(path, compose());
    } else {
        removeStrays(target);
        std::string text = compose();
        std::string scratch;
        Made made = makeScratch(target, text, scratch);
        if (made == Made::failed) {
            return false;
        }
        const LastLook look(target);
        if (look.stuck()) {
            if (made == Made::ready) {
                unlink(scratch.c_str());
            }
            errno = EWOULDBLOCK;
            failedWithErrno();
            return false;
        }
        for (int round = 1; made == Made::ready && round < composeRounds; ++round) {
            std::string latest = compose();
            if (latest == text) {
                break;
            }
            unlink(scratch.c_str());
            text = std::move(latest);
            made = makeScratch(target, text, scratch);
            if (look.held()) {
                break;
            }
        }
        if (made == Made::ready && !moveOver(scratch, target)) {
            // Gone when it was taken for a stray while this game stood still for a minute.
            struct stat left;
            made = stat(scratch.c_str(), &left) == 0 ? Made::impossible : Made::failed;
            unlink(scratch.c_str());
        }
        written =
            made == Made::ready || (made == Made::impossible && writeInPlace(target, compose()));
    }
    if (written) {
        replaced(target.empty() ? path : target);
    }
    return written;
}

FileLock::FileLock(const std::string& path) : handle(waitForLock(tryLock, fileToChange(path))) {}

FileLock::~FileLock() {
    if (handle >= 0) {
        unlock(handle);
    }
}
