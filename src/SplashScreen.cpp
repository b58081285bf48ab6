#include "SplashScreen.h"

#include "GraphicsSystem.h"

SplashScreen::SplashScreen(GraphicsSystem* graphics, const std::string& imageName)
    : Displayable(graphics), imageName(imageName) {
    graphics->getImage(imageName);
}

SplashScreen::~SplashScreen() {
    graphics->freeImage(imageName, true);
}

void SplashScreen::paint() {
    const Image* image = graphics->getImage(imageName);
    const Rect source{0, 0, image->width, image->height};
    const Rect topLeft{0, 0, 0, 0};
    graphics->drawImage(imageName, source, topLeft);
}
