// A canvas as the bytes of a picture file: the game's BMP, the desktop's PNG icon, or the
// Windows executable's icon.
#ifndef ZANDOREL_TOOLS_PICTUREENCODERS_H
#define ZANDOREL_TOOLS_PICTUREENCODERS_H

#include "Canvas.h"

#include <cstdint>
#include <vector>

// 24-bit BMP with the 40-byte BITMAPINFOHEADER: rows bottom-up, each padded to 4 bytes, pixels in
// blue, green, red order.
std::vector<std::uint8_t> encodeBmp(const Canvas& canvas);

// A picture with an alpha channel, four bytes a pixel (red, green, blue, alpha), rows top down.
struct Rgba {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
};

// The canvas at another size, the transparent magenta fully transparent. A whole-number
// enlargement makes each pixel a sharp square; any other size averages the area each output
// pixel covers.
Rgba resample(const Canvas& canvas, int width, int height);

// RGBA PNG. Throws Error when libpng fails.
std::vector<std::uint8_t> encodePng(const Rgba& picture);

// Windows icon file with the square canvas at 16, 24, 32, 48, 64 and 256 pixels. Throws Error
// for a canvas that is not square.
std::vector<std::uint8_t> encodeIco(const Canvas& canvas);

#endif
