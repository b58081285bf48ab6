#include "GameStateLevelTransition.h"

#include "Button.h"
#include "Core.h"
#include "Event.h"
#include "EventManager.h"
#include "FileReader.h"
#include "GameStateIntro.h"
#include "GameStatePlay.h"
#include "GraphicsSystem.h"
#include "MessageScreen.h"
#include "SceneManager.h"
#include "SplashScreen.h"
#include "TextBox.h"

#include <string>

using namespace messageScreen;

namespace {

constexpr int downId = 3;
constexpr int upId = 4;

// A tutorial line fills a text box of a few lines; a longer one is cut here rather than read
// without end.
constexpr std::size_t tutorialLimit = 4096;

std::string levelBase(int level) {
    return "./data/level" + std::to_string(level);
}

bool levelExists(int level) {
    return FileReader(levelBase(level) + ".txt", 0, FileReader::Kind::binary).isOpen();
}

const char* winText(GameState::HighScore highScore) {
    switch (highScore) {
    case GameState::HighScore::kept:
        return "WOW! YOU WIN! AND YOU GOT A HIGH SCORE!";
    case GameState::HighScore::notSaved:
        return "WOW! YOU WIN! YOUR HIGH SCORE COULD NOT BE SAVED!";
    case GameState::HighScore::notEntered:
    case GameState::HighScore::saving:
        break;
    }
    return "WOW! YOU WIN!";
}

// Only the first line counts; a carriage return before the line end is part of the line end.
std::string screenText(int level, int score, GameState::HighScore& highScore) {
    if (!levelExists(level)) {
        highScore = GameState::updateHighScores(score);
        return winText(highScore);
    }
    const std::string path = levelBase(level) + ".tut";
    FileReader tutorial(path, tutorialLimit);
    if (!tutorial.isOpen()) {
        return "WOW! YOU MADE IT TO LEVEL " + std::to_string(level) + "!";
    }
    bool cut = false;
    const std::string line = tutorial.readLine(cut);
    if (cut) {
        Core::log("GameStateLevelTransition::GameStateLevelTransition(...) - Tutorial Cut: " +
                  path + " holds a line longer than " + std::to_string(tutorialLimit) + " bytes");
    }
    return line;
}

} // namespace

GameStateLevelTransition::GameStateLevelTransition(Core* core, int level, int score)
    : GameState(core) {
    Core::log("SCORE");
    Core::log(std::to_string(score));
    this->level = level;
    this->score = score;
    const std::string text = screenText(level, score, highScore);

    GraphicsSystem* graphics = core->getGraphicsSystem();
    graphics->createFont(fontId, fontPicture, fontCharset);
    splashScreen = new SplashScreen(graphics, background);
    splashScreen->setZOrder(0);
    downButton = new Button(graphics, downId, "buttondown.bmp", scrollButtonX, downButtonY);
    downButton->setZOrder(1);
    upButton = new Button(graphics, upId, "buttonup.bmp", scrollButtonX, upButtonY);
    upButton->setZOrder(2);
    textBox =
        new TextBox(graphics, fontId, text, textX, textY, textWidth, textHeight, downId, upId);
    textBox->setZOrder(3);
    continueButton = new Button(graphics, continueId, continuePicture, continueX, continueY);
    continueButton->setZOrder(4);

    SceneManager* scene = core->getSceneManager();
    scene->addWidget(splashScreen);
    scene->addWidget(downButton);
    scene->addWidget(upButton);
    scene->addWidget(textBox);
    scene->addWidget(continueButton);

    EventManager* events = EventManager::getInstance();
    events->registerListener(upButton);
    events->registerListener(downButton);
    events->registerListener(textBox);
    events->registerListener(continueButton);
}

GameStateLevelTransition::~GameStateLevelTransition() {
    core->getGraphicsSystem()->removeFont(fontId);
    SceneManager* scene = core->getSceneManager();
    scene->removeWidget(splashScreen);
    scene->removeWidget(downButton);
    scene->removeWidget(upButton);
    scene->removeWidget(textBox);
    scene->removeWidget(continueButton);
    EventManager* events = EventManager::getInstance();
    events->removeListener(upButton);
    events->removeListener(downButton);
    events->removeListener(textBox);
    events->removeListener(continueButton);
    delete continueButton;
    delete textBox;
    delete upButton;
    delete downButton;
    delete splashScreen;
}

void GameStateLevelTransition::onEvent(Event& event) {
    // Until the score's fate is known, the message says only that the game is won.
    if (highScoreSettled(event, highScore)) {
        textBox->setText(winText(highScore));
    }
    if (event.type != EVENT_BUTTON_CLICKED || event.data.empty() ||
        event.data[0].getLongVal() != continueId) {
        return;
    }
    // The level's existence is checked again here: the files may have changed while the player
    // read the screen.
    if (levelExists(level)) {
        changeTo(new GameStatePlay(core, level, score));
    } else {
        changeTo(new GameStateIntro(core));
    }
}
