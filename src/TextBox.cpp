#include "TextBox.h"

TextBox::TextBox(GraphicsSystem* graphics, int fontId, const std::string& text, int x, int y,
                 int width, int height, int downButtonId, int upButtonId)
    : Displayable(graphics), x(x), y(y), width(width), height(height), text(text), fontId(fontId),
      downButtonId(downButtonId), upButtonId(upButtonId) {}

void TextBox::tokenize() {}

void TextBox::lineize() {}

void TextBox::paint() {}

void TextBox::onEvent(Event&) {}
