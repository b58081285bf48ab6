#include "WindowScale.h"

#include <algorithm>

namespace {

// At most three quarters of the screen either way, so that the window's frame and the desktop's
// panels fit around it.
constexpr int startShareNumerator = 3;
constexpr int startShareDenominator = 4;

} // namespace

int startScale(int screenWidth, int screenHeight, int pictureWidth, int pictureHeight) {
    if (pictureWidth <= 0 || pictureHeight <= 0) {
        return 1;
    }
    const int byWidth =
        std::max(screenWidth, 0) * startShareNumerator / (startShareDenominator * pictureWidth);
    const int byHeight =
        std::max(screenHeight, 0) * startShareNumerator / (startShareDenominator * pictureHeight);
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
    // Division truncates a position left of the picture to 0 or below, which the clamp takes
    // to the edge as it does a position past the other side.
    const int pixel = (windowPosition - offset) / std::max(scale, 1);
    return std::clamp(pixel, 0, std::max(pictureSize - 1, 0));
}
