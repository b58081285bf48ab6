#include "StaticImage.h"

#include "GraphicsSystem.h"

StaticImage::StaticImage(GraphicsSystem* graphics, const std::string& imageName, int x, int y)
    : Displayable(graphics), imageName(imageName), x(x), y(y) {
    graphics->getImage(imageName);
}

StaticImage::~StaticImage() {
    graphics->freeImage(imageName, true);
}

// Measured every frame rather than once: the picture may have been released and reloaded
// since, by another widget drawing the same file.
void StaticImage::paint() {
    const Image* image = graphics->getImage(imageName);
    const Rect source{0, 0, image->width, image->height};
    const Rect destination{x, y, 0, 0};
    graphics->drawImage(imageName, source, destination);
}
