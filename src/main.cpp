// Entry point: one engine, one run.
#include "Core.h"
#include "GraphicsSystem.h"

#include "SDL.h"

int main(int, char**) {
    Core* core = new Core();
    // Without a window there is nothing to play; the reason is already on standard error.
    const bool windowOpen = core->getGraphicsSystem()->isOpen();
    if (windowOpen) {
        core->run();
    }
    delete core;
    // Here and not in an exit handler: when the display goes away, the X library ends the
    // process through exit(), and a shutdown run from there would wait on the dead
    // connection for ever instead of letting the game end.
    SDL_Quit();
    return windowOpen ? 0 : 1;
}
