// Windows: no links to follow (they are rare there and take special rights to make), and no
// mode or owner to set by hand, since ReplaceFile keeps the old file's access list.
#include "FileReplace.h"

#include <io.h>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace replace_detail {

std::string fileToChange(const std::string& path) {
    return path;
}

bool keepIdentity(int, const std::string&) {
    return true;
}

bool flushToDisk(int fd) {
    return _commit(fd) == 0;
}

// std::rename will not replace a file that exists on Windows. ReplaceFile does, and gives the
// new file the old one's access list; MoveFileEx puts a first table in place, or finishes a
// replacement that took the old file away but could not move the new one in.
bool moveOver(const std::string& from, const std::string& to) {
    return ReplaceFileA(to.c_str(), from.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                        nullptr) ||
           MoveFileExA(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

} // namespace replace_detail
