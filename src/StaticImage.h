// A whole picture at a fixed place on screen, such as the play screen's bonus pictures.
#ifndef ZANDOREL_STATICIMAGE_H
#define ZANDOREL_STATICIMAGE_H

#include "Displayable.h"

#include <string>

class StaticImage final : public Displayable {
public:
    // Loads the picture at once so that the first frame does not wait for the disk.
    StaticImage(GraphicsSystem* graphics, const std::string& imageName, int x, int y);
    // Releases the picture even if another widget still draws it; that widget reloads it.
    ~StaticImage();

    void paint() override;

private:
    std::string imageName;
    int x;
    int y;
};

#endif
