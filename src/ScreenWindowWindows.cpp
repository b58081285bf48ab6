// Windows: the system sizes the window itself, and its client area is the size to follow.
#include "ScreenWindowDetail.h"

#include "SDL.h"
#include "SDL_syswm.h"

#include <windows.h>

namespace {

// The window the library draws in; null while there is none.
HWND gameWindow() {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    return SDL_GetWMInfo(&info) > 0 ? info.window : nullptr;
}

} // namespace

bool screen_window_detail::windowSizeNow(int& width, int& height) {
    const HWND window = gameWindow();
    RECT inside;
    if (window == nullptr || GetClientRect(window, &inside) == 0) {
        return false;
    }
    width = inside.right - inside.left;
    height = inside.bottom - inside.top;
    return true;
}

// The library gives the icon to the window's class alone, which other programs (a task bar
// of another maker, a window switcher) cannot read: the window is given it as its own too,
// large and small alike.
void screen_window_detail::giveWindowIcon(int width, int height,
                                          const std::vector<std::uint32_t>& argb) {
    const HWND window = gameWindow();
    if (window == nullptr) {
        return;
    }
    BITMAPV5HEADER header{};
    header.bV5Size = sizeof header;
    header.bV5Width = width;
    header.bV5Height = -height; // rows top down
    header.bV5Planes = 1;
    header.bV5BitCount = 32;
    header.bV5Compression = BI_BITFIELDS;
    header.bV5RedMask = 0x00ff0000;
    header.bV5GreenMask = 0x0000ff00;
    header.bV5BlueMask = 0x000000ff;
    header.bV5AlphaMask = 0xff000000;
    void* pixels = nullptr;
    const HDC screen = GetDC(nullptr);
    const HBITMAP colour = CreateDIBSection(screen, reinterpret_cast<const BITMAPINFO*>(&header),
                                            DIB_RGB_COLORS, &pixels, nullptr, 0);
    ReleaseDC(nullptr, screen);
    // With colours that carry their own alpha, the mask only has to exist.
    const HBITMAP mask = CreateBitmap(width, height, 1, 1, nullptr);
    HICON icon = nullptr;
    if (colour != nullptr && mask != nullptr && pixels != nullptr) {
        CopyMemory(pixels, argb.data(), argb.size() * sizeof argb[0]);
        ICONINFO parts{};
        parts.fIcon = TRUE;
        parts.hbmColor = colour;
        parts.hbmMask = mask;
        icon = CreateIconIndirect(&parts);
    }
    if (colour != nullptr) {
        DeleteObject(colour);
    }
    if (mask != nullptr) {
        DeleteObject(mask);
    }
    if (icon != nullptr) {
        // Kept for the rest of the game: the window shows it until it closes.
        SendMessage(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        SendMessage(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    }
}
