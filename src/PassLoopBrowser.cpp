// The browser drives the passes: a tab whose script never returns hangs, so each animation
// frame runs passes and hands the tab back.
#include "PassLoop.h"

#include "SDL.h"

#include <emscripten.h>

#include <functional>

extern "C" void zandorel_game_ended(); // web/page.js
extern "C" int zandorel_input_waits(); // web/page.js

namespace {

// One click is about five of the library's events and a pass takes one: a frame runs passes
// while events wait, so that input is never more than a frame behind. Bounded, so that a
// flood of events (a fast mouse) cannot hold the tab.
constexpr int maxPassesPerFrame = 32;

struct Loop final {
    std::function<bool()> pass;
    std::function<void()> finish;
};

// One frame's passes; false once the game has ended and all it held is let go.
bool runFrame(Loop* loop) {
    // The high-score table is read only after the player's input (a click opens the screen,
    // solves a level, starts the countdown), so input waits while the page loads the stored
    // table: the game reads that, not the copy it shipped with, and nothing else waits for it.
    if (zandorel_input_waits() != 0 && SDL_PollEvent(nullptr) != 0) {
        return true;
    }
    bool running = true;
    int passes = 0;
    do {
        running = loop->pass();
        ++passes;
    } while (running && passes < maxPassesPerFrame && SDL_PollEvent(nullptr) != 0);
    if (running) {
        return true;
    }
    // The game's end, with all main would do after it: the Core, its pictures and its event
    // manager go, so that a game started again on this page (Play again) begins as the first
    // did, holding nothing of the last.
    loop->finish();
    delete loop;
    zandorel_game_ended();
    return false;
}

void frame(void* arg) {
    if (!runFrame(static_cast<Loop*>(arg))) {
        emscripten_cancel_main_loop();
    }
}

} // namespace

void runPasses(const std::function<bool()>& pass, const std::function<void()>& finish) {
    // The first frame at once, as the desktop draws it, rather than an animation frame later.
    Loop* loop = new Loop{pass, finish};
    if (!runFrame(loop)) {
        return;
    }
    // 0 frames a second: the browser's animation frame. The simulated endless loop leaves
    // main here, as a real one would never come back from it.
    emscripten_set_main_loop_arg(frame, loop, 0, 1);
}
