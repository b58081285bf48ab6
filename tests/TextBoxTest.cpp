#include "TextBox.h"

#include "EventManager.h"
#include "GraphicsSystem.h"
#include "TestSupport.h"

namespace {

constexpr int glyphWidth = 8;
constexpr int glyphHeight = 10;
constexpr int fontId = 7;
constexpr int down = 3;
constexpr int up = 4;
constexpr int boxX = layout::textBoxX;
constexpr int boxY = layout::textBoxY;

using Lines = std::vector<std::string>;

class TextBoxTest : public GraphicsTest {
protected:
    void SetUp() override {
        GraphicsTest::SetUp();
        writeCodedFont("font.bmp", glyphWidth, glyphHeight);
        graphics->createFont(fontId, "font.bmp", gameCharset);
    }

    Lines wrap(const std::string& text, int width, int font = fontId) {
        TextBox box(graphics, font, text, boxX, boxY, width, 78, down, up);
        return box.getLines();
    }

    // The first letter of each line slot on screen, '.' where the slot is blank.
    std::string shownInitials(TextBox& box, int slots) {
        graphics->clear();
        box.paint();
        std::string initials;
        for (int slot = 0; slot < slots; ++slot) {
            const std::string shown = readText(boxX, boxY + slot * glyphHeight + 5, glyphWidth, 1);
            initials += shown.empty() ? '.' : shown[0];
        }
        return initials;
    }

    void click(TextBox& box, int buttonId, int times = 1) {
        for (int i = 0; i < times; ++i) {
            Event event(EVENT_BUTTON_CLICKED);
            event.data.emplace_back(static_cast<long>(buttonId));
            box.onEvent(event);
        }
    }
};

struct WrapCase {
    const char* text;
    int width;
    Lines lines;
};

} // namespace

TEST_F(TextBoxTest, WrapsGreedilyCountingEachTrailingSpace) {
    const std::vector<WrapCase> cases = {
        {"WOW! / NEXT", 114, {"WOW! ", "NEXT "}},
        {"/ HELLO", 114, {"", "HELLO "}},
        {"A / / B", 114, {"A ", "", "B "}},
        {"A /", 114, {"A "}},
        {"A/B C", 114, {"A/B C "}},
        {"THE QUICK BROWN FOX", 114, {"THE QUICK ", "BROWN FOX "}},
        {"AB CD", 6 * glyphWidth, {"AB CD "}},
        {"AB CD", 6 * glyphWidth - 1, {"AB ", "CD "}},
        {"ABCDEFGHIJKLM", 114, {"ABCDEFGHIJKLM "}},
        {"A  B", 114, {"A  B "}},
        {" A", 114, {" A "}},
        {"A ", 114, {"A "}},
        {"", 114, {}},
        // Words that fit no line stand alone, past the edge, and wrapping goes on after them.
        {"A ABCDEFGHIJKLMN B", 114, {"A ", "ABCDEFGHIJKLMN ", "B "}},
        {"A B", glyphWidth - 1, {"A ", "B "}},
        {"A  B", 0, {"A ", " ", "B "}},
    };
    for (const WrapCase& c : cases) {
        SCOPED_TRACE(std::string("\"") + c.text + "\" in " + std::to_string(c.width));
        EXPECT_EQ(wrap(c.text, c.width), c.lines);
    }
}

TEST_F(TextBoxTest, UnregisteredFontPutsEverythingOnOneLineAndDrawsNothing) {
    EXPECT_EQ(wrap("THE QUICK BROWN FOX JUMPS", 20, 99), Lines{"THE QUICK BROWN FOX JUMPS "});
    TextBox box(graphics, 99, "A B", boxX, boxY, 114, 78, down, up);
    EXPECT_EQ(shownInitials(box, 2), "..");
}

TEST_F(TextBoxTest, ShowsOnlyTheLinesThatFitAndScrollsToTheLastLine) {
    // One letter per line: twelve lines, of which a 95-pixel box shows nine.
    TextBox box(graphics, fontId, "A B C D E F G H I J K L", boxX, boxY, 2 * glyphWidth,
                9 * glyphHeight + 5, down, up);
    ASSERT_EQ(box.getLines().size(), 12u);
    EXPECT_EQ(shownInitials(box, 10), "ABCDEFGHI.");
    click(box, down);
    EXPECT_EQ(shownInitials(box, 10), "BCDEFGHIJ.");
    click(box, down, 10);
    EXPECT_EQ(shownInitials(box, 10), "L.........");
    click(box, down);
    EXPECT_EQ(shownInitials(box, 10), "L.........");
    click(box, up, 11);
    EXPECT_EQ(shownInitials(box, 10), "ABCDEFGHI.");
    click(box, up);
    EXPECT_EQ(shownInitials(box, 10), "ABCDEFGHI.");
    // A new text, as an end screen's once the score's fate is known: wrapped, from its top.
    click(box, down, 3);
    box.setText("M N O P Q R S T U V W X Y Z");
    EXPECT_EQ(box.getLines().size(), 14u);
    EXPECT_EQ(shownInitials(box, 10), "MNOPQRSTU.");
}

TEST_F(TextBoxTest, ScrollsOnlyForItsOwnButtonIds) {
    TextBox box(graphics, fontId, "A B C", boxX, boxY, 2 * glyphWidth, 78, down, up);
    EventManager::getInstance()->registerListener(&box);
    postEvent(EVENT_BUTTON_CLICKED, {5});
    postEvent(EVENT_TICK, {down});
    postEvent(EVENT_MOUSE_CLICKED, {down, boxX + 1, boxY + 1});
    EventManager::getInstance()->dispatchEvents();
    EXPECT_EQ(shownInitials(box, 3), "ABC");
    postEvent(EVENT_BUTTON_CLICKED, {down});
    EventManager::getInstance()->dispatchEvents();
    EXPECT_EQ(shownInitials(box, 3), "BC.");

    TextBox fixed(graphics, fontId, "A B C", boxX, boxY, 2 * glyphWidth, 78, -1, -1);
    click(fixed, down);
    click(fixed, up);
    EXPECT_EQ(shownInitials(fixed, 3), "ABC");
}

TEST_F(TextBoxTest, EmptyTextOrTooLowABoxDrawsNothing) {
    TextBox empty(graphics, fontId, "", boxX, boxY, 114, 78, down, up);
    click(empty, down);
    click(empty, up);
    EXPECT_EQ(shownInitials(empty, 1), ".");
    TextBox low(graphics, fontId, "A B", boxX, boxY, 114, glyphHeight - 1, down, up);
    EXPECT_EQ(shownInitials(low, 1), ".");
}
