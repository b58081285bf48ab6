// Linux and the browser's file system.
#include "FileReplace.h"
#include "FileReplaceDetail.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

std::string folderOf(const std::string& path) {
    const std::string::size_type slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash + 1);
}

// Extended attributes say what the mode cannot: an access list that lets another player write
// the table, a label. A new file without them would quietly shut that player out, so they go
// along, or the table is not replaced at all.
bool copyAttributes(const std::string& from, int fd) {
    const ssize_t size = listxattr(from.c_str(), nullptr, 0);
    if (size < 0) {
        return errno == ENOTSUP || errno == ENOSYS;
    }
    std::vector<char> names(static_cast<std::size_t>(size));
    const ssize_t listed = listxattr(from.c_str(), names.data(), names.size());
    if (listed < 0) {
        return false;
    }
    for (ssize_t at = 0; at < listed; at += static_cast<ssize_t>(std::strlen(&names[at])) + 1) {
        const char* name = &names[at];
        const ssize_t length = getxattr(from.c_str(), name, nullptr, 0);
        std::vector<char> value(static_cast<std::size_t>(length > 0 ? length : 0));
        if (length < 0 || getxattr(from.c_str(), name, value.data(), value.size()) != length ||
            fsetxattr(fd, name, value.data(), value.size(), 0) != 0) {
            return false;
        }
    }
    return true;
}

} // namespace

namespace replace_detail {

std::string fileToChange(const std::string& path) {
    struct stat link;
    if (lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) {
        return path;
    }
    char* real = realpath(path.c_str(), nullptr);
    if (real == nullptr) {
        return std::string();
    }
    std::string target = real;
    std::free(real);
    return target;
}

// A first table gets the mode any new file would get; a table that exists keeps its mode, its
// extended attributes and, where the player may give it away, its owner and group.
bool keepIdentity(int fd, const std::string& target) {
    struct stat old;
    if (stat(target.c_str(), &old) != 0) {
        const mode_t mask = umask(0);
        umask(mask);
        return fchmod(fd, 0666 & ~mask) == 0;
    }
    if (fchmod(fd, old.st_mode & 07777) != 0) {
        return false;
    }
    const bool owned = (old.st_uid == geteuid() && old.st_gid == getegid()) ||
                       fchown(fd, old.st_uid, old.st_gid) == 0;
    return owned && copyAttributes(target, fd);
}

// Looked at before it is opened, since opening a FIFO or a device may wait or do something.
bool mayWrite(const std::string& target) {
    struct stat file;
    if (stat(target.c_str(), &file) != 0) {
        if (errno == ENOENT) {
            return true;
        }
        failedWithErrno();
        return false;
    }
    // Not opened: a FIFO's reader would see the end of its data, a device might act.
    if (!S_ISREG(file.st_mode)) {
        failedFor(std::strerror(S_ISDIR(file.st_mode) ? EISDIR : EINVAL));
        return false;
    }
    const int fd = open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        failedWithErrno();
        return false;
    }
    close(fd);
    return true;
}

int openInPlace(const std::string& path) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    struct stat file;
    if (fd >= 0 && (fstat(fd, &file) != 0 || !S_ISREG(file.st_mode))) {
        close(fd);
        return -1;
    }
    return fd;
}

bool flushToDisk(int fd) {
    return fsync(fd) == 0;
}

bool moveOver(const std::string& from, const std::string& to) {
    if (std::rename(from.c_str(), to.c_str()) != 0) {
        failedWithErrno();
        return false;
    }
    return true;
}

bool flushFolder(const std::string& target) {
    const int fd = open(folderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        failedWithErrno();
        return false;
    }
    // A file system that keeps no folder to flush says so with EINVAL.
    const bool flushed = fsync(fd) == 0 || errno == EINVAL || errno == ENOTSUP;
    if (!flushed) {
        failedWithErrno();
    }
    close(fd);
    return flushed;
}

// The file on the disk is all there is to it.
void replaced(const std::string&) {}

// The folder is locked rather than the file: the file itself is replaced by every rewrite, and a
// lock file of its own would be one more file left in the player's folder.
LockTry tryLock(const std::string& target, std::intptr_t& handle) {
    const int fd = open(folderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return LockTry::impossible;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
        handle = fd;
        return LockTry::taken;
    }
    const bool held = errno == EWOULDBLOCK || errno == EINTR;
    close(fd);
    return held ? LockTry::held : LockTry::impossible;
}

// The file itself this time, which every rewrite replaces: a lock taken on a file that is
// no longer the one the path names is given back and tried again. A first table is made empty
// to be locked, which reads as no table at all.
LockTry tryLastLookLock(const std::string& target, std::intptr_t& handle) {
    const int fd =
        open(target.c_str(), O_RDONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) {
        return LockTry::impossible;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool held = errno == EWOULDBLOCK || errno == EINTR;
        close(fd);
        return held ? LockTry::held : LockTry::impossible;
    }
    struct stat locked;
    struct stat named;
    if (fstat(fd, &locked) != 0 || stat(target.c_str(), &named) != 0 ||
        locked.st_dev != named.st_dev || locked.st_ino != named.st_ino) {
        close(fd);
        return LockTry::held;
    }
    handle = fd;
    return LockTry::taken;
}

void unlock(std::intptr_t handle) {
    close(static_cast<int>(handle));
}

// A rename brings another inode, a write in place another time of change; the times in
// nanoseconds, as several games may write within one second.
std::string changeStamp(const std::string& target) {
    struct stat file;
    if (stat(target.c_str(), &file) != 0) {
        return std::string();
    }
    char stamp[160];
    std::snprintf(stamp, sizeof stamp, "%ju %ju %jd %jd.%ld %jd.%ld", std::uintmax_t(file.st_dev),
                  std::uintmax_t(file.st_ino), std::intmax_t(file.st_size),
                  std::intmax_t(file.st_mtim.tv_sec), file.st_mtim.tv_nsec,
                  std::intmax_t(file.st_ctim.tv_sec), file.st_ctim.tv_nsec);
    return stamp;
}

} // namespace replace_detail

// replaceFile answers only once the disk holds the text.
Lasting replacementLasts(std::string&) {
    return Lasting::yes;
}
