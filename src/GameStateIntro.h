// The title screen: start a game, see the high scores, or leave.
#ifndef ZANDOREL_GAMESTATEINTRO_H
#define ZANDOREL_GAMESTATEINTRO_H

#include "GameState.h"

class Button;
class SplashScreen;

class GameStateIntro final : public GameState {
public:
    explicit GameStateIntro(Core* core);
    ~GameStateIntro() override;

    void onEvent(Event& event) override;

private:
    SplashScreen* splashScreen; // owned
    Button* startButton;        // owned
    Button* highScoresButton;   // owned
    Button* exitButton;         // owned
};

#endif
