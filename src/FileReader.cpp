#include "FileReader.h"
#include "FileReaderDetail.h"

#include "Log.h"
#include "Text.h"

#include <algorithm>
#include <climits>

namespace {

constexpr std::size_t chunkBytes = 64 * 1024;

} // namespace

FileReader::FileReader(const std::string& path, std::size_t limit, Kind kind) : left(limit) {
    bool notRegular = false;
    file = reader_detail::openRegularFile(path, reader_detail::Access::read, notRegular);
    if (notRegular) {
        Log::write("FileReader::FileReader(...) - Not a Regular File: " + path);
    }
    if (file == nullptr || kind != Kind::text) {
        return;
    }
    // Only a regular file gets here, so going back to its start always works.
    const std::size_t markBytes = sizeof text::byteOrderMark - 1;
    std::size_t matched = 0;
    while (matched < markBytes &&
           std::getc(file) == static_cast<unsigned char>(text::byteOrderMark[matched])) {
        ++matched;
    }
    if (matched < markBytes) {
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

// The byte the limit kept the last read from, or EOF when the file itself ended there.
int FileReader::pastTheLimit() {
    if (file == nullptr || left > 0) {
        return EOF;
    }
    const int c = std::getc(file);
    if (c != EOF) {
        std::ungetc(c, file);
    }
    return c;
}

FileReader::Number FileReader::readInt(int& value) {
    int c = get();
    while (text::isSpace(c)) {
        c = get();
    }
    std::string number;
    if (c == '+' || c == '-') {
        number += static_cast<char>(c);
        c = get();
    }
    for (; text::isDigit(c); c = get()) {
        number += static_cast<char>(c);
    }
    const bool digits = !number.empty() && text::isDigit(number.back());
    // Text that ran out, or a limit that fell inside the number, leaves the number unread.
    if (c == EOF && (!digits || pastTheLimit() != EOF)) {
        return Number::end;
    }
    unget(c);
    long long read = 0;
    if (!text::wholeNumber(number.data(), number.data() + number.size(), INT_MIN, INT_MAX, read)) {
        return Number::notANumber;
    }
    value = static_cast<int>(read);
    return Number::read;
}

std::string FileReader::readLine(bool& cut) {
    std::string line;
    int c = get();
    for (; c != EOF && c != '\n'; c = get()) {
        line += static_cast<char>(c);
    }
    // A line that fills the limit exactly is whole when its line end comes next.
    const int next = c == EOF ? pastTheLimit() : EOF;
    cut = next != EOF && next != '\n';
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
    cut = pastTheLimit() != EOF;
    return bytes;
}
