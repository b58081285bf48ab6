#include "GameStatePlay.h"

#include "Core.h"
#include "Event.h"
#include "EventManager.h"
#include "FileReader.h"
#include "GameStateGameOver.h"
#include "GameStateLevelTransition.h"
#include "GraphicsSystem.h"
#include "Label.h"
#include "SceneManager.h"
#include "StaticImage.h"
#include "TileMatrix.h"
#include "TimerManager.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <string>

namespace {

constexpr int fontId = 6;
constexpr int popupChanceInHundred = 3;

struct Popup final {
    const char* picture;
    int extraSeconds;
    int scrambledCells;
};

const Popup popups[] = {
    {"clocksmall.bmp", 5, 0},
    {"clockbig.bmp", 10, 0},
    {"bombsmall.bmp", 0, 2},
    {"bombbig.bmp", 0, 5},
};

// Scores, levels and countdowns stop at the largest int instead of wrapping round.
int addCapped(int a, int b) {
    const long long sum = static_cast<long long>(a) + b;
    if (sum > INT_MAX) {
        return INT_MAX;
    }
    if (sum < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(sum);
}

// One number, perhaps after a few blank lines; a file that holds none within this is untimed.
constexpr std::size_t timeFileLimit = 4096;

int readTimeLimit(const std::string& path) {
    FileReader file(path, timeFileLimit);
    int seconds = 0;
    if (file.readInt(seconds) != FileReader::Number::read) {
        Core::log("GameStatePlay::GameStatePlay(...) - No Time Limit in " + path +
                  ": the level is untimed");
        return 0;
    }
    return seconds;
}

} // namespace

GameStatePlay::GameStatePlay(Core* core, int level, int score)
    : GameState(core), score(score), level(level) {
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    const std::string levelText = std::to_string(level);
    const std::string base = "./data/level" + levelText;
    timeLimit = readTimeLimit(base + ".tim");

    GraphicsSystem* graphics = core->getGraphicsSystem();
    graphics->createFont(fontId, "fontwhite.bmp", fontCharset);
    tileMatrix = new TileMatrix(graphics, base + ".txt");
    tileMatrix->setZOrder(0);
    levelLabel = new Label(graphics, "LEVEL " + levelText, fontId, 166, 5);
    levelLabel->setZOrder(1);
    scoreLabel = new Label(graphics, "SCORE " + std::to_string(score), fontId, 10, 5);
    scoreLabel->setZOrder(2);
    timeLabel = new Label(graphics, fontId, 123, 5);
    timeLabel->setZOrder(3);

    SceneManager* scene = core->getSceneManager();
    scene->addWidget(tileMatrix);
    scene->addWidget(levelLabel);
    scene->addWidget(scoreLabel);
    scene->addWidget(timeLabel);

    EventManager::getInstance()->registerListener(tileMatrix);
    core->getTimerManager()->createTimer(TIMER_PREVIEW, previewMilliseconds, 1);
    tileMatrix->setShowSolution(true);
    popupImage = nullptr;
}

// Font 6 goes with the screen, so that a long game does not pile up a copy per level.
GameStatePlay::~GameStatePlay() {
    SceneManager* scene = core->getSceneManager();
    scene->removeWidget(tileMatrix);
    scene->removeWidget(levelLabel);
    scene->removeWidget(scoreLabel);
    scene->removeWidget(timeLabel);
    EventManager::getInstance()->removeListener(tileMatrix);
    delete timeLabel;
    delete scoreLabel;
    delete tileMatrix;
    delete levelLabel;
    if (popupImage != nullptr) {
        scene->removeWidget(popupImage);
        delete popupImage;
        popupImage = nullptr;
    }
    TimerManager* timers = core->getTimerManager();
    timers->removeTimer(TIMER_COUNTDOWN);
    timers->removeTimer(TIMER_PREVIEW);
    timers->removeTimer(TIMER_POPUP);
    core->getGraphicsSystem()->removeFont(fontId);
}

void GameStatePlay::onEvent(Event& event) {
    if (leaving) {
        return;
    }
    TimerManager* timers = core->getTimerManager();
    switch (event.type) {
    case EVENT_TICK: {
        const int secondsLeft = timers->getNumFires(TIMER_COUNTDOWN);
        if (secondsLeft == 0) {
            return;
        }
        std::string text = std::to_string(secondsLeft);
        if (text.size() == 1) {
            text.insert(text.begin(), '0');
        }
        timeLabel->setText(text);
        break;
    }
    case EVENT_TIMER: {
        if (event.data.empty()) {
            return;
        }
        const long id = event.data[0].getLongVal();
        if (id == TIMER_PREVIEW) {
            tileMatrix->setShowSolution(false);
            timers->createTimer(TIMER_COUNTDOWN, 1000, timeLimit);
        } else if (id == TIMER_COUNTDOWN) {
            if (timers->getNumFires(TIMER_COUNTDOWN) < 1) {
                leaveFor(new GameStateGameOver(core, score));
            }
        } else if (id == TIMER_POPUP && popupImage != nullptr) {
            core->getSceneManager()->removeWidget(popupImage);
            delete popupImage;
            popupImage = nullptr;
        }
        break;
    }
    case EVENT_PUZZLE_SOLVED: {
        // A negative time limit makes a countdown that holds a negative count and ends the game
        // at its first fire, one second after the preview; a player who solves the level before
        // then must not lose points to that count.
        const int bonus = std::max(0, timers->getNumFires(TIMER_COUNTDOWN));
        leaveFor(new GameStateLevelTransition(core, addCapped(level, 1), addCapped(score, bonus)));
        break;
    }
    case EVENT_TILE_CHANGED:
        if (level > 1 && popupImage == nullptr && std::rand() % 100 < popupChanceInHundred) {
            showPopup();
        }
        break;
    default:
        break;
    }
}

void GameStatePlay::showPopup() {
    const Popup& popup = popups[std::rand() % 4];
    popupImage = new StaticImage(core->getGraphicsSystem(), popup.picture, 145, 5);
    TimerManager* timers = core->getTimerManager();
    // An untimed level must not turn into one that can be lost. Any other level gets its
    // seconds even when the last one has just gone in this same pass: the spent countdown
    // fires again. Before the preview ends there is no countdown, and nothing changes.
    if (popup.extraSeconds > 0 && timeLimit != 0) {
        timers->setNumFires(TIMER_COUNTDOWN,
                            addCapped(timers->getNumFires(TIMER_COUNTDOWN), popup.extraSeconds));
    }
    // An empty grid has nowhere to scatter tiles; a grid without tile kinds has nothing to draw.
    const int kinds = tileMatrix->getNumTiles();
    const int rows = tileMatrix->getNumRows();
    const int cols = tileMatrix->getNumCols();
    if (kinds > 0 && rows > 0 && cols > 0) {
        for (int i = 0; i < popup.scrambledCells; ++i) {
            const int value = std::rand() % kinds;
            const int col = std::rand() % cols;
            const int row = std::rand() % rows;
            tileMatrix->setTile(row, col, value);
        }
    }
    core->getSceneManager()->addWidget(popupImage);
    timers->createTimer(TIMER_POPUP, popupMilliseconds, 1);
}

void GameStatePlay::leaveFor(GameState* next) {
    leaving = true;
    changeTo(next);
}
