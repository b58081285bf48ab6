#include "StaticImage.h"

StaticImage::StaticImage(GraphicsSystem* graphics, const std::string& imageName, int x, int y)
    : Displayable(graphics), imageName(imageName), x(x), y(y) {}

StaticImage::~StaticImage() = default;

void StaticImage::paint() {}
