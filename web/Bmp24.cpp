// stb_image reads a picture's every byte through a call that checks for the end of its buffer.
// The title alone is 180 KB of them: its decoding was the start's hottest code, and the browser
// compiled it a second time, optimised, on the machine's other core while the game started. A
// plain loop over rows does the same for the one format the game's pictures are in.
#include "Bmp24.h"

#include <cstdint>
#include <cstdlib>

namespace {

constexpr std::int64_t headerBytes = 54; // the file's 14 and the 40 of BITMAPINFOHEADER
// Far beyond any picture of the game; the general decoder answers anything larger.
constexpr std::int64_t largestSide = 1 << 14;

std::int64_t littleEndian(const unsigned char* at, int bytes) {
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        value = value << 8 | at[i];
    }
    return bytes == 4 ? static_cast<std::int32_t>(value) : static_cast<std::int64_t>(value);
}

} // namespace

unsigned char* decodeBmp24(const unsigned char* bytes, int count, int* width, int* height) {
    if (bytes == nullptr || count < headerBytes || bytes[0] != 'B' || bytes[1] != 'M' ||
        littleEndian(bytes + 14, 4) != 40 || littleEndian(bytes + 26, 2) != 1 ||
        littleEndian(bytes + 28, 2) != 24 || littleEndian(bytes + 30, 4) != 0) {
        return nullptr;
    }
    const std::int64_t offset = littleEndian(bytes + 10, 4);
    const std::int64_t columns = littleEndian(bytes + 18, 4);
    const std::int64_t signedRows = littleEndian(bytes + 22, 4);
    // Rows are stored bottom-up, or top-down where the height is negative.
    const std::int64_t rows = signedRows < 0 ? -signedRows : signedRows;
    if (offset < headerBytes || columns <= 0 || columns > largestSide || rows == 0 ||
        rows > largestSide) {
        return nullptr;
    }
    // Each row is padded to a multiple of four bytes; the last needs no padding after it.
    const std::int64_t stride = (columns * 3 + 3) / 4 * 4;
    if (offset + stride * (rows - 1) + columns * 3 > count) {
        return nullptr;
    }
    auto* pixels =
        static_cast<unsigned char*>(std::malloc(static_cast<std::size_t>(columns * rows * 4)));
    if (pixels == nullptr) {
        return nullptr;
    }
    unsigned char* to = pixels;
    for (std::int64_t row = 0; row < rows; ++row) {
        const unsigned char* from =
            bytes + offset + stride * (signedRows > 0 ? rows - 1 - row : row);
        for (std::int64_t column = 0; column < columns; ++column, from += 3, to += 4) {
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
            to[3] = 255;
        }
    }
    *width = static_cast<int>(columns);
    *height = static_cast<int>(rows);
    return pixels;
}
