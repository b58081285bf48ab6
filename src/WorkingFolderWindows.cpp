// Windows: started by a double-click, or from a shortcut that names its own folder.
#include "WorkingFolder.h"

#include <cstdio>
#include <windows.h>

std::string startFolderAdvice() {
    return "zandorel: start zandorel.exe in the folder that holds graphics and data;"
           " a shortcut must name that folder under \"Start in\"\n";
}

void tellPlayer(const std::string& message) {
    std::fputs(message.c_str(), stderr);
    std::fflush(stderr);
    MessageBoxA(nullptr, message.c_str(), "Zandorel", MB_OK | MB_ICONWARNING);
}
