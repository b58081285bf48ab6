// The screen before every level: the level's tutorial line, or the win message after the last
// level, with a continue button that starts the level (or returns to the title).
#ifndef ZANDOREL_GAMESTATELEVELTRANSITION_H
#define ZANDOREL_GAMESTATELEVELTRANSITION_H

#include "GameState.h"

class Button;
class SplashScreen;
class TextBox;

class GameStateLevelTransition final : public GameState {
public:
    // On the winning path (no grid file for level), records score in the high-score table.
    GameStateLevelTransition(Core* core, int level, int score);
    ~GameStateLevelTransition() override;

    void onEvent(Event& event) override;

    // The scroll buttons stand right of the text box, at its top and its bottom.
    static constexpr int scrollButtonX = 185, upButtonY = 11, downButtonY = 99;

private:
    SplashScreen* splashScreen; // owned
    TextBox* textBox;           // owned
    Button* upButton;           // owned
    Button* downButton;         // owned
    Button* continueButton;     // owned
    int level;
    int score;
    HighScore highScore = HighScore::notEntered; // what became of score, after the last level
};

#endif
