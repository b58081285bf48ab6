#include "PictureEncoders.h"

#include <algorithm>
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

// Each output pixel is the average of the source area it covers, weighted by how much of each
// source pixel lies inside, and with colours weighted by their opacity so that the transparent
// magenta never tints an edge. A whole-number enlargement covers one source pixel per output
// pixel, so it copies that pixel exactly.
Rgba resample(const Canvas& canvas, int width, int height) {
    Rgba out{width, height, std::vector<uint8_t>(static_cast<size_t>(width) * height * 4)};
    // Coordinates in units of 1/width of a source pixel across, 1/height down.
    auto overlap = [](long from, long to, long cellFrom, long cellTo) {
        return std::max(0L, std::min(to, cellTo) - std::max(from, cellFrom));
    };
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const long x0 = static_cast<long>(x) * canvas.width;
            const long x1 = x0 + canvas.width;
            const long y0 = static_cast<long>(y) * canvas.height;
            const long y1 = y0 + canvas.height;
            long area = 0;
            long opaque = 0;
            long sum[3] = {0, 0, 0};
            for (int sy = static_cast<int>(y0 / height); sy * static_cast<long>(height) < y1;
                 ++sy) {
                const long dy = overlap(y0, y1, sy * static_cast<long>(height),
                                        (sy + 1) * static_cast<long>(height));
                for (int sx = static_cast<int>(x0 / width); sx * static_cast<long>(width) < x1;
                     ++sx) {
                    const long weight = dy * overlap(x0, x1, sx * static_cast<long>(width),
                                                     (sx + 1) * static_cast<long>(width));
                    const Color& c = canvas.pixels[static_cast<size_t>(sy) * canvas.width + sx];
                    area += weight;
                    if (c.r == 255 && c.g == 0 && c.b == 255) {
                        continue;
                    }
                    opaque += weight;
                    sum[0] += weight * c.r;
                    sum[1] += weight * c.g;
                    sum[2] += weight * c.b;
                }
            }
            uint8_t* p = &out.pixels[(static_cast<size_t>(y) * width + x) * 4];
            for (int i = 0; i < 3; ++i) {
                p[i] = opaque == 0 ? 0 : static_cast<uint8_t>((sum[i] + opaque / 2) / opaque);
            }
            p[3] = static_cast<uint8_t>((opaque * 255 + area / 2) / area);
        }
    }
    return out;
}

std::vector<uint8_t> encodePng(const Rgba& picture) {
    const int width = picture.width;
    const int height = picture.height;
    std::vector<uint8_t> pixels = picture.pixels; // libpng's rows are not const
    std::vector<png_bytep> rowPointers;
    for (int y = 0; y < height; ++y) {
        rowPointers.push_back(&pixels[static_cast<size_t>(y) * width * 4]);
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

// A Windows icon file: a directory of sizes, each entry a bitmap (32-bit, with the one-bit mask
// that old readers use), but the 256-pixel one a PNG picture, as Windows stores that size and
// at a fraction of the bytes.
std::vector<uint8_t> encodeIco(const Canvas& canvas) {
    if (canvas.width != canvas.height) {
        throw Error("an icon's picture must be square");
    }
    const int sizes[] = {16, 24, 32, 48, 64, 256};
    std::vector<std::vector<uint8_t>> images;
    for (int size : sizes) {
        const Rgba picture = resample(canvas, size, size);
        if (size == 256) {
            images.push_back(encodePng(picture));
            continue;
        }
        const uint32_t maskRow = ((static_cast<uint32_t>(size) + 31) / 32) * 4;
        std::vector<uint8_t> dib;
        put32(dib, 40);
        put32(dib, static_cast<uint32_t>(size));
        put32(dib, static_cast<uint32_t>(size) * 2); // the colours and the mask, one on the other
        put16(dib, 1);
        put16(dib, 32);
        put32(dib, 0);
        put32(dib, static_cast<uint32_t>(size) * size * 4 + maskRow * size);
        for (int i = 0; i < 4; ++i) {
            put32(dib, 0);
        }
        for (int y = size - 1; y >= 0; --y) {
            for (int x = 0; x < size; ++x) {
                const uint8_t* p = &picture.pixels[(static_cast<size_t>(y) * size + x) * 4];
                dib.insert(dib.end(), {p[2], p[1], p[0], p[3]});
            }
        }
        for (int y = size - 1; y >= 0; --y) {
            std::vector<uint8_t> row(maskRow, 0);
            for (int x = 0; x < size; ++x) {
                if (picture.pixels[(static_cast<size_t>(y) * size + x) * 4 + 3] == 0) {
                    row[static_cast<size_t>(x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
                }
            }
            dib.insert(dib.end(), row.begin(), row.end());
        }
        images.push_back(dib);
    }
    std::vector<uint8_t> out;
    put16(out, 0);
    put16(out, 1); // an icon, not a cursor
    put16(out, static_cast<uint32_t>(images.size()));
    uint32_t offset = 6 + 16 * static_cast<uint32_t>(images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        out.push_back(static_cast<uint8_t>(sizes[i] & 0xFF)); // 256 is written as 0
        out.push_back(static_cast<uint8_t>(sizes[i] & 0xFF));
        out.push_back(0);
        out.push_back(0);
        put16(out, 1);
        put16(out, 32);
        put32(out, static_cast<uint32_t>(images[i].size()));
        put32(out, offset);
        offset += static_cast<uint32_t>(images[i].size());
    }
    for (const auto& image : images) {
        out.insert(out.end(), image.begin(), image.end());
    }
    return out;
}
