#include "FileReader.h"
#include "FileReaderDetail.h"

#include "Core.h"

#include <algorithm>
#include <climits>

namespace {

// The white space a standard stream skips before a number, in the "C" locale the game runs in.
bool isSpace(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(int c) {
    return c >= '0' && c <= '9';
}

constexpr std::size_t chunkBytes = 64 * 1024;

} // namespace

FileReader::FileReader(const std::string& path, std::size_t limit, Kind kind) : left(limit) {
    bool notRegular = false;
    file = reader_detail::openRegularFile(path, notRegular);
    if (notRegular) {
        Core::log("FileReader::FileReader(...) - Not a Regular File: " + path);
    }
    if (file == nullptr || kind != Kind::text) {
        return;
    }
    // Only a regular file gets here, so going back to its start always works.
    const char mark[] = "\xEF\xBB\xBF";
    int matched = 0;
    while (matched < 3 && std::getc(file) == static_cast<unsigned char>(mark[matched])) {
        ++matched;
    }
    if (matched < 3) {
        std::fseek(file, 0, SEEK_SET);
    }
}

FileReader::~FileReader() {
    if (file != nullptr) {
        std::fclose(file);
    }
}

int FileReader::get() {
    if (held != EOF) {
        const int c = held;
        held = EOF;
        return c;
    }
    if (file == nullptr || left == 0) {
        return EOF;
    }
    const int c = std::getc(file);
    if (c != EOF) {
        --left;
    }
    return c;
}

void FileReader::unget(int c) {
    held = c;
}

// Whether the limit, not the end of the file, stopped the last read.
bool FileReader::moreInFile() {
    if (file == nullptr || left > 0) {
        return false;
    }
    const int c = std::getc(file);
    if (c == EOF) {
        return false;
    }
    std::ungetc(c, file);
    return true;
}

FileReader::Number FileReader::readInt(int& value) {
    int c = get();
    while (isSpace(c)) {
        c = get();
    }
    const bool negative = c == '-';
    if (c == '+' || c == '-') {
        c = get();
    }
    if (c == EOF) {
        return Number::end;
    }
    if (!isDigit(c)) {
        unget(c);
        return Number::notANumber;
    }
    // One past the largest int in size: the magnitude of the smallest.
    constexpr long long beyond = static_cast<long long>(INT_MAX) + 2;
    long long magnitude = 0;
    for (; isDigit(c); c = get()) {
        magnitude = std::min(magnitude * 10 + (c - '0'), beyond);
    }
    if (c == EOF && moreInFile()) {
        return Number::end;
    }
    unget(c);
    if (magnitude > (negative ? beyond - 1 : beyond - 2)) {
        return Number::notANumber;
    }
    value = static_cast<int>(negative ? -magnitude : magnitude);
    return Number::read;
}

std::string FileReader::readLine(bool& cut) {
    std::string line;
    int c = get();
    for (; c != EOF && c != '\n'; c = get()) {
        line += static_cast<char>(c);
    }
    cut = c == EOF && moreInFile();
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

std::string FileReader::readRest(bool& cut) {
    std::string bytes;
    cut = false;
    if (held != EOF) {
        bytes += static_cast<char>(get());
    }
    while (file != nullptr && left > 0) {
        const std::size_t want = std::min(left, chunkBytes);
        const std::size_t before = bytes.size();
        bytes.resize(before + want);
        const std::size_t got = std::fread(&bytes[before], 1, want, file);
        bytes.resize(before + got);
        left -= got;
        if (got < want) {
            return bytes;
        }
    }
    cut = moreInFile();
    return bytes;
}
