// A word-wrapped text in a bitmap font, scrolled a line at a time by two buttons' clicks.
#ifndef ZANDOREL_TEXTBOX_H
#define ZANDOREL_TEXTBOX_H

#include "Displayable.h"
#include "IEventListener.h"

#include <string>
#include <vector>

class TextBox final : public Displayable, public IEventListener {
public:
    // The font must already be registered: wrapping measures with it, once, here. A scroll id
    // of -1 means the box has no such button.
    TextBox(GraphicsSystem* graphics, int fontId, const std::string& text, int x, int y, int width,
            int height, int downButtonId, int upButtonId);

    // A new text, wrapped afresh and shown from its first line.
    void setText(const std::string& newText);

    // Cuts the text at every space: two spaces in a row give an empty word.
    void tokenize();
    // Wraps the words greedily so that each line, its trailing space included, fits the width;
    // a lone "/" word forces a line break.
    void lineize();

    void paint() override;
    void onEvent(Event& event) override;

    const std::vector<std::string>& getLines() const { return lines; }

private:
    int x;
    int y;
    int width;
    int height;
    std::string text;
    int fontId;
    int downButtonId;
    int upButtonId;
    int firstLine = 0;
    std::vector<std::string> words;
    std::vector<std::string> lines;
};

#endif
