#include "HighScoreTable.h"

#include "FileReader.h"
#include "FileReplace.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

// A read that fails (end of the text, text that is not a number, a number out of range) leaves
// its entry and every later one at 0. A token such as 12AB reads as 12, and the next read fails
// on the rest.
std::vector<int> scoresIn(const std::string& text) {
    std::vector<int> scores(HighScoreTable::size, 0);
    const char* at = text.c_str();
    for (int& entry : scores) {
        char* end = nullptr;
        errno = 0;
        const long value = std::strtol(at, &end, 10);
        if (end == at || errno == ERANGE || value < INT_MIN || value > INT_MAX) {
            break;
        }
        entry = static_cast<int>(value);
        at = end;
    }
    return scores;
}

// The score goes in front of the first entry strictly smaller, so a tie does not beat the
// entry it ties with; the table is never sorted.
bool enter(std::vector<int>& scores, int score) {
    for (auto it = scores.begin(); it != scores.end(); ++it) {
        if (*it < score) {
            scores.insert(it, score);
            return true;
        }
    }
    return false;
}

// The white space a stream skips, in the "C" locale the game runs in.
bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Anything but a regular file in the table's place (a folder, a FIFO, a device) is no table:
// it is not written, and a FIFO would hold the game until some reader came.
bool canAppend(const std::string& path) {
    std::error_code unknown;
    if (!std::filesystem::is_regular_file(path, unknown)) {
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "ab");
    if (file == nullptr) {
        return false;
    }
    std::fclose(file);
    return true;
}

std::string asText(const std::vector<int>& scores) {
    std::string text;
    for (int i = 0; i < HighScoreTable::size; ++i) {
        text += std::to_string(scores[i]) + '\n';
    }
    return text;
}

} // namespace

// A carriage return before a line end is white space to the reads.
bool HighScoreTable::readText(std::string& text) const {
    text.clear();
    FileReader in(path, readLimit);
    if (!in.isOpen()) {
        return false;
    }
    bool cut = false;
    const std::string bytes = in.readRest(cut);
    std::size_t at = 0;
    for (int i = 0; i < size; ++i) {
        while (at < bytes.size() && isSpace(bytes[at])) {
            ++at;
        }
        std::string token;
        for (; at < bytes.size() && !isSpace(bytes[at]); ++at) {
            if (token.size() == maxTokenLength) {
                text += token;
                return true;
            }
            token += bytes[at];
        }
        if (token.empty()) {
            break;
        }
        text += token + '\n';
    }
    return true;
}

std::vector<std::string> HighScoreTable::readTokens() const {
    std::string text;
    readText(text);
    std::vector<std::string> entries(size);
    std::size_t at = 0;
    for (std::string& entry : entries) {
        const std::size_t end = text.find('\n', at);
        if (end == std::string::npos) {
            entry = text.substr(at);
            break;
        }
        entry = text.substr(at, end - at);
        at = end + 1;
    }
    return entries;
}

std::string HighScoreTable::rewritten(int score, bool& entered) const {
    std::string text;
    readText(text);
    std::vector<int> scores = scoresIn(text);
    entered = enter(scores, score);
    return asText(scores);
}

HighScoreTable::Update HighScoreTable::update(int score) const {
    const FileLock lock(path);
    Update result{false, Outcome::written};
    std::string text;
    const bool readable = readText(text);
    std::vector<int> scores = scoresIn(text);
    result.entered = enter(scores, score);

    // A table that exists even where it cannot be read (one with no permissions at all, or
    // only the write permission) holds scores this game cannot see: rewriting it would lose
    // them. One the player made read-only stays as it is too: a rename would replace it anyway.
    // (A folder in the table's place is no table: it is not written either.)
    std::error_code unknown;
    const bool exists = std::filesystem::exists(path, unknown);
    if (!readable && std::filesystem::is_regular_file(path, unknown)) {
        result.outcome = Outcome::unreadable;
    } else if ((exists && !canAppend(path)) ||
               !replaceFile(path, [&] { return rewritten(score, result.entered); })) {
        result.outcome = Outcome::unwritable;
    }
    return result;
}
