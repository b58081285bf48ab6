// Windows: opening a device or a pipe by name does not wait, so the mode is checked once open,
// and a file is emptied only then.
#include "FileReaderDetail.h"

#include <io.h>
#include <sys/stat.h>

namespace reader_detail {

std::FILE* openRegularFile(const std::string& path, Access access, bool& notRegular) {
    struct stat status;
    std::FILE* file = std::fopen(path.c_str(), access == Access::read ? "rb" : "ab");
    if (file == nullptr) {
        // A folder cannot be opened as a file, but is there all the same.
        notRegular = stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode);
        return nullptr;
    }
    notRegular = fstat(_fileno(file), &status) != 0 || !S_ISREG(status.st_mode);
    if (notRegular || (access == Access::empty && _chsize(_fileno(file), 0) != 0)) {
        std::fclose(file);
        return nullptr;
    }
    return file;
}

} // namespace reader_detail
