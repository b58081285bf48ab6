// The pictures' decoder, for the browser: stb_image (as emscripten ships it) with BMP alone,
// since every picture of the game is a BMP. Emscripten's own build of it carries every format
// and made a quarter of the WebAssembly a player downloads.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_BMP
// The page reads each file whole and hands the decoder its bytes (web/sdl12.js).
#define STBI_NO_STDIO
#include <stb_image.h>

#include "Bmp24.h"

// What the page's SDL decodes a picture with (web/sdl12.js): the quick way where it can, else
// stb_image, which also answers every file the quick way refuses. Red, green, blue and alpha
// bytes, freed with stbi_image_free.
extern "C" unsigned char* zandorel_load_bmp(const unsigned char* bytes, int count, int* width,
                                            int* height) {
    if (unsigned char* pixels = decodeBmp24(bytes, count, width, height)) {
        return pixels;
    }
    int channels = 0;
    return stbi_load_from_memory(bytes, count, width, height, &channels, 4);
}
