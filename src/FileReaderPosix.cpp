// Linux and the browser's file system.
#include "FileReaderDetail.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace reader_detail {

// Without O_NONBLOCK, opening a FIFO waits for a writer (or a reader) that may never come; the
// mode is then checked on what was opened, so that nothing can swap the file in between, and a
// file is emptied only once it is known to be a regular one.
std::FILE* openRegularFile(const std::string& path, Access access, bool& notRegular) {
    const int flags[] = {O_RDONLY, O_WRONLY | O_APPEND | O_CREAT, O_WRONLY | O_CREAT};
    const char* const modes[] = {"rb", "ab", "wb"};
    const auto how = static_cast<int>(access);
    struct stat status;
    const int fd = open(path.c_str(), flags[how] | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) {
        // A socket cannot be opened at all, but is there all the same.
        notRegular = stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode);
        return nullptr;
    }
    notRegular = fstat(fd, &status) != 0 || !S_ISREG(status.st_mode);
    const bool ready = !notRegular && (access != Access::empty || ftruncate(fd, 0) == 0);
    std::FILE* file = ready ? fdopen(fd, modes[how]) : nullptr;
    if (file == nullptr) {
        close(fd);
    }
    return file;
}

} // namespace reader_detail
