#include "GameState.h"

#include "Core.h"
#include "Event.h"
#include "EventManager.h"
#include "FileReplace.h"

#include <filesystem>
#include <fstream>
#include <string>

namespace {

const char* const highScoreFile = "./data/highscores.txt";
constexpr int tableSize = 5;

} // namespace

const char* const GameState::fontCharset = "ABCDEFGHIJKLMNOPQRSTUVWXYZ!,.?1234567890";

// Entries are 32-bit: a read that fails (end of file, text, a number out of range) leaves its
// entry and every later one at 0. The score goes in front of the first entry strictly
// smaller, so a tie does not beat the entry it ties with.
bool GameState::updateHighScores(int score) {
    const FileLock lock(highScoreFile);
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
    // A table the player made read-only stays as it is: a rename would replace it anyway. It
    // exists even where it cannot be read, as a table with no permissions at all.
    std::error_code unknown;
    const bool exists = std::filesystem::exists(highScoreFile, unknown);
    const bool written = (!exists || std::ofstream(highScoreFile, std::ios::app).is_open()) &&
                         replaceFile(highScoreFile, text);
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

void GameState::changeTo(GameState* next) {
    Event change(EVENT_CHANGE_STATE);
    change.nextState = next;
    EventManager::getInstance()->postEvent(change);
}
