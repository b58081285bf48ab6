#include "Button.h"

Button::Button(GraphicsSystem* graphics, int id, const std::string& imageName, int x, int y)
    : Displayable(graphics), imageName(imageName), id(id), x(x), y(y) {}

Button::~Button() = default;

void Button::paint() {}

void Button::onEvent(Event&) {}

bool Button::inside(long, long) const {
    return false;
}
