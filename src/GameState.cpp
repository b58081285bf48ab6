#include "GameState.h"

#include "Core.h"

#include <cstdio>
#include <fstream>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace {

const char* const highScoreFile = "./data/highscores.txt";
const char* const highScoreScratch = "./data/highscores.txt.new";
constexpr int tableSize = 5;

// Replaces the table in one step. On Windows std::rename refuses to replace a file that
// exists, which the table nearly always does.
bool replaceTable(const char* from, const char* to) {
#ifdef _WIN32
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    return std::rename(from, to) == 0;
#endif
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

    // Written beside the old file and then renamed over it, so a crash or a full disk can
    // never leave the table empty or half-written. A rename would also replace a table the
    // player made read-only, so an existing file must first prove writable in place (append
    // mode, which changes nothing).
    const bool exists = std::ifstream(highScoreFile).is_open();
    bool written = !exists || std::ofstream(highScoreFile, std::ios::app).is_open();
    if (written) {
        // Binary, so that the table has the same bytes on every system: Windows would write
        // each line end as a carriage return and a line feed.
        std::ofstream out(highScoreScratch, std::ios::binary | std::ios::trunc);
        for (int i = 0; i < tableSize && out; ++i) {
            out << table[i] << '\n';
        }
        out.close();
        written = static_cast<bool>(out);
    }
    if (!written || !replaceTable(highScoreScratch, highScoreFile)) {
        std::remove(highScoreScratch);
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
