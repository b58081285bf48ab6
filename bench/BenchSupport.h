// What the benchmark program and the callgrind driver share: a scratch folder to play in, the
// game brought to each of its screens, the bare media-library pass that replays a screen's
// drawing, and start-ups of the game and of a bare program.
#ifndef ZANDOREL_BENCHSUPPORT_H
#define ZANDOREL_BENCHSUPPORT_H

#include "GraphicsSystem.h"

#include "SDL.h"

#include <filesystem>
#include <string>
#include <vector>

class Core;

enum class Screen { Title, Tutorial, Play, GameOver, HighScores };

const char* screenName(Screen screen);
const std::vector<Screen>& allScreens();

// The level played and the score carried into it: the largest grid that ships, with the
// running score a player might have reached by then.
constexpr int benchLevel = 12;
constexpr int benchScore = 480;

// The benchmarks run in a folder of their own, so that debug.txt and the high-score table that
// the screens write never land beside the player's game. The pictures and levels are linked in
// from the folder the program was started in, which must hold graphics/ and data/.
class Sandbox {
public:
    Sandbox();
    ~Sandbox();

    // A fixed table before every screen that reads or writes it, so that each run shows the
    // same rows and the same game-over message.
    static void resetHighScores();

    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

private:
    std::filesystem::path previousFolder;
    std::filesystem::path folder;
};

// One copy of a recorded frame, ready for the media library.
struct BareBlit {
    SDL_Surface* surface;
    SDL_Rect src;
    SDL_Rect dst;
};

std::vector<BareBlit> toBare(const std::vector<BlitRecord>& records);

// The pixel work of one pass and nothing else: fill, the recorded copies in their order, flip.
void barePass(SDL_Surface* screen, const std::vector<BareBlit>& blits);

// The same pixel work shown in a window scale times the picture's size, as a bare program
// would do it: fill and copies into a picture of the game's size, each pixel widened into a
// scale x scale square of the window (a row widened, then copied down), flip.
void bareScaledPass(SDL_Surface* picture, SDL_Surface* window, int scale,
                    const std::vector<BareBlit>& blits);

// A whole game, from its constructor to the media library's shutdown, shown on one screen.
class Game {
public:
    Game();
    ~Game();

    // Installs the screen the way the game changes screens, then lets it settle: the play
    // screen is past its solution preview, with its countdown showing.
    void show(Screen screen);
    // One pass of the main loop with the drawing recorded.
    std::vector<BareBlit> recordPass();
    Core& core() { return *engine; }
    SDL_Surface* screen() const { return SDL_GetVideoSurface(); }

    Game(const Game&) = delete;
    Game& operator=(const Game&) = delete;

private:
    void install(class GameState* next);

    Core* engine;
};

// A quick sweep of the pointer across the screen with a right click now and then, size input
// events in all: the motions reach every button's hit test, and the even number of right
// clicks leaves the play screen's view as it was.
std::vector<SDL_Event> makeBurst(int size);
int pendingInput();
// Lets the game take and deliver whatever input the media library still holds.
void drainInput(Core& core);

// A start-up of the game up to its first flipped frame: Core built, title installed, one pass.
// The teardown afterwards is not part of it.
Core* startGame();
void stopGame(Core* core);

// What the game's start-up loads and draws, for a bare program that does the same.
struct StartupWork {
    std::vector<std::string> pictures; // paths, in the order the game loaded them
    struct Draw {
        std::size_t picture; // index into pictures
        SDL_Rect src;
        SDL_Rect dst;
    };
    std::vector<Draw> firstFrame;
};

// Starts the game once, reading what it loaded from its debug log and recording its first frame.
StartupWork recordStartup();

// The bare start-ups: video initialised, the pictures loaded, keyed and converted; the first
// frame drawn when one is given; one flip. The teardown is separate, as for the game.
struct BareStartup {
    std::vector<SDL_Surface*> pictures;
};
BareStartup startBare(const std::vector<std::string>& pictures,
                      const std::vector<StartupWork::Draw>& firstFrame);
void stopBare(BareStartup& bare);

// The fifteen pictures the game ships.
std::vector<std::string> shippedPictures();

#endif
