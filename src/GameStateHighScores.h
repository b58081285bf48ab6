// Lists the best scores exactly as the high-score file holds them.
#ifndef ZANDOREL_GAMESTATEHIGHSCORES_H
#define ZANDOREL_GAMESTATEHIGHSCORES_H

#include "GameState.h"
#include "HighScoreTable.h"

class Button;
class Label;
class SplashScreen;

class GameStateHighScores final : public GameState {
public:
    explicit GameStateHighScores(Core* core);
    ~GameStateHighScores() override;

    void onEvent(Event& event) override;

    // The title, then the rows, best first, one below the other.
    static constexpr int titleY = 11, firstRowY = 30, rowStep = 11;

private:
    // The title, then a row for each entry the table holds.
    static constexpr int numLabels = 1 + HighScoreTable::size;

    SplashScreen* splashScreen; // owned
    Label* labels[numLabels];   // owned: the title, then the rows best first
    Button* continueButton;     // owned
};

#endif
