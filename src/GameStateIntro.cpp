#include "GameStateIntro.h"

#include "Button.h"
#include "Core.h"
#include "Event.h"
#include "EventManager.h"
#include "GameStateHighScores.h"
#include "GameStateLevelTransition.h"
#include "SceneManager.h"
#include "SplashScreen.h"

namespace {

constexpr int startId = 0;
constexpr int highScoresId = 1;
constexpr int exitId = 2;

} // namespace

GameStateIntro::GameStateIntro(Core* core) : GameState(core) {
    GraphicsSystem* graphics = core->getGraphicsSystem();
    splashScreen = new SplashScreen(graphics, "title.bmp");
    splashScreen->setZOrder(0);
    startButton = new Button(graphics, startId, "buttonnormal.bmp", 80, 130);
    startButton->setZOrder(1);
    highScoresButton = new Button(graphics, highScoresId, "buttonhs.bmp", 80, 140);
    highScoresButton->setZOrder(2);
    exitButton = new Button(graphics, exitId, "buttonexit.bmp", 80, 150);
    exitButton->setZOrder(3);

    SceneManager* scene = core->getSceneManager();
    scene->addWidget(splashScreen);
    scene->addWidget(startButton);
    scene->addWidget(highScoresButton);
    scene->addWidget(exitButton);

    EventManager* events = EventManager::getInstance();
    events->registerListener(startButton);
    events->registerListener(highScoresButton);
    events->registerListener(exitButton);
}

GameStateIntro::~GameStateIntro() {
    SceneManager* scene = core->getSceneManager();
    scene->removeWidget(splashScreen);
    scene->removeWidget(startButton);
    scene->removeWidget(highScoresButton);
    scene->removeWidget(exitButton);

    EventManager* events = EventManager::getInstance();
    events->removeListener(startButton);
    events->removeListener(highScoresButton);
    events->removeListener(exitButton);

    delete exitButton;
    delete highScoresButton;
    delete splashScreen;
    delete startButton;
}

void GameStateIntro::onEvent(Event& event) {
    if (event.type != EVENT_BUTTON_CLICKED || event.data.empty()) {
        return;
    }
    const long id = event.data[0].getLongVal();
    if (id == startId) {
        changeTo(new GameStateLevelTransition(core, 1, 0));
    } else if (id == exitId) {
        Event quit(EVENT_QUIT);
        EventManager::getInstance()->postEvent(quit);
    } else if (id == highScoresId) {
        changeTo(new GameStateHighScores(core));
    }
}
