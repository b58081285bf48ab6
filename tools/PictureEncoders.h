// A canvas as the bytes of a picture file: the game's BMP, or the desktop's PNG icon.
#ifndef ZANDOREL_TOOLS_PICTUREENCODERS_H
#define ZANDOREL_TOOLS_PICTUREENCODERS_H

#include "Canvas.h"

#include <cstdint>
#include <vector>

// 24-bit BMP with the 40-byte BITMAPINFOHEADER: rows bottom-up, each padded to 4 bytes, pixels in
// blue, green, red order.
std::vector<std::uint8_t> encodeBmp(const Canvas& canvas);

// RGBA PNG: the transparent magenta becomes fully transparent, every other pixel opaque, and
// each pixel a scale x scale square. Throws Error when libpng fails.
std::vector<std::uint8_t> encodePng(const Canvas& canvas, int scale);

#endif
