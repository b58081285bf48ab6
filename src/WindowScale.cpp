#include "WindowScale.h"

#include <algorithm>

namespace {

// Floor division: a position left of the picture must land on its edge, not round to 0 by
// truncation from the wrong side.
int floorDiv(int a, int b) {
    const int q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

} // namespace

int startScale(int screenWidth, int screenHeight, int pictureWidth, int pictureHeight) {
    if (pictureWidth <= 0 || pictureHeight <= 0) {
        return 1;
    }
    // Three quarters of the screen, so that the window's frame and the desktop's panels fit
    // around it.
    const int byWidth = std::max(screenWidth, 0) * 3 / (4 * pictureWidth);
    const int byHeight = std::max(screenHeight, 0) * 3 / (4 * pictureHeight);
    return std::max(1, std::min(byWidth, byHeight));
}

Placement placeInWindow(int windowWidth, int windowHeight, int pictureWidth, int pictureHeight) {
    Placement placement;
    if (pictureWidth <= 0 || pictureHeight <= 0) {
        return placement;
    }
    placement.scale =
        std::max(1, std::min(windowWidth / pictureWidth, windowHeight / pictureHeight));
    placement.x = std::max(0, (windowWidth - pictureWidth * placement.scale) / 2);
    placement.y = std::max(0, (windowHeight - pictureHeight * placement.scale) / 2);
    return placement;
}

int toPicture(int windowPosition, int offset, int scale, int pictureSize) {
    const int pixel = floorDiv(windowPosition - offset, std::max(scale, 1));
    return std::clamp(pixel, 0, std::max(pictureSize - 1, 0));
}
