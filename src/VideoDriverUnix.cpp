// Linux and other systems with an X or Wayland display.
#include "VideoDriver.h"
#include "VideoDriverDetail.h"

#include "SDL.h"

#include <chrono>
#include <cstdlib>
#include <thread>

using namespace video_driver_detail;

namespace {

// How long a display that refuses the connection (a busy X server, say) is given to accept.
constexpr int displayPatienceMs = 2000;
constexpr int retryPauseMs = 200;

// Classic SDL 1.2 draws on X alone; the compatibility layer over SDL2, which reports itself as
// 1.2.50 or later so that programs can tell, brings SDL2's Wayland driver along.
bool libraryDrawsOnWayland() {
    return SDL_Linked_Version()->patch >= 50;
}

} // namespace

void video_driver_detail::setEnvironment(const char* name, const char* value) {
    setenv(name, value, 1);
}

// One refused connection must not cost a start: a display that is configured gets a couple
// of seconds to accept. With none configured, waiting would change nothing.
bool acceptVideoDriver() {
    std::string driver = videoDriver();
    if (showsWindow(driver)) {
        return true;
    }
    const std::string display = environment("DISPLAY");
    const std::string wayland = environment("WAYLAND_DISPLAY");
    const std::string named = environment("SDL_VIDEODRIVER");
    const bool displayConfigured = !display.empty() || !wayland.empty();
    const bool displayDriverAllowed = named.empty() || namedByUser("x11") || namedByUser("wayland");
    // Waiting for a Wayland display that this library cannot draw on would only delay the
    // news, and then blame the compositor.
    if (display.empty() && !wayland.empty() && displayDriverAllowed && !libraryDrawsOnWayland()) {
        refuse("the Wayland display " + wayland + " needs a driver this SDL library does not have",
               "start it on an X display, such as the desktop's Xwayland (set DISPLAY), or with "
               "the SDL 1.2 compatibility layer over SDL2",
               driver);
        return false;
    }
    if (displayConfigured && displayDriverAllowed) {
        // Later tries name the display's own driver, so that the library does not probe the
        // others again (the Wayland client library complains on every probe) and its error
        // is the display's. The player's environment is put back as it was.
        if (named.empty()) {
            setEnvironment("SDL_VIDEODRIVER", display.empty() ? "wayland" : "x11");
        }
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(displayPatienceMs);
        while (!showsWindow(driver) && std::chrono::steady_clock::now() < deadline) {
            logRetry(driver);
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
            std::this_thread::sleep_for(std::chrono::milliseconds(retryPauseMs));
            SDL_InitSubSystem(SDL_INIT_VIDEO);
            driver = videoDriver();
        }
        if (named.empty()) {
            unsetenv("SDL_VIDEODRIVER");
        }
        if (showsWindow(driver)) {
            return true;
        }
    }
    std::string reason;
    if (!displayDriverAllowed) {
        reason = "SDL_VIDEODRIVER is " + named;
    } else if (!displayConfigured) {
        reason = "neither DISPLAY nor WAYLAND_DISPLAY is set";
    } else {
        reason = (display.empty() ? "the Wayland display " + wayland : "the X display " + display) +
                 " did not accept a connection";
    }
    refuse(reason, "check DISPLAY, and SDL_VIDEODRIVER if it is set", driver);
    return false;
}
