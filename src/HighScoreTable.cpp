#include "HighScoreTable.h"

#include "FileReader.h"
#include "FileReplace.h"
#include "Text.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>

namespace {

// The opening and reading of the table's bytes, and nothing else: its first maxBytes at most.
// False when it cannot be opened (or is no regular file). Binary, as the table is written: in
// Windows' text mode a Ctrl-Z would end the file, and a carriage return is white space to the
// parsing anyway. The reader skips a byte-order mark.
bool readBytes(const std::string& path, std::string& bytes) {
    bytes.clear();
    FileReader in(path, HighScoreTable::maxBytes);
    if (!in.isOpen()) {
        return false;
    }
    bool cut = false;
    bytes = in.readRest(cut);
    return true;
}

std::vector<std::string> tokensIn(const std::string& bytes) {
    std::size_t at = 0;
    std::vector<std::string> tokens;
    while (at < bytes.size()) {
        while (at < bytes.size() && text::isSpace(bytes[at])) {
            ++at;
        }
        const std::size_t start = at;
        while (at < bytes.size() && !text::isSpace(bytes[at])) {
            ++at;
        }
        if (at > start) {
            tokens.push_back(bytes.substr(start, at - start));
        }
    }
    return tokens;
}

// The first size tokens that are numbers, in order; the rest 0.
std::vector<int> scoresIn(const std::string& bytes) {
    std::vector<int> scores;
    for (const std::string& token : tokensIn(bytes)) {
        long long value = 0;
        if (text::wholeNumber(token.data(), token.data() + token.size(), INT_MIN, INT_MAX, value)) {
            scores.push_back(static_cast<int>(value));
            if (scores.size() == HighScoreTable::size) {
                break;
            }
        }
    }
    scores.resize(HighScoreTable::size, 0);
    return scores;
}

// The score goes in front of the first entry strictly smaller, so a tie does not beat the
// entry it ties with; the table is never sorted. The answer is where it went, -1 for nowhere.
long enteredAt(std::vector<int>& scores, int score) {
    for (auto it = scores.begin(); it != scores.end(); ++it) {
        if (*it < score) {
            const auto at = scores.insert(it, score);
            return at - scores.begin();
        }
    }
    return -1;
}

bool enter(std::vector<int>& scores, int score) {
    return enteredAt(scores, score) >= 0;
}

std::string asText(const std::vector<int>& scores) {
    std::string text;
    for (int i = 0; i < HighScoreTable::size; ++i) {
        text += std::to_string(scores[i]) + '\n';
    }
    return text;
}

bool isRegularFile(const std::string& path) {
    struct stat file;
    return stat(path.c_str(), &file) == 0 && S_ISREG(file.st_mode);
}

} // namespace

std::vector<std::string> HighScoreTable::readTokens() const {
    std::string bytes;
    readBytes(path, bytes);
    std::vector<std::string> entries = tokensIn(bytes);
    entries.resize(size);
    return entries;
}

std::string HighScoreTable::rewritten(int score, bool& entered) const {
    std::string bytes;
    readBytes(path, bytes);
    std::vector<int> scores = scoresIn(bytes);
    entered = enter(scores, score);
    return asText(scores);
}

HighScoreTable::Update HighScoreTable::update(int score) const {
    const FileLock lock(path);
    Update result{false, Outcome::written, ""};
    std::string bytes;
    const bool readable = readBytes(path, bytes);
    const int readError = errno;
    std::vector<int> scores = scoresIn(bytes);
    result.entered = enter(scores, score);

    // A table that exists even where it cannot be read (one with no permissions at all, or
    // only the write permission) holds scores this game cannot see: rewriting it would lose
    // them. replaceFile leaves one the player may not write as it is, and writes no folder.
    // The answer is then the table's in memory; what replaceFile puts in place is composed
    // last, so otherwise it is the answer for the text in the file.
    if (!readable && isRegularFile(path)) {
        result.outcome = Outcome::unreadable;
        result.why = std::strerror(readError);
    } else if (!replaceFile(
                   path, [&] { return rewritten(score, result.entered); }, lock.giveUpAt())) {
        result.outcome = Outcome::unwritable;
        result.why = whyNotReplaced();
    }
    return result;
}

std::string HighScoreTable::merged(const HighScoreTable& base, const HighScoreTable& mine,
                                   bool* allKept) const {
    std::string text;
    readBytes(path, text);
    std::vector<int> scores = scoresIn(text);
    readBytes(mine.path, text);
    std::vector<int> added = scoresIn(text);
    readBytes(base.path, text);
    for (int score : scoresIn(text)) {
        const auto kept = std::find(added.begin(), added.end(), score);
        if (kept != added.end()) {
            added.erase(kept);
        }
    }
    // Where each score added lies, followed as later ones go in front of it.
    std::vector<long> places;
    for (int score : added) {
        const long place = enteredAt(scores, score);
        for (long& earlier : places) {
            earlier += place >= 0 && earlier >= place ? 1 : 0;
        }
        places.push_back(place);
    }
    if (allKept != nullptr) {
        *allKept = std::all_of(places.begin(), places.end(),
                               [](long place) { return place >= 0 && place < size; });
    }
    return asText(scores);
}

bool HighScoreTable::keeps(const HighScoreTable& earlier, const HighScoreTable& before,
                           const HighScoreTable& after) const {
    std::string text;
    readBytes(path, text);
    const std::vector<int> now = scoresIn(text);
    readBytes(earlier.path, text);
    const std::vector<int> then = scoresIn(text);
    readBytes(after.path, text);
    std::vector<int> added = scoresIn(text);
    readBytes(before.path, text);
    for (int score : scoresIn(text)) {
        const auto there = std::find(added.begin(), added.end(), score);
        if (there != added.end()) {
            added.erase(there);
        }
    }
    return std::all_of(added.begin(), added.end(), [&](int score) {
        return std::count(now.begin(), now.end(), score) >=
               std::count(then.begin(), then.end(), score) +
                   std::count(added.begin(), added.end(), score);
    });
}
