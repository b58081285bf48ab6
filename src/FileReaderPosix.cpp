// Linux and the browser's file system.
#include "FileReaderDetail.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace reader_detail {

// Without O_NONBLOCK, opening a FIFO waits for a writer that may never come; the mode is then
// checked on what was opened, so that nothing can swap the file in between.
std::FILE* openRegularFile(const std::string& path, bool& notRegular) {
    struct stat status;
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        // A socket cannot be opened at all, but is there all the same.
        notRegular = stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode);
        return nullptr;
    }
    notRegular = fstat(fd, &status) != 0 || !S_ISREG(status.st_mode);
    std::FILE* file = notRegular ? nullptr : fdopen(fd, "rb");
    if (file == nullptr) {
        close(fd);
    }
    return file;
}

} // namespace reader_detail
