#include "SplashScreen.h"

SplashScreen::SplashScreen(GraphicsSystem* graphics, const std::string& imageName)
    : Displayable(graphics), imageName(imageName) {}

SplashScreen::~SplashScreen() = default;

void SplashScreen::paint() {}
