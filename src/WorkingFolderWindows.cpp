// Windows: started by a double-click, or from a shortcut that names its own folder.
#include "WorkingFolder.h"

#include <iostream>
#include <windows.h>

std::string startFolderAdvice() {
    return "zandorel: start zandorel.exe in the folder that holds graphics and data;"
           " a shortcut must name that folder under \"Start in\"\n";
}

void tellPlayer(const std::string& message) {
    std::cerr << message;
    std::cerr.flush();
    MessageBoxA(nullptr, message.c_str(), "Zandorel", MB_OK | MB_ICONWARNING);
}
