// The browser: the game's files live in the page's memory, and the page keeps the high-score
// table in the browser's storage (web/page.js) once told that it was replaced.
#include "FileReplace.h"
#include "FileReplaceDetail.h"

#include <emscripten/emscripten.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>

// web/page.js
extern "C" void zandorel_file_replaced(const char* path);
extern "C" int zandorel_replacement_lasts(char* why, int size);

namespace replace_detail {

// The page's file system holds no links, owners or extended attributes to carry over.
std::string fileToChange(const std::string& path) {
    return path;
}

// The page makes no file read-only, FIFO or device.
bool mayWrite(const std::string& target) {
    struct stat file;
    if (stat(target.c_str(), &file) == 0 && !S_ISREG(file.st_mode)) {
        failedFor(std::strerror(EISDIR));
        return false;
    }
    return true;
}

int openInPlace(const std::string& path) {
    return open(path.c_str(), O_WRONLY | O_CREAT, 0666);
}

bool keepIdentity(int, const std::string&) {
    return true;
}

// Memory: the lasting copy is the page's to write.
bool flushToDisk(int) {
    return true;
}

bool moveOver(const std::string& from, const std::string& to) {
    if (std::rename(from.c_str(), to.c_str()) != 0) {
        failedWithErrno();
        return false;
    }
    return true;
}

bool flushFolder(const std::string&) {
    return true;
}

void replaced(const std::string& path) {
    zandorel_file_replaced(path.c_str());
}

// One game per tab, and a tab runs one thing at a time; the page puts two tabs' tables together.
LockTry tryLock(const std::string&, std::intptr_t&) {
    return LockTry::impossible;
}

LockTry tryLastLookLock(const std::string&, std::intptr_t&) {
    return LockTry::impossible;
}

void unlock(std::intptr_t) {}

// Never asked: there is no lock to wait for.
std::string changeStamp(const std::string&) {
    return std::string();
}

} // namespace replace_detail

// The page's answer for the last rewrite it was told of: 1 the browser's storage holds it, -1 it
// could not be saved (why filled in), 0 not known yet. The page answers within its own patience,
// or, for a write the browser was already committing then, once the browser says how it ended.
Lasting replacementLasts(std::string& why) {
    char words[256] = "";
    const int answer = zandorel_replacement_lasts(words, sizeof words);
    if (answer < 0) {
        why = words;
        return Lasting::no;
    }
    return answer > 0 ? Lasting::yes : Lasting::unknown;
}
