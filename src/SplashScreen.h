// A full-screen background picture, drawn from the top-left corner and never scaled.
#ifndef ZANDOREL_SPLASHSCREEN_H
#define ZANDOREL_SPLASHSCREEN_H

#include "Displayable.h"

#include <string>

class SplashScreen final : public Displayable {
public:
    SplashScreen(GraphicsSystem* graphics, const std::string& imageName);
    ~SplashScreen();

    void paint() override;

private:
    std::string imageName;
};

#endif
