// Windows names no display, and its desktop is there from the start: waiting brings no driver
// that did not start at once.
#include "Display.h"

#include <cstdlib>

using namespace display_detail;

void display_detail::setEnvironment(const char* name, const char* value) {
    _putenv_s(name, value);
}

bool openDisplay() {
    const std::string driver = videoDriver();
    if (showsWindow(driver)) {
        return true;
    }
    const std::string named = environment("SDL_VIDEODRIVER");
    refuse(named.empty() ? "none of SDL's Windows drivers started" : "SDL_VIDEODRIVER is " + named,
           "check SDL_VIDEODRIVER if it is set", driver);
    return false;
}

std::string startFolderAdvice() {
    return "zandorel: start zandorel.exe in the folder that holds graphics and data;"
           " a shortcut must name that folder under \"Start in\"\n";
}
