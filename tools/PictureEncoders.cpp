#include "PictureEncoders.h"

#include <csetjmp>

#include <png.h>

using std::uint32_t;
using std::uint8_t;

namespace {

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(v & 0xFF);
    out.push_back((v >> 8) & 0xFF);
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

void pngWrite(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void pngFlush(png_structp) {}

// libpng reports an error (on standard error) and then jumps back to the setjmp here, so this
// frame holds nothing that needs a destructor.
bool writePng(png_structp png, png_infop info, std::vector<uint8_t>* out, png_uint_32 width,
              png_uint_32 height, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_set_write_fn(png, out, pngWrite, pngFlush);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

} // namespace

std::vector<uint8_t> encodeBmp(const Canvas& canvas) {
    uint32_t rowSize = (static_cast<uint32_t>(canvas.width) * 3 + 3) & ~3u;
    uint32_t imageSize = rowSize * static_cast<uint32_t>(canvas.height);
    std::vector<uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    put32(out, 14 + 40 + imageSize);
    put32(out, 0);
    put32(out, 14 + 40);
    put32(out, 40);
    put32(out, static_cast<uint32_t>(canvas.width));
    put32(out, static_cast<uint32_t>(canvas.height));
    put16(out, 1);
    put16(out, 24);
    put32(out, 0);
    put32(out, imageSize);
    put32(out, 2835);
    put32(out, 2835);
    put32(out, 0);
    put32(out, 0);
    for (int y = canvas.height - 1; y >= 0; --y) {
        for (int x = 0; x < canvas.width; ++x) {
            const Color& c = canvas.pixels[static_cast<size_t>(y) * canvas.width + x];
            out.push_back(static_cast<uint8_t>(c.b));
            out.push_back(static_cast<uint8_t>(c.g));
            out.push_back(static_cast<uint8_t>(c.r));
        }
        for (uint32_t pad = static_cast<uint32_t>(canvas.width) * 3; pad < rowSize; ++pad) {
            out.push_back(0);
        }
    }
    return out;
}

std::vector<uint8_t> encodePng(const Canvas& canvas, int scale) {
    const int width = canvas.width * scale;
    const int height = canvas.height * scale;
    std::vector<std::vector<png_byte>> rows(static_cast<size_t>(height),
                                            std::vector<png_byte>(static_cast<size_t>(width) * 4));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Color& c =
                canvas.pixels[static_cast<size_t>(y / scale) * canvas.width + x / scale];
            const bool clear = c.r == 255 && c.g == 0 && c.b == 255;
            png_byte* p = &rows[static_cast<size_t>(y)][static_cast<size_t>(x) * 4];
            p[0] = clear ? 0 : static_cast<png_byte>(c.r);
            p[1] = clear ? 0 : static_cast<png_byte>(c.g);
            p[2] = clear ? 0 : static_cast<png_byte>(c.b);
            p[3] = clear ? 0 : 255;
        }
    }
    std::vector<png_bytep> rowPointers;
    for (auto& row : rows) {
        rowPointers.push_back(row.data());
    }
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    const bool written =
        info != nullptr && writePng(png, info, &out, static_cast<png_uint_32>(width),
                                    static_cast<png_uint_32>(height), rowPointers.data());
    png_destroy_write_struct(&png, &info);
    if (!written) {
        throw Error("libpng could not write the picture");
    }
    return out;
}
