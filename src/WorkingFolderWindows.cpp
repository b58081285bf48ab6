// Windows: started by a double-click, or from a shortcut that names its own folder.
#include "WorkingFolder.h"

std::string startFolderAdvice() {
    return "zandorel: start zandorel.exe in the folder that holds graphics and data;"
           " a shortcut must name that folder under \"Start in\"\n";
}
