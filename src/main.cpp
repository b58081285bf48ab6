// Entry point: one engine, one run.
#include "Core.h"
#include "GraphicsSystem.h"

#include "SDL.h"

namespace {

void end(Core* core) {
    delete core;
    // Here and not in an exit handler: when the display goes away, the X library ends the
    // process through exit(), and a shutdown run from there would wait on the dead
    // connection for ever instead of letting the game end.
    SDL_Quit();
}

} // namespace

int main(int, char**) {
    Core* core = new Core();
    // Without a window there is nothing to play; the reason is already on standard error.
    if (!core->getGraphicsSystem()->isOpen()) {
        end(core);
        return 1;
    }
    // In the browser the game outlives main (a page's Play again starts main once more): the
    // ended game's pictures and listeners go when it ends, not when main returns.
    core->run([core] { end(core); });
    return 0;
}
