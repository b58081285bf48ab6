#include "FileReplace.h"
#include "FileReplaceDetail.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

using namespace replace_detail;

namespace {

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

// Another game holds the lock only while it rewrites a few bytes; much longer means it hangs,
// and then this one goes on rather than lose its own score.
constexpr auto lockPatience = std::chrono::seconds(2);
constexpr auto lockPause = std::chrono::milliseconds(5);

// A writer that keeps changing the file under this one would otherwise hold it here for ever.
constexpr int composeRounds = 3;

enum class Replace { done, failed, impossible, stale };

// "impossible" when no new file can be made or put in place: the caller then writes in place.
// "stale" when stillWanted, asked once the new file is on the disk, says its text is no longer
// the one to put in place.
Replace replaceAtomically(const std::string& target, const std::string& text,
                          const std::function<bool()>& stillWanted) {
    struct stat old;
    if (stat(target.c_str(), &old) == 0 && !S_ISREG(old.st_mode)) {
        return Replace::impossible;
    }
    // Hidden, and named after the file, so that a scratch file a crash leaves is not taken
    // for anything the game reads.
    const std::string::size_type slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string scratch = folder + "/." + name + ".XXXXXX";
    const int fd = mkstemp(&scratch[0]);
    if (fd < 0) {
        return Replace::impossible;
    }
    if (!keepIdentity(fd, target)) {
        close(fd);
        unlink(scratch.c_str());
        return Replace::impossible;
    }
    const bool written = writeWhole(fd, text) && flushToDisk(fd);
    if (close(fd) != 0 || !written) {
        unlink(scratch.c_str());
        return Replace::failed;
    }
    if (!stillWanted()) {
        unlink(scratch.c_str());
        return Replace::stale;
    }
    if (!moveOver(scratch, target)) {
        unlink(scratch.c_str());
        return Replace::impossible;
    }
    return Replace::done;
}

bool writeInPlace(const std::string& path, const std::string& text) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) {
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    return std::fclose(out) == 0 && written;
}

} // namespace

bool replaceFile(const std::string& path, const std::string& text) {
    return replaceFile(path, [&text] { return text; });
}

// A game that waited too long for the lock goes on without it, so the file may change between
// this writer's read and its rename; the last look comes after the slow part, the flush.
bool replaceFile(const std::string& path, const std::function<std::string()>& compose) {
    const std::string target = fileToChange(path);
    std::string text = compose();
    Replace outcome = Replace::impossible;
    for (int round = 1; !target.empty(); ++round) {
        std::string latest;
        outcome = replaceAtomically(target, text, [&] {
            latest = compose();
            return latest == text || round == composeRounds;
        });
        if (outcome != Replace::stale) {
            break;
        }
        text = latest;
    }
    const bool written = outcome == Replace::done ||
                         (outcome == Replace::impossible && writeInPlace(path, text));
    if (written) {
        replaced(target.empty() ? path : target);
    }
    return written;
}

FileLock::FileLock(const std::string& path) {
    const std::string target = fileToChange(path);
    const auto deadline = std::chrono::steady_clock::now() + lockPatience;
    handle = target.empty() ? noLock : tryLock(target);
    while (handle == -1 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(lockPause);
        handle = tryLock(target);
    }
}

FileLock::~FileLock() {
    if (handle >= 0) {
        unlock(handle);
    }
}
