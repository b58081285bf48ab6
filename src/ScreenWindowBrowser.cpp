// The browser: the page fits the canvas to the tab, so the window is the picture itself, and
// the pointer's positions already come in its pixels.
#include "ScreenWindow.h"

#include "SDL.h"

SDL_Surface* openScreen(int width, int height, int bpp, bool fullScreen) {
    const Uint32 flags =
        fullScreen ? (SDL_FULLSCREEN | SDL_DOUBLEBUF | SDL_ANYFORMAT) : SDL_ANYFORMAT;
    return SDL_SetVideoMode(width, height, bpp, flags);
}

SDL_Surface* screenPicture() {
    return SDL_GetVideoSurface();
}

void showScreen() {
    if (SDL_Surface* screen = SDL_GetVideoSurface()) {
        SDL_Flip(screen);
    }
}

void closeScreen(SDL_Surface* picture) {
    SDL_FreeSurface(picture);
}

void windowResized(int, int) {}

void windowExposed() {}

void toPicturePixel(int&, int&) {}

unsigned placementCount() {
    return 0;
}
