// Base of the five screens; each reaches the engine's managers through its Core. The screens
// that end a game, and the one that lists the scores, reach the high-score table through it.
#ifndef ZANDOREL_GAMESTATE_H
#define ZANDOREL_GAMESTATE_H

#include "IEventListener.h"

#include <string>
#include <vector>

class Core;

class GameState : public IEventListener {
public:
    explicit GameState(Core* core) : core(core) {}
    virtual ~GameState() = default;

    void onEvent(Event&) override {}

    // What became of a score at the end of a game: not among the best the table keeps; kept in the
    // file; among those of the table as read, but the file could not take it; or written, but
    // whether it lasts is not known yet (in the browser, until the page's storage answers).
    enum class HighScore { notEntered, kept, notSaved, saving };
    // Enters score into "./data/highscores.txt" and rewrites the file by HighScoreTable's
    // rules. A file that exists but cannot be read (it counts as empty), or cannot be written,
    // is left as it is, and a line in the log says so.
    static HighScore updateHighScores(int score);
    // The table's entries as stored, unconverted; an entry that is not there is empty.
    static std::vector<std::string> readHighScores();

    // The characters the game's two fonts draw, one glyph cell each.
    static const char* const fontCharset;

    GameState(const GameState&) = delete;
    GameState& operator=(const GameState&) = delete;

protected:
    // Asks the engine to replace this screen with next (owned by the event from here on); the
    // change happens when the event is delivered, never inside the caller.
    static void changeTo(GameState* next);
    // A screen that tells what became of a score asks again on each tick while highScore is
    // saving; true on the tick its answer comes, when the screen's message changes.
    static bool highScoreSettled(const Event& event, HighScore& highScore);

    Core* core; // borrowed: the engine outlives every state

private:
    // For a score updateHighScores left saving: kept or notSaved once the answer has come (a
    // line in the log says why it was not saved), saving until then.
    static HighScore savedHighScore();
};

#endif
