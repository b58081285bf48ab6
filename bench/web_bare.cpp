// The web benchmark's bare page: the least an SDL 1.2 program built as the game is does before
// its first frame. It sets the game's video mode, fills the screen and flips once.
#include <SDL.h>

int main() {
    SDL_Init(SDL_INIT_VIDEO);
    SDL_Surface* screen = SDL_SetVideoMode(256, 240, 16, SDL_ANYFORMAT);
    SDL_FillRect(screen, nullptr, SDL_MapRGB(screen->format, 0, 0, 128));
    SDL_Flip(screen);
    return 0;
}
