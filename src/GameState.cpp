#include "GameState.h"

#include "Core.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace {

const char* const highScoreFile = "./data/highscores.txt";
constexpr int tableSize = 5;

// The file a write to path really changes: a symbolic link is followed, so that the table it
// points to is updated and the link stays a link. Empty when that file cannot be named (a
// dangling link, say): only a write through the path itself will do.
std::string resolvedTarget(const std::string& path) {
#ifdef _WIN32
    // Links there are rare and take special rights to make: the table is its own path.
    return path;
#else
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
#endif
}

bool writeWhole(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = write(fd, text.data() + done, text.size() - done);
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

// std::rename will not replace a file that exists on Windows. ReplaceFile does, and gives the
// new file the old one's permissions (its access list, which stands for the mode and owner
// kept on other systems); MoveFileEx puts a first table in place, or finishes a replacement
// that took the old file away but could not move the new one in.
bool moveOver(const std::string& from, const std::string& to) {
#ifdef _WIN32
    return ReplaceFileA(to.c_str(), from.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                        nullptr) ||
           MoveFileExA(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
#else
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

enum class Replace { done, failed, impossible };

// Writes text to a new file with a unique name beside target, with target's mode and owner,
// and renames it over target, so that a crash or a full disk never leaves the table empty or
// half-written. "impossible" when no such file can be made (a folder the player may not
// create files in, an owner that cannot be kept): the caller then writes in place.
Replace replaceAtomically(const std::string& target, const std::string& text) {
    struct stat old;
    const bool exists = stat(target.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode)) {
        return Replace::impossible;
    }
    const std::string::size_type slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash);
    std::string scratch = folder + "/.highscores.txt.XXXXXX";
    const int fd = mkstemp(&scratch[0]);
    if (fd < 0) {
        return Replace::impossible;
    }
#ifndef _WIN32
    mode_t mode = 0;
    if (exists) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    bool kept = fchmod(fd, mode) == 0;
    if (exists && (old.st_uid != geteuid() || old.st_gid != getegid())) {
        kept = kept && fchown(fd, old.st_uid, old.st_gid) == 0;
    }
    if (!kept) {
        close(fd);
        unlink(scratch.c_str());
        return Replace::impossible;
    }
    const bool written = writeWhole(fd, text) && fsync(fd) == 0;
#else
    const bool written = writeWhole(fd, text) && _commit(fd) == 0;
#endif
    if (close(fd) != 0 || !written) {
        unlink(scratch.c_str());
        return Replace::failed;
    }
    if (!moveOver(scratch, target)) {
        unlink(scratch.c_str());
        return Replace::impossible;
    }
    return Replace::done;
}

// The plain way: truncate and write. Used only where no new file can be put beside the table.
bool writeInPlace(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::trunc | std::ios::binary);
    out << text;
    out.close();
    return static_cast<bool>(out);
}

} // namespace

const char* const GameState::fontCharset = "ABCDEFGHIJKLMNOPQRSTUVWXYZ!,.?1234567890";

// Entries are 32-bit: a read that fails (end of file, text, a number out of range) leaves its
// entry and every later one at 0. The score goes in front of the first entry strictly
// smaller, so a tie does not beat the entry it ties with.
bool GameState::updateHighScores(int score) {
    std::vector<int> table(tableSize, 0);
    {
        // Read in binary, as it is written: a carriage return before a line end is white
        // space to >> anyway.
        std::ifstream in(highScoreFile, std::ios::binary);
        for (int& entry : table) {
            int value = 0;
            if (!(in >> value)) {
                break;
            }
            entry = value;
        }
    }
    bool entered = false;
    for (auto it = table.begin(); it != table.end(); ++it) {
        if (*it < score) {
            table.insert(it, score);
            entered = true;
            break;
        }
    }

    std::string text;
    for (int i = 0; i < tableSize; ++i) {
        text += std::to_string(table[i]) + '\n';
    }
    // A table the player made read-only stays as it is: a rename would replace it anyway.
    const bool exists = std::ifstream(highScoreFile).is_open();
    bool written = false;
    if (!exists || std::ofstream(highScoreFile, std::ios::app).is_open()) {
        const std::string target = resolvedTarget(highScoreFile);
        const Replace replaced =
            target.empty() ? Replace::impossible : replaceAtomically(target, text);
        written = replaced == Replace::done ||
                  (replaced == Replace::impossible && writeInPlace(highScoreFile, text));
    }
    if (!written) {
        Core::log(std::string("GameState::updateHighScores(...) - Could Not Write ") +
                  highScoreFile);
    }
    return entered;
}

std::vector<std::string> GameState::readHighScores() {
    std::vector<std::string> entries(tableSize);
    // Binary: in Windows' text mode a Ctrl-Z would end the file, and the tokens after it
    // would not be shown as stored.
    std::ifstream in(highScoreFile, std::ios::binary);
    for (std::string& entry : entries) {
        if (!(in >> entry)) {
            entry.clear();
            break;
        }
    }
    return entries;
}
