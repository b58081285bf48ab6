#include "TextBox.h"

#include "Event.h"
#include "GraphicsSystem.h"

namespace {

const std::string lineBreak = "/";

} // namespace

TextBox::TextBox(GraphicsSystem* graphics, int fontId, const std::string& text, int x, int y,
                 int width, int height, int downButtonId, int upButtonId)
    : Displayable(graphics), x(x), y(y), width(width), height(height), text(text), fontId(fontId),
      downButtonId(downButtonId), upButtonId(upButtonId) {
    lineize();
}

void TextBox::setText(const std::string& newText) {
    text = newText;
    firstLine = 0;
    lineize();
}

// Only single spaces separate: two in a row make an empty word, which later wraps as one
// blank cell, so authors can indent with extra spaces.
void TextBox::tokenize() {
    words.clear();
    std::string::size_type start = 0;
    while (start < text.size()) {
        const std::string::size_type space = text.find(' ', start);
        if (space == std::string::npos) {
            words.push_back(text.substr(start));
            break;
        }
        words.push_back(text.substr(start, space - start));
        start = space + 1;
    }
}

void TextBox::lineize() {
    tokenize();
    lines.clear();
    // Wide enough that a long text at a large glyph width cannot overflow the product.
    const long long glyphWidth = graphics->getFontWidth(fontId);
    std::string line;
    for (std::size_t i = 0; i < words.size();) {
        const std::string& word = words[i];
        if (word == lineBreak) {
            lines.push_back(line);
            line.clear();
            ++i;
            continue;
        }
        const long long cells = static_cast<long long>(line.size() + word.size() + 1);
        if (cells * glyphWidth <= width) {
            line += word;
            line += ' ';
            ++i;
        } else if (line.empty()) {
            // Not even a fresh line can hold it: retrying would never end, so it gets a line
            // of its own and runs past the right edge.
            lines.push_back(word + ' ');
            ++i;
        } else {
            lines.push_back(line);
            line.clear();
        }
    }
    if (!line.empty()) {
        lines.push_back(line);
    }
}

void TextBox::paint() {
    const int lineHeight = graphics->getFontHeight(fontId);
    if (lineHeight <= 0) {
        return; // no font, no measure for a line
    }
    const long long visible = height / lineHeight;
    const long long count = static_cast<long long>(lines.size());
    for (long long i = firstLine; i < firstLine + visible && i < count; ++i) {
        const long long top = y + (i - firstLine) * lineHeight;
        graphics->drawString(fontId, lines[static_cast<std::size_t>(i)], x, static_cast<int>(top));
    }
}

// Scrolling down stops once the last line is at the top, not when the last page is full, so
// the box may end up showing a single line.
void TextBox::onEvent(Event& event) {
    if (event.type != EVENT_BUTTON_CLICKED || event.data.empty()) {
        return;
    }
    const long button = event.data[0].getLongVal();
    if (button == downButtonId) {
        if (static_cast<std::size_t>(firstLine) + 1 < lines.size()) {
            ++firstLine;
        }
    } else if (button == upButtonId) {
        if (firstLine > 0) {
            --firstLine;
        }
    }
}
