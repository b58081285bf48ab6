// Linux and the browser's file system.
#include "FileReplace.h"

#include <cstdio>
#include <cstdlib>

#include <sys/stat.h>
#include <unistd.h>

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

// A first table gets the mode any new file would get; a table that exists keeps its mode and,
// where the player may give it away, its owner and group.
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
    return (old.st_uid == geteuid() && old.st_gid == getegid()) ||
           fchown(fd, old.st_uid, old.st_gid) == 0;
}

bool flushToDisk(int fd) {
    return fsync(fd) == 0;
}

bool moveOver(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

} // namespace replace_detail
