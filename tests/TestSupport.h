// Shared fixtures for the headless tests: a fresh working folder per test, tiny pictures
// made on the spot, the debug log read back, and pixels read off the dummy screen.
#ifndef ZANDOREL_TESTSUPPORT_H
#define ZANDOREL_TESTSUPPORT_H

#include "Event.h"
#include "GameState.h"
#include "GameStateHighScores.h"
#include "IEventListener.h"
#include "MessageScreen.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

struct SDL_Surface;
class GraphicsSystem;

struct Colour {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    bool operator==(const Colour& other) const {
        return r == other.r && g == other.g && b == other.b;
    }
    bool operator!=(const Colour& other) const { return !(*this == other); }
    bool operator<(const Colour& other) const {
        return r != other.r ? r < other.r : (g != other.g ? g < other.g : b < other.b);
    }
};
std::ostream& operator<<(std::ostream& out, const Colour& colour);

const Colour magenta{255, 0, 255};
const Colour red{255, 0, 0};
const Colour green{0, 255, 0};
const Colour blue{0, 0, 255};
const Colour white{255, 255, 255};
const Colour black{0, 0, 0};
const std::string gameCharset = GameState::fontCharset;
// One flat colour per tile picture, in strip order.
const std::vector<Colour> tileColours = {red, green, blue, {255, 255, 0}, {0, 255, 255}};

// Where the screens place what the tests look at, in pixels of the 256 x 240 screen.
namespace layout {
constexpr int screenWidth = 256, screenHeight = 240;
// The grid's top-left corner, and the gap after each tile.
constexpr int gridX = 10, gridY = 29, tileGap = 3;
constexpr int textBoxX = messageScreen::textX, textBoxY = messageScreen::textY,
              textBoxWidth = messageScreen::textWidth, textBoxHeight = messageScreen::textHeight;
// The play screen's top row, left to right.
constexpr int topRowY = 5, scoreLabelX = 10, timeLabelX = 123, popupX = 145, levelLabelX = 166;
constexpr int highScoreTitleY = GameStateHighScores::titleY,
              highScoreFirstRowY = GameStateHighScores::firstRowY,
              highScoreRowStep = GameStateHighScores::rowStep;
} // namespace layout

// A pixel of a surface the caller has locked: the raw value in its format, and as RGB.
std::uint32_t rawPixel(const SDL_Surface* surface, int x, int y);
Colour surfacePixel(const SDL_Surface* surface, int x, int y);

// Runs each test in an empty temporary folder holding graphics/ and data/, and tears down
// the event manager and the media library afterwards.
class SandboxTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Opens the media library and a 256 x 240 screen without a Core.
    void openScreen();

    // Writes a 24-bit BMP into graphics/ whose columns are painted with the given colours,
    // each colour covering an equal band (width / colours.size() pixels).
    void writeBands(const std::string& name, int width, int height,
                    const std::vector<Colour>& bands);
    // Writes a picture from rows of characters, each mapped through the legend.
    void writePixels(const std::string& name, const std::vector<std::string>& rows,
                     const std::vector<std::pair<char, Colour>>& legend);
    // Writes a font picture of the game's 40 characters in which every glyph cell is one flat
    // colour of its own, so readText() can tell from the screen which character lies where.
    void writeCodedFont(const std::string& name, int glyphWidth, int glyphHeight);
    // Reads cells characters drawn in a coded font from (x, y); a cell holding no glyph colour
    // reads as a blank, and trailing blanks are dropped.
    static std::string readText(int x, int y, int glyphWidth, int cells);
    void writeFile(const std::string& path, const std::string& content);
    std::string readFile(const std::string& path) const;
    std::vector<std::string> logLines() const;

    // Reads a pixel of the picture the game paints as RGB, in game pixels.
    static Colour pixel(int x, int y);
    // The colour as the screen can hold it (a 16-bit screen drops low bits).
    static Colour asShown(const Colour& colour);

    std::filesystem::path sandbox;
    std::filesystem::path previousFolder;
};

// A sandbox with the media library open and a 256 x 240 graphics system reading pictures from
// the sandbox's graphics/ folder, as the game sets it up.
class GraphicsTest : public SandboxTest {
protected:
    void SetUp() override;
    void TearDown() override;

    GraphicsSystem* graphics = nullptr;
};

// Records every event it hears, in order.
class Recorder final : public IEventListener {
public:
    void onEvent(Event& event) override { events.push_back(event); }
    std::vector<int> types() const;
    std::vector<Event> events;
};

// Posts an event with whole-number payload.
void postEvent(int type, std::initializer_list<long> payload = {});
void postTick(long milliseconds);

#endif
