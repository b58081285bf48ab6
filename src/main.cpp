// Entry point: one engine, one run.
#include "Core.h"
#include "GraphicsSystem.h"

#include "SDL.h"

#include <cstdlib>

int main(int, char**) {
    // Where the media library's start-up module does not register it, nothing else would
    // restore the display at exit.
    std::atexit(SDL_Quit);
    Core* core = new Core();
    // Without a window there is nothing to play; the reason is already on standard error.
    const bool windowOpen = core->getGraphicsSystem()->isOpen();
    if (windowOpen) {
        core->run();
    }
    delete core;
    return windowOpen ? 0 : 1;
}
