#include "GameStateGameOver.h"

#include "Button.h"
#include "Core.h"
#include "Event.h"
#include "EventManager.h"
#include "GameStateIntro.h"
#include "GraphicsSystem.h"
#include "MessageScreen.h"
#include "SceneManager.h"
#include "SplashScreen.h"
#include "TextBox.h"

using namespace messageScreen;

namespace {

constexpr int noButton = -1;

const char* message(GameState::HighScore highScore) {
    switch (highScore) {
    case GameState::HighScore::kept:
        return "OH NO! YOU LOST! BUT YOU GOT A HIGH SCORE!";
    case GameState::HighScore::notSaved:
        return "OH NO! YOU LOST! YOUR HIGH SCORE COULD NOT BE SAVED!";
    case GameState::HighScore::notEntered:
    case GameState::HighScore::saving:
        break;
    }
    return "OH NO! YOU LOST!";
}

} // namespace

GameStateGameOver::GameStateGameOver(Core* core, int score)
    : GameState(core), highScore(updateHighScores(score)) {
    GraphicsSystem* graphics = core->getGraphicsSystem();
    graphics->createFont(fontId, fontPicture, fontCharset);
    splashScreen = new SplashScreen(graphics, background);
    splashScreen->setZOrder(0);
    continueButton = new Button(graphics, continueId, continuePicture, continueX, continueY);
    continueButton->setZOrder(1);
    textBox = new TextBox(graphics, fontId, message(highScore), textX, textY, textWidth, textHeight,
                          noButton, noButton);
    textBox->setZOrder(2);

    SceneManager* scene = core->getSceneManager();
    scene->addWidget(splashScreen);
    scene->addWidget(continueButton);
    scene->addWidget(textBox);

    // The message never scrolls, so the text box is not a listener.
    EventManager::getInstance()->registerListener(continueButton);
}

GameStateGameOver::~GameStateGameOver() {
    core->getGraphicsSystem()->removeFont(fontId);
    SceneManager* scene = core->getSceneManager();
    scene->removeWidget(splashScreen);
    scene->removeWidget(continueButton);
    scene->removeWidget(textBox);
    EventManager::getInstance()->removeListener(continueButton);
    delete textBox;
    delete continueButton;
    delete splashScreen;
}

void GameStateGameOver::onEvent(Event& event) {
    // Until the score's fate is known, the message says only that the game is lost.
    if (highScoreSettled(event, highScore)) {
        textBox->setText(message(highScore));
    }
    if (event.type != EVENT_BUTTON_CLICKED || event.data.empty() ||
        event.data[0].getLongVal() != continueId) {
        return;
    }
    changeTo(new GameStateIntro(core));
}
