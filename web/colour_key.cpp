// The colour key over a picture's pixels, for the browser's SDL (web/sdl12.js). Compiled, it
// keys a picture the moment it is loaded: the same loop in the page's script ran a few times
// only, before the script engine had compiled it, and cost more than decoding the picture.
#include <cstdint>

// count pixels of red, green, blue and alpha bytes, read as little-endian words. With the key on,
// pixels of the colour rgb (0x00BBGGRR) become transparent; with it off, transparent pixels
// (which were the key: a canvas forgets their colour) become that colour again, opaque.
extern "C" void zandorel_colour_key(std::uint32_t* pixels, int count, std::uint32_t rgb, int on) {
    for (int i = 0; i < count; ++i) {
        if (on != 0 && (pixels[i] & 0xffffffu) == rgb) {
            pixels[i] = rgb;
        } else if (on == 0 && (pixels[i] >> 24) == 0) {
            pixels[i] = rgb | 0xff000000u;
        }
    }
}
