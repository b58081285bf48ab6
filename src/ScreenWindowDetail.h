// What each desktop platform's file supplies to ScreenWindowDesktop.cpp. Included by that file
// alone: the game's classes see ScreenWindow.h.
#ifndef ZANDOREL_SCREENWINDOWDETAIL_H
#define ZANDOREL_SCREENWINDOWDETAIL_H

#include <cstdint>
#include <vector>

namespace screen_window_detail {

// The size of the window's inside as its display has it now, which may be newer than the
// resizes the media library has told of, and differ from them: it tells a window only of a
// size other than its picture's. False when the display cannot be asked (no window yet, or a
// driver that keeps no such window).
bool windowSizeNow(int& width, int& height);

// Gives the open window the icon, width x height pixels of 0xAARRGGBB, rows top down, where the
// media library does not give it in the form desktops read: classic SDL 1.2 gives an X window
// only the old bitmap icon, which task bars and window switchers pass over.
void giveWindowIcon(int width, int height, const std::vector<std::uint32_t>& argb);

} // namespace screen_window_detail

#endif
