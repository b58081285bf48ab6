// How the main loop's passes are driven. A desktop program may stay in a loop until the game
// ends; a browser tab may not (it would hang), so there each pass runs from the page's
// animation frames instead.
#ifndef ZANDOREL_PASSLOOP_H
#define ZANDOREL_PASSLOOP_H

#include <functional>

// Calls pass until it returns false, then finish once. On the desktop this returns when the
// game has ended.
void runPasses(const std::function<bool()>& pass, const std::function<void()>& finish);

#endif
