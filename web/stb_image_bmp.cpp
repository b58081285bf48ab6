// The pictures' decoder, for the browser: stb_image (as emscripten ships it) with BMP alone,
// since every picture of the game is a BMP. Emscripten's own build of it carries every format
// and made a quarter of the WebAssembly a player downloads.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_BMP
// The page reads each file whole and hands the decoder its bytes (web/sdl12.js).
#define STBI_NO_STDIO
#include <stb_image.h>
