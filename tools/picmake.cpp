// picmake turns a picture source written as text (graphics/*.pic) into a 24-bit Windows BMP file,
// so that every picture of the game can be reviewed and changed as text. It also writes the
// desktop icons as PNG files, enlarged without smoothing so that the pixel art stays crisp, and
// the Windows executable's icon.
//
// Usage: picmake SOURCE.pic OUTPUT.bmp
//        picmake SOURCE.pic OUTPUT.png [SCALE]
//        picmake SOURCE.pic OUTPUT.ico
//
// A PNG output is RGBA: the transparent magenta becomes fully transparent, every other pixel
// opaque, and each pixel a SCALE x SCALE square (default 1). An ICO output holds the square
// picture at the sizes Windows asks for, 16 to 256 pixels: a size that is a whole multiple of
// the source stays sharp squares, any other is the area average of the pixels it covers.
//
// The picture language is described in PictureLanguage.h, the two file formats in
// PictureEncoders.h.

#include "Canvas.h"
#include "PictureEncoders.h"
#include "PictureLanguage.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

bool endsWith(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() &&
           s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

} // namespace

int main(int argc, char** argv) {
    const bool png = argc >= 3 && endsWith(argv[2], ".png");
    const bool ico = argc >= 3 && endsWith(argv[2], ".ico");
    if (argc != 3 && !(png && argc == 4)) {
        std::cerr << "usage: picmake SOURCE.pic OUTPUT.bmp\n"
                     "       picmake SOURCE.pic OUTPUT.png [SCALE]\n"
                     "       picmake SOURCE.pic OUTPUT.ico\n";
        return 2;
    }
    try {
        int scale = 1;
        if (argc == 4) {
            size_t used = 0;
            try {
                scale = std::stoi(argv[3], &used);
            } catch (const std::exception&) {
                used = 0;
            }
            if (used == 0 || argv[3][used] != '\0' || scale < 1 || scale > 64) {
                throw Error(std::string("scale must be a whole number from 1 to 64: ") + argv[3]);
            }
        }
        Painter painter;
        painter.run(argv[1]);
        if (painter.canvas().width == 0) {
            throw Error(std::string(argv[1]) + ": no 'size' or 'fontstrip'");
        }
        const Canvas& canvas = painter.canvas();
        std::vector<uint8_t> bytes =
            png   ? encodePng(resample(canvas, canvas.width * scale, canvas.height * scale))
            : ico ? encodeIco(canvas)
                  : encodeBmp(canvas);
        std::string tmp = std::string(argv[2]) + ".tmp";
        {
            std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<std::streamsize>(bytes.size()));
            if (!out) {
                throw Error("cannot write " + tmp);
            }
        }
        if (std::rename(tmp.c_str(), argv[2]) != 0) {
            throw Error(std::string("cannot rename to ") + argv[2]);
        }
    } catch (const std::exception& e) {
        std::cerr << "picmake: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
