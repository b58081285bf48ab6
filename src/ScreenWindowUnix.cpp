// Linux and other systems with an X display: the window manager sizes the frame the media
// library puts its window in, so the frame's size is the one to follow.
#include "ScreenWindowDetail.h"

#include "SDL.h"
#include "SDL_syswm.h"

bool screen_window_detail::windowSizeNow(int& width, int& height) {
#if defined(SDL_VIDEO_DRIVER_X11)
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWMInfo(&info) <= 0 || info.subsystem != SDL_SYSWM_X11 ||
        info.info.x11.display == nullptr) {
        return false;
    }
    // The compatibility layer names one window for both.
    const Window frame =
        info.info.x11.wmwindow != 0 ? info.info.x11.wmwindow : info.info.x11.window;
    XWindowAttributes attributes;
    if (info.info.x11.lock_func != nullptr) {
        info.info.x11.lock_func();
    }
    const Status known = XGetWindowAttributes(info.info.x11.display, frame, &attributes);
    if (info.info.x11.unlock_func != nullptr) {
        info.info.x11.unlock_func();
    }
    if (known == 0) {
        return false;
    }
    width = attributes.width;
    height = attributes.height;
    return true;
#else
    (void)width;
    (void)height;
    return false;
#endif
}
