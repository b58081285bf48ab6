#include "GameState.h"

#include "Core.h"
#include "Event.h"
#include "EventManager.h"
#include "FileReplace.h"
#include "HighScoreTable.h"

#include <string>

namespace {

const char* const highScoreFile = "./data/highscores.txt";

// The line names the file, then the system's reason, so that a player can tell a read-only
// folder from a full disk.
void logTableFailure(const char* what, const std::string& why) {
    Core::log(std::string("GameState::updateHighScores(...) - ") + what + highScoreFile +
              (why.empty() ? "" : ": " + why));
}

} // namespace

const char* const GameState::fontCharset = "ABCDEFGHIJKLMNOPQRSTUVWXYZ!,.?1234567890";

GameState::HighScore GameState::updateHighScores(int score) {
    const HighScoreTable::Update update = HighScoreTable(highScoreFile).update(score);
    if (update.outcome == HighScoreTable::Outcome::unreadable) {
        logTableFailure("Could Not Read ", update.why);
    } else if (update.outcome == HighScoreTable::Outcome::unwritable) {
        logTableFailure("Could Not Write ", update.why);
    }
    if (!update.entered) {
        return HighScore::notEntered;
    }
    return update.outcome == HighScoreTable::Outcome::written ? savedHighScore()
                                                              : HighScore::notSaved;
}

// A score the file took counts as kept only once what was written lasts: the browser's storage
// answers after the screen that tells the player has opened.
GameState::HighScore GameState::savedHighScore() {
    std::string why;
    switch (replacementLasts(why)) {
    case Lasting::yes:
        return HighScore::kept;
    case Lasting::unknown:
        return HighScore::saving;
    case Lasting::no:
        break;
    }
    logTableFailure("Could Not Write ", why);
    return HighScore::notSaved;
}

std::vector<std::string> GameState::readHighScores() {
    return HighScoreTable(highScoreFile).readTokens();
}

bool GameState::highScoreSettled(const Event& event, HighScore& highScore) {
    if (event.type != EVENT_TICK || highScore != HighScore::saving) {
        return false;
    }
    highScore = savedHighScore();
    return highScore != HighScore::saving;
}

void GameState::changeTo(GameState* next) {
    Event change(EVENT_CHANGE_STATE);
    change.nextState = next;
    EventManager::getInstance()->postEvent(change);
}
