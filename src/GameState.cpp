#include "GameState.h"

#include "Core.h"
#include "Event.h"
#include "EventManager.h"
#include "HighScoreTable.h"

#include <string>

namespace {

const char* const highScoreFile = "./data/highscores.txt";

} // namespace

const char* const GameState::fontCharset = "ABCDEFGHIJKLMNOPQRSTUVWXYZ!,.?1234567890";

GameState::HighScore GameState::updateHighScores(int score) {
    const HighScoreTable::Update update = HighScoreTable(highScoreFile).update(score);
    // The line names the file, then the system's reason, so that a player can tell a read-only
    // folder from a full disk.
    const std::string why = update.why.empty() ? "" : ": " + update.why;
    if (update.outcome == HighScoreTable::Outcome::unreadable) {
        Core::log(std::string("GameState::updateHighScores(...) - Could Not Read ") +
                  highScoreFile + why);
    } else if (update.outcome == HighScoreTable::Outcome::unwritable) {
        Core::log(std::string("GameState::updateHighScores(...) - Could Not Write ") +
                  highScoreFile + why);
    }
    if (!update.entered) {
        return HighScore::notEntered;
    }
    return update.outcome == HighScoreTable::Outcome::written ? HighScore::kept
                                                              : HighScore::notSaved;
}

std::vector<std::string> GameState::readHighScores() {
    return HighScoreTable(highScoreFile).readTokens();
}

void GameState::changeTo(GameState* next) {
    Event change(EVENT_CHANGE_STATE);
    change.nextState = next;
    EventManager::getInstance()->postEvent(change);
}
