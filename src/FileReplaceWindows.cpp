// Windows: no links to follow (they are rare there and take special rights to make), and no
// mode or owner to set by hand, since ReplaceFile keeps the old file's access list.
#include "FileReplace.h"
#include "FileReplaceDetail.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace {

// Windows' own words for code, without the line end it ends with.
std::string windowsMessage(DWORD code) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message(text != nullptr ? text : "", length);
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) {
        message.pop_back();
    }
    return message.empty() ? "error " + std::to_string(code) : message;
}

// Keeps Windows' words for why the call just made failed.
bool failedForWindows(DWORD code) {
    replace_detail::failedFor(windowsMessage(code));
    return false;
}

} // namespace

namespace replace_detail {

std::string fileToChange(const std::string& path) {
    return path;
}

bool keepIdentity(int, const std::string&) {
    return true;
}

bool mayWrite(const std::string& target) {
    const DWORD attributes = GetFileAttributesA(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
               failedForWindows(error);
    }
    // What Windows answers to writing a folder.
    if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
        return failedForWindows(ERROR_ACCESS_DENIED);
    }
    // Asked by opening it for writing, as the read-only attribute and the access list both
    // answer there; another game reading it at the same moment does not count against it.
    const HANDLE file = CreateFileA(target.c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_SHARING_VIOLATION || failedForWindows(error);
    }
    CloseHandle(file);
    return true;
}

int openInPlace(const std::string& path) {
    const int fd = _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_BINARY, _S_IREAD | _S_IWRITE);
    struct _stat file;
    if (fd >= 0 && (_fstat(fd, &file) != 0 || (file.st_mode & _S_IFREG) == 0)) {
        _close(fd);
        return -1;
    }
    return fd;
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
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ||
           failedForWindows(GetLastError());
}

// Windows gives a program no handle to flush a folder through: the move itself is written
// through (MOVEFILE_WRITE_THROUGH), and ReplaceFile's change of the folder is left to the
// file system's own journal.
bool flushFolder(const std::string&) {
    return true;
}

// The file on the disk is all there is to it.
void replaced(const std::string&) {}

namespace {

// A hidden file beside the target, opened for no one else to share and gone when its holder
// closes it (or dies): the next game's open fails with a sharing violation until then.
LockTry tryLockFile(const std::string& lock, std::intptr_t& handle) {
    const HANDLE file =
        CreateFileA(lock.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        handle = reinterpret_cast<std::intptr_t>(file);
        return LockTry::taken;
    }
    const DWORD error = GetLastError();
    // A lock file that its last holder has just closed refuses access until it is gone.
    const bool held = error == ERROR_SHARING_VIOLATION ||
                      (error == ERROR_ACCESS_DENIED &&
                       GetFileAttributesA(lock.c_str()) != INVALID_FILE_ATTRIBUTES);
    return held ? LockTry::held : LockTry::impossible;
}

} // namespace

LockTry tryLock(const std::string& target, std::intptr_t& handle) {
    return tryLockFile(target + ".lock", handle);
}

LockTry tryLastLookLock(const std::string& target, std::intptr_t& handle) {
    return tryLockFile(target + ".lastlook", handle);
}

void unlock(std::intptr_t handle) {
    CloseHandle(reinterpret_cast<HANDLE>(handle));
}

// The last write's time, in tenths of a microsecond, and the size: ReplaceFile keeps the old
// file's creation time and access list, but the new file brings its own last write.
std::string changeStamp(const std::string& target) {
    WIN32_FILE_ATTRIBUTE_DATA file;
    if (!GetFileAttributesExA(target.c_str(), GetFileExInfoStandard, &file)) {
        return std::string();
    }
    return std::to_string(file.ftLastWriteTime.dwHighDateTime) + " " +
           std::to_string(file.ftLastWriteTime.dwLowDateTime) + " " +
           std::to_string(file.nFileSizeHigh) + " " + std::to_string(file.nFileSizeLow);
}

} // namespace replace_detail

// replaceFile answers only once the disk holds the text.
Lasting replacementLasts(std::string&) {
    return Lasting::yes;
}
