// One level being played: the solution preview, the countdown, the pop-up clocks and bombs,
// and the hand-over to the next level or to the game-over screen.
#ifndef ZANDOREL_GAMESTATEPLAY_H
#define ZANDOREL_GAMESTATEPLAY_H

#include "GameState.h"

class Label;
class StaticImage;
class TileMatrix;

class GameStatePlay final : public GameState {
public:
    static constexpr int TIMER_COUNTDOWN = 8;
    static constexpr int TIMER_PREVIEW = 9;
    static constexpr int TIMER_POPUP = 10;
    // How long the solution shows before the countdown starts, and a pop-up stays.
    static constexpr long previewMilliseconds = 2000;
    static constexpr long popupMilliseconds = 2000;

    // A ".tim" file that is missing or holds no number makes the level untimed.
    GameStatePlay(Core* core, int level, int score);
    ~GameStatePlay() override;

    void onEvent(Event& event) override;

private:
    void showPopup();
    void leaveFor(GameState* next);

    TileMatrix* tileMatrix;  // owned
    Label* levelLabel;       // owned
    Label* timeLabel;        // owned
    Label* scoreLabel;       // owned
    StaticImage* popupImage; // owned; null while no pop-up shows
    int score;
    int level;
    int timeLimit = 0;
    // Set once the next screen is on its way; a solve and a time-out on the same tick must
    // not both hand over.
    bool leaving = false;
};

#endif
