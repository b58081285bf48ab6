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
    // The message names folders in UTF-8, as the C++ library gives paths here; the box is told
    // in UTF-16, so that a folder named in any script reads as the player named it.
    const int length = MultiByteToWideChar(CP_UTF8, 0, message.c_str(), -1, nullptr, 0);
    std::wstring wide(length > 0 ? length : 1, L'\0');
    if (length > 0) {
        MultiByteToWideChar(CP_UTF8, 0, message.c_str(), -1, &wide[0], length);
    }
    MessageBoxW(nullptr, wide.c_str(), L"Zandorel", MB_OK | MB_ICONWARNING);
}
