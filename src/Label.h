// One line of bitmap-font text. The font belongs to whoever registered it, not to the label.
#ifndef ZANDOREL_LABEL_H
#define ZANDOREL_LABEL_H

#include "Displayable.h"

#include <string>

class Label final : public Displayable {
public:
    Label(GraphicsSystem* graphics, int fontId, int x, int y);
    Label(GraphicsSystem* graphics, const std::string& text, int fontId, int x, int y);

    std::string getText() const { return text; }
    void setText(const std::string& newText) { text = newText; }
    void setX(int newX) { x = newX; }
    void setY(int newY) { y = newY; }

    void paint() override;

private:
    std::string text;
    int fontId;
    int x;
    int y;
};

#endif
