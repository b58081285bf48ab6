// The browser: the screen is the page's canvas, always there, with nothing to wait for.
#include "Display.h"

#include <cstdlib>

void display_detail::setEnvironment(const char* name, const char* value) {
    setenv(name, value, 1);
}

bool openDisplay() {
    return true;
}

// The pictures come in the site's data package, not from a folder the player chose.
std::string startFolderAdvice() {
    return "zandorel: the site's zandorel.data holds no pictures: build the site again with"
           " tools/web.sh and copy the whole site folder\n";
}
