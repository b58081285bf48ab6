// Windows: opening a device or a pipe by name does not wait, so the mode is checked once open.
#include "FileReaderDetail.h"

#include <sys/stat.h>

namespace reader_detail {

std::FILE* openRegularFile(const std::string& path, bool& notRegular) {
    struct stat status;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        // A folder cannot be opened as a file, but is there all the same.
        notRegular = stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode);
        return nullptr;
    }
    notRegular = fstat(_fileno(file), &status) != 0 || !S_ISREG(status.st_mode);
    if (notRegular) {
        std::fclose(file);
        return nullptr;
    }
    return file;
}

} // namespace reader_detail
