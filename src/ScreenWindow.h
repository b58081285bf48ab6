// The window that shows the game's picture. The game always paints the same picture of its own
// size; on the desktop the window shows it enlarged by a whole number to suit the screen and
// follows the player's resizing, while a browser's page sizes it itself. The game's classes
// reach the window only through these calls.
#ifndef ZANDOREL_SCREENWINDOW_H
#define ZANDOREL_SCREENWINDOW_H

struct SDL_Surface;

// Opens the window and returns the surface the game paints its width x height picture into, in
// the window's pixel format, so that pictures converted for the display are a plain copy onto
// it. Null when the window could not be opened, the media library's error telling why.
// REQUIRES: the video subsystem has started and no window is open.
SDL_Surface* openScreen(int width, int height, int bpp, bool fullScreen);
// The surface openScreen returned, while it is open; otherwise null.
SDL_Surface* screenPicture();
// Shows the picture as painted; one that equals the picture last shown costs no more than the
// comparison.
void showScreen();
// Lets go of the picture openScreen returned; the window itself goes with the media library.
void closeScreen(SDL_Surface* picture);

// The window manager or the player made the window this size, perhaps one of a quick burst: the
// window follows the size it was given last, and the picture is placed anew for it, the rest
// of it black. Where the window's own size can be asked, that waits until the burst has been
// quiet a moment; otherwise it is done at once.
void windowResized(int width, int height);
// The window was uncovered: the next showScreen shows the picture whether it changed or not.
void windowExposed();
// The picture's pixel under a position in the window; a position in the border maps to the
// nearest pixel of the picture.
void toPicturePixel(int& x, int& y);
// Changes each time the picture is placed anew: a pointer position mapped before it changed
// no longer names the pixel under the pointer.
unsigned placementCount();

#endif
