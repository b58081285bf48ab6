#include "GameStateHighScores.h"

#include "Button.h"
#include "Core.h"
#include "Event.h"
#include "EventManager.h"
#include "GameStateIntro.h"
#include "GraphicsSystem.h"
#include "Label.h"
#include "MessageScreen.h"
#include "SceneManager.h"
#include "SplashScreen.h"

using namespace messageScreen;

GameStateHighScores::GameStateHighScores(Core* core) : GameState(core) {
    GraphicsSystem* graphics = core->getGraphicsSystem();
    graphics->createFont(fontId, fontPicture, fontCharset);

    splashScreen = new SplashScreen(graphics, background);
    splashScreen->setZOrder(0);
    continueButton = new Button(graphics, continueId, continuePicture, continueX, continueY);
    continueButton->setZOrder(1);
    labels[0] = new Label(graphics, "HIGH SCORES", fontId, textX, titleY);
    labels[0]->setZOrder(2);

    SceneManager* scene = core->getSceneManager();
    scene->addWidget(labels[0]);
    scene->addWidget(splashScreen);
    scene->addWidget(continueButton);

    const std::vector<std::string> rows = readHighScores();
    for (int i = 0; i < HighScoreTable::size; ++i) {
        labels[i + 1] = new Label(graphics, rows[i], fontId, textX, firstRowY + rowStep * i);
        labels[i + 1]->setZOrder(3 + i);
        scene->addWidget(labels[i + 1]);
    }

    EventManager::getInstance()->registerListener(continueButton);
}

// The font goes with the screen, so that opening the table again and again does not pile up
// copies of it.
GameStateHighScores::~GameStateHighScores() {
    SceneManager* scene = core->getSceneManager();
    scene->removeWidget(splashScreen);
    scene->removeWidget(continueButton);
    for (Label* label : labels) {
        scene->removeWidget(label);
        delete label;
    }
    EventManager::getInstance()->removeListener(continueButton);
    delete splashScreen;
    delete continueButton;
    core->getGraphicsSystem()->removeFont(fontId);
}

void GameStateHighScores::onEvent(Event& event) {
    if (event.type != EVENT_BUTTON_CLICKED || event.data.empty() ||
        event.data[0].getLongVal() != continueId) {
        return;
    }
    changeTo(new GameStateIntro(core));
}
