// The browser: the pictures come in the site's data package, not from a folder the player
// chose.
#include "WorkingFolder.h"

#include <cstdio>

std::string startFolderAdvice() {
    return "zandorel: the site's zandorel.data holds no pictures: build the site again with"
           " tools/web.sh and copy the whole site folder\n";
}

void tellPlayer(const std::string& message) {
    std::fputs(message.c_str(), stderr);
}
