// Shown when time runs out: records the score in the high-score table and says whether it
// made it there.
#ifndef ZANDOREL_GAMESTATEGAMEOVER_H
#define ZANDOREL_GAMESTATEGAMEOVER_H

#include "GameState.h"

class Button;
class SplashScreen;
class TextBox;

class GameStateGameOver final : public GameState {
public:
    GameStateGameOver(Core* core, int score);
    ~GameStateGameOver() override;

    void onEvent(Event& event) override;

private:
    SplashScreen* splashScreen; // owned
    Button* continueButton;     // owned
    TextBox* textBox;           // owned
    HighScore highScore;
};

#endif
