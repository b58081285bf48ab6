#include "Log.h"

#include "FileReaderDetail.h"

#include <cstdio>

namespace {

const char* const logFile = "debug.txt";
// Set once something other than a regular file stood in the log's place: a FIFO would hold
// the game, a device would take the lines, so the game plays on without its log.
bool forgone = false;

std::FILE* open(reader_detail::Access access) {
    if (forgone) {
        return nullptr;
    }
    bool notRegular = false;
    std::FILE* file = reader_detail::openRegularFile(logFile, access, notRegular);
    if (notRegular) {
        forgone = true;
        std::fputs("debug.txt is not a regular file: the game plays on without its log\n", stderr);
    }
    return file;
}

} // namespace

void Log::start() {
    forgone = false;
    if (std::FILE* emptied = open(reader_detail::Access::empty)) {
        std::fclose(emptied);
    }
}

// What the disk refuses (a full disk) is lost with the line; nothing waits or stops for it.
void Log::write(const std::string& message) {
    std::FILE* file = open(reader_detail::Access::append);
    if (file == nullptr) {
        return;
    }
    std::fwrite(message.data(), 1, message.size(), file);
    std::fputc('\n', file);
    std::fclose(file);
}
