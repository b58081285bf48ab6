// Windows names no display, and its desktop is there from the start: waiting brings no driver
// that did not start at once.
#include "VideoDriver.h"
#include "VideoDriverDetail.h"

#include <cstdlib>

using namespace video_driver_detail;

void video_driver_detail::setEnvironment(const char* name, const char* value) {
    _putenv_s(name, value);
}

bool acceptVideoDriver() {
    const std::string driver = videoDriver();
    if (showsWindow(driver)) {
        return true;
    }
    const std::string named = environment("SDL_VIDEODRIVER");
    refuse(named.empty() ? "none of SDL's Windows drivers started" : "SDL_VIDEODRIVER is " + named,
           "check SDL_VIDEODRIVER if it is set", driver);
    return false;
}
