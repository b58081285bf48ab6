// Linux and other systems with an X display: the window manager sizes the frame the media
// library puts its window in, so the frame's size is the one to follow.
#include "ScreenWindowDetail.h"

#include "SDL.h"
#include "SDL_syswm.h"

#if defined(SDL_VIDEO_DRIVER_X11)

namespace {

// The X window the window manager sizes and reads the icon of, with the display it is on;
// false when the library draws elsewhere than on X.
bool managedWindow(SDL_SysWMinfo& info, Window& frame) {
    SDL_VERSION(&info.version);
    if (SDL_GetWMInfo(&info) <= 0 || info.subsystem != SDL_SYSWM_X11 ||
        info.info.x11.display == nullptr) {
        return false;
    }
    // The compatibility layer names one window for both.
    frame = info.info.x11.wmwindow != 0 ? info.info.x11.wmwindow : info.info.x11.window;
    return frame != 0;
}

// Calls the X library while the media library's event thread, where it has one, keeps off.
template <typename Call> auto locked(const SDL_SysWMinfo& info, Call call) {
    if (info.info.x11.lock_func != nullptr) {
        info.info.x11.lock_func();
    }
    const auto result = call(info.info.x11.display);
    if (info.info.x11.unlock_func != nullptr) {
        info.info.x11.unlock_func();
    }
    return result;
}

} // namespace

bool screen_window_detail::windowSizeNow(int& width, int& height) {
    SDL_SysWMinfo info;
    Window frame = 0;
    XWindowAttributes attributes;
    if (!managedWindow(info, frame) || locked(info, [&](Display* display) {
                                           return XGetWindowAttributes(display, frame, &attributes);
                                       }) == 0) {
        return false;
    }
    width = attributes.width;
    height = attributes.height;
    return true;
}

void screen_window_detail::giveWindowIcon(int width, int height,
                                          const std::vector<std::uint32_t>& argb) {
    SDL_SysWMinfo info;
    Window frame = 0;
    if (!managedWindow(info, frame)) {
        return;
    }
    // A property of 32-bit items travels as the X library's longs: its width and height, then
    // the pixels.
    std::vector<unsigned long> items{static_cast<unsigned long>(width),
                                     static_cast<unsigned long>(height)};
    items.insert(items.end(), argb.begin(), argb.end());
    locked(info, [&](Display* display) {
        const Atom icon = XInternAtom(display, "_NET_WM_ICON", False);
        const Atom cardinal = XInternAtom(display, "CARDINAL", False);
        return XChangeProperty(display, frame, icon, cardinal, 32, PropModeReplace,
                               reinterpret_cast<const unsigned char*>(items.data()),
                               static_cast<int>(items.size()));
    });
}

#else

bool screen_window_detail::windowSizeNow(int&, int&) {
    return false;
}

void screen_window_detail::giveWindowIcon(int, int, const std::vector<std::uint32_t>&) {}

#endif
