// What picmake's parts share: the picture being drawn, one colour per pixel, and the error that
// stops a run with a message.
#ifndef ZANDOREL_TOOLS_CANVAS_H
#define ZANDOREL_TOOLS_CANVAS_H

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

struct Color {
    int r = 255;
    int g = 0;
    int b = 255;
};

struct Canvas {
    int width = 0;
    int height = 0;
    std::vector<Color> pixels;

    void set(int x, int y, const Color& c) {
        if (x >= 0 && y >= 0 && x < width && y < height) {
            pixels[static_cast<std::size_t>(y) * width + x] = c;
        }
    }
    bool get(int x, int y, Color& c) const {
        if (x < 0 || y < 0 || x >= width || y >= height) {
            return false;
        }
        c = pixels[static_cast<std::size_t>(y) * width + x];
        return true;
    }
};

class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

#endif
