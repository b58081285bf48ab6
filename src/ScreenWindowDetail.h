// What each desktop platform's file supplies to ScreenWindowDesktop.cpp. Included by that file
// alone: the game's classes see ScreenWindow.h.
#ifndef ZANDOREL_SCREENWINDOWDETAIL_H
#define ZANDOREL_SCREENWINDOWDETAIL_H

namespace screen_window_detail {

// The size of the window's inside as its display has it now, which may be newer than the
// resizes the media library has told of, and differ from them: it tells a window only of a
// size other than its picture's. False when the display cannot be asked (no window yet, or a
// driver that keeps no such window).
bool windowSizeNow(int& width, int& height);

} // namespace screen_window_detail

#endif
