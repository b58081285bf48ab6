#include "HighScoreTable.h"

#include "FileReplace.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <locale>
#include <sstream>

namespace {

// A read that fails (end of the text, text that is not a number, a number out of range) leaves
// its entry and every later one at 0. A token such as 12AB reads as 12, and the next read fails
// on the rest.
std::vector<int> scoresIn(const std::string& text) {
    std::vector<int> scores(HighScoreTable::size, 0);
    std::istringstream in(text);
    for (int& entry : scores) {
        int value = 0;
        if (!(in >> value)) {
            break;
        }
        entry = value;
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

std::string asText(const std::vector<int>& scores) {
    std::string text;
    for (int i = 0; i < HighScoreTable::size; ++i) {
        text += std::to_string(scores[i]) + '\n';
    }
    return text;
}

} // namespace

// Binary, as the table is written: in Windows' text mode a Ctrl-Z would end the file, and a
// carriage return before a line end is white space to the reads anyway.
bool HighScoreTable::readText(std::string& text) const {
    text.clear();
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) {
        return false;
    }
    // Some editors save a UTF-8 byte-order mark ahead of the first score.
    char head[3] = {};
    if (!in.read(head, sizeof head) || std::string(head, sizeof head) != "\xEF\xBB\xBF") {
        in.clear();
        in.seekg(0);
    }
    const auto& kinds = std::use_facet<std::ctype<char>>(in.getloc());
    const auto end = std::char_traits<char>::eof();
    for (int i = 0; i < size; ++i) {
        in >> std::ws;
        std::string token;
        for (auto c = in.peek(); c != end && !kinds.is(std::ctype_base::space, char(c));
             c = in.peek()) {
            if (token.size() == maxTokenLength) {
                text += token;
                return true;
            }
            token += static_cast<char>(in.get());
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
    std::istringstream in(text);
    for (std::string& entry : entries) {
        if (!(in >> entry)) {
            entry.clear();
            break;
        }
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
    } else if ((exists && !std::ofstream(path, std::ios::app).is_open()) ||
               !replaceFile(path, [&] { return rewritten(score, result.entered); })) {
        result.outcome = Outcome::unwritable;
    }
    return result;
}

std::string HighScoreTable::merged(const HighScoreTable& base, const HighScoreTable& mine) const {
    std::string text;
    readText(text);
    std::vector<int> scores = scoresIn(text);
    mine.readText(text);
    std::vector<int> added = scoresIn(text);
    base.readText(text);
    for (int score : scoresIn(text)) {
        const auto kept = std::find(added.begin(), added.end(), score);
        if (kept != added.end()) {
            added.erase(kept);
        }
    }
    for (int score : added) {
        enter(scores, score);
    }
    return asText(scores);
}
