// Windows: the system sizes the window itself, and its client area is the size to follow.
#include "ScreenWindowDetail.h"

#include "SDL.h"
#include "SDL_syswm.h"

#include <windows.h>

bool screen_window_detail::windowSizeNow(int& width, int& height) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    RECT inside;
    if (SDL_GetWMInfo(&info) <= 0 || info.window == nullptr ||
        GetClientRect(info.window, &inside) == 0) {
        return false;
    }
    width = inside.right - inside.left;
    height = inside.bottom - inside.top;
    return true;
}

// The library gives the window's class the icon it was handed, which the title bar, the task
// bar and the window switcher all show.
void screen_window_detail::giveWindowIcon(int, int, const std::vector<std::uint32_t>&) {}
