#include "Label.h"

#include "GraphicsSystem.h"

Label::Label(GraphicsSystem* graphics, int fontId, int x, int y)
    : Displayable(graphics), fontId(fontId), x(x), y(y) {}

Label::Label(GraphicsSystem* graphics, const std::string& text, int fontId, int x, int y)
    : Displayable(graphics), text(text), fontId(fontId), x(x), y(y) {}

void Label::paint() {
    graphics->drawString(fontId, text, x, y);
}
