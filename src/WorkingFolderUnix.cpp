// Linux and other systems with an X or Wayland display: started from a terminal, or from the
// launcher an install provides, which starts the game in the player's own folder.
#include "WorkingFolder.h"

#include <cstdio>

std::string startFolderAdvice() {
    return "zandorel: start the game from the folder that holds graphics/ and data/;"
           " after a build that is the build folder: cd build && ./zandorel\n";
}

void tellPlayer(const std::string& message) {
    std::fputs(message.c_str(), stderr);
}
