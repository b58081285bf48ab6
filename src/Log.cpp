#include "Log.h"

#include <cstdio>

namespace {

const char* const logFile = "debug.txt";

} // namespace

void Log::start() {
    if (std::FILE* truncated = std::fopen(logFile, "w")) {
        std::fclose(truncated);
    }
}

void Log::write(const std::string& message) {
    std::FILE* file = std::fopen(logFile, "a");
    if (file == nullptr) {
        return;
    }
    std::fwrite(message.data(), 1, message.size(), file);
    std::fputc('\n', file);
    std::fclose(file);
}
