// Checks the data set the build ships beside the game (graphics/ and data/ in the build folder):
// every picture loads and has the layout its screen needs, and every level parses, fits the
// screen, teaches in the fonts' characters and can be solved in its time.

#include "Bmp24.h"
#include "GameStateLevelTransition.h"
#include "GraphicsSystem.h"
#include "HighScoreTable.h"
#include "MessageScreen.h"
#include "ShippedPictures.h"
#include "TestSupport.h"
#include "TextBox.h"
#include "TileMatrix.h"

#include "SDL.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string buildDir = ZANDOREL_BUILD_DIR;
const std::string graphicsDir = buildDir + "/graphics/";
const std::string dataDir = buildDir + "/data/";
using namespace layout;

std::string readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every picture name in quotes in the game's sources, with the first file that names it.
std::map<std::string, std::string> picturesNamedInTheSources() {
    static const std::regex quoted("\"([A-Za-z0-9_.-]+\\.bmp)\"");
    std::map<std::string, std::string> named;
    for (const auto& entry : std::filesystem::directory_iterator(ZANDOREL_GAME_SOURCES)) {
        const std::string file = entry.path().filename().string();
        const std::string text = readWholeFile(entry.path().string());
        for (std::sregex_iterator it(text.begin(), text.end(), quoted), end; it != end; ++it) {
            named.emplace((*it)[1].str(), "src/" + file);
        }
    }
    return named;
}

bool isMagenta(const Colour& c) {
    return c == magenta;
}
int luminance(const Colour& c) {
    return (299 * c.r + 587 * c.g + 114 * c.b) / 1000;
}

// A picture read into plain RGB values, so tests do not depend on the surface's format.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<Colour> pixels;
    const Colour& at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

Picture toPicture(SDL_Surface* surface) {
    Picture picture;
    picture.width = surface->w;
    picture.height = surface->h;
    SDL_LockSurface(surface);
    for (int y = 0; y < surface->h; ++y) {
        for (int x = 0; x < surface->w; ++x) {
            picture.pixels.push_back(surfacePixel(surface, x, y));
        }
    }
    SDL_UnlockSurface(surface);
    return picture;
}

// Loads a shipped picture the way the game reads it (SDL_LoadBMP); an empty picture on failure.
Picture loadPicture(const std::string& name) {
    SDL_Surface* surface = SDL_LoadBMP((graphicsDir + name).c_str());
    if (surface == nullptr) {
        return Picture{};
    }
    Picture picture = toPicture(surface);
    SDL_FreeSurface(surface);
    return picture;
}

int framesDiffering(const Picture& p, int frameWidth, int a, int b) {
    int differing = 0;
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < frameWidth; ++x) {
            if (p.at(a * frameWidth + x, y) != p.at(b * frameWidth + x, y)) {
                ++differing;
            }
        }
    }
    return differing;
}

// --- levels --------------------------------------------------------------------------------

struct Level {
    int number = 0;
    int rows = 0;
    int cols = 0;
    int kinds = 0;
    std::vector<int> start;
    std::vector<int> goal;
    int seconds = 0;
    std::string tutorial;
    std::string problem; // empty when the files parsed completely

    int clicksNeeded() const {
        int clicks = 0;
        for (size_t i = 0; i < start.size(); ++i) {
            clicks += ((goal[i] - start[i]) % kinds + kinds) % kinds;
        }
        return clicks;
    }
    // Whole seconds a player clicking twice a second spends on the clicks alone.
    int secondsOfClicking() const { return (clicksNeeded() + 1) / 2; }
};

// Reads every whitespace-separated token as a whole decimal integer; false if one is not.
bool readIntegers(const std::string& text, std::vector<long>& values) {
    std::istringstream in(text);
    std::string token;
    static const std::regex integer("[+-]?[0-9]{1,9}");
    while (in >> token) {
        if (!std::regex_match(token, integer)) {
            return false;
        }
        values.push_back(std::stol(token));
    }
    return true;
}

Level loadLevel(int number) {
    Level level;
    level.number = number;
    std::string base = dataDir + "level" + std::to_string(number);
    std::vector<long> values;
    if (!readIntegers(readWholeFile(base + ".txt"), values)) {
        level.problem = "grid file holds something that is not a whole number";
        return level;
    }
    if (values.size() < 3) {
        level.problem = "grid file lacks its three dimensions";
        return level;
    }
    level.rows = static_cast<int>(values[0]);
    level.cols = static_cast<int>(values[1]);
    level.kinds = static_cast<int>(values[2]);
    if (level.rows < 1 || level.cols < 1 || level.rows > 100 || level.cols > 100) {
        level.problem = "grid dimensions out of range";
        return level;
    }
    if (level.kinds < 2 || level.kinds > TileMatrix::picturesInStrip) {
        level.problem = "number of tile kinds is not between 2 and the strip's pictures";
        return level;
    }
    size_t cells = static_cast<size_t>(level.rows) * level.cols;
    if (values.size() != 3 + 2 * cells) {
        level.problem = "grid file holds " + std::to_string(values.size()) +
                        " numbers instead of " + std::to_string(3 + 2 * cells);
        return level;
    }
    for (size_t i = 0; i < 2 * cells; ++i) {
        long v = values[3 + i];
        if (v < 0 || v >= level.kinds) {
            level.problem = "tile value " + std::to_string(v) + " out of range";
            return level;
        }
        (i < cells ? level.start : level.goal).push_back(static_cast<int>(v));
    }
    std::vector<long> time;
    if (!readIntegers(readWholeFile(base + ".tim"), time) || time.size() != 1) {
        level.problem = "time file does not hold exactly one whole number";
        return level;
    }
    level.seconds = static_cast<int>(time[0]);
    std::ifstream tut(base + ".tut");
    if (!tut || !std::getline(tut, level.tutorial)) {
        level.problem = "tutorial file missing or empty";
        return level;
    }
    if (!level.tutorial.empty() && level.tutorial.back() == '\r') {
        level.tutorial.pop_back();
    }
    return level;
}

// Levels 1, 2, 3, ... as the game finds them: up to the first missing grid file.
std::vector<Level> shippedLevels() {
    std::vector<Level> levels;
    for (int n = 1; std::filesystem::exists(dataDir + "level" + std::to_string(n) + ".txt"); ++n) {
        levels.push_back(loadLevel(n));
    }
    return levels;
}

// The first lines of the browser's own tutorial files, by file name.
std::map<std::string, std::string> webTutorials() {
    std::map<std::string, std::string> lines;
    for (const auto& entry : std::filesystem::directory_iterator(ZANDOREL_WEB_TUTORIALS)) {
        std::ifstream in(entry.path());
        std::string line;
        std::getline(in, line);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines[entry.path().filename().string()] = line;
    }
    return lines;
}

class DataSetTest : public SandboxTest {
protected:
    void SetUp() override {
        SandboxTest::SetUp();
        openScreen();
    }

    static int glyphWidth(const std::string& font) { return loadPicture(font).width / 40; }
    static int glyphHeight(const std::string& font) { return loadPicture(font).height; }
    static int tileWidth() { return loadPicture("tiles.bmp").width / TileMatrix::picturesInStrip; }
    static int tileHeight() { return loadPicture("tiles.bmp").height; }
};

// --- pictures ------------------------------------------------------------------------------

// A picture reaches players only through cmake/DataSet.cmake: one the code loads but the list
// leaves out still shows in a build folder where it was once drawn, and is missing from every
// package. A name in quotes in the game's sources counts as loaded.
TEST_F(DataSetTest, EveryPictureTheGameLoadsIsShippedAndEveryShippedOneIsLoaded) {
    const std::map<std::string, std::string> named = picturesNamedInTheSources();
    ASSERT_FALSE(named.empty()) << "no picture named in " << ZANDOREL_GAME_SOURCES;
    const std::set<std::string> shipped(shippedPictures.begin(), shippedPictures.end());
    for (const auto& [picture, file] : named) {
        EXPECT_TRUE(shipped.count(picture))
            << file << " loads " << picture
            << ", which cmake/DataSet.cmake does not ship: add it to ZANDOREL_PICTURES";
    }
    for (const std::string& picture : shippedPictures) {
        EXPECT_EQ(named.count(picture), 1u)
            << "cmake/DataSet.cmake ships " << picture << ", which nothing in src/ loads";
    }
}

TEST_F(DataSetTest, EveryPictureIsA24BitBmpWithTheCommonHeader) {
    for (const std::string& name : shippedPictures) {
        std::string bytes = readWholeFile(graphicsDir + name);
        ASSERT_GE(bytes.size(), 54u) << name << " is missing or too short";
        auto u16 = [&](size_t at) {
            return static_cast<unsigned>(static_cast<unsigned char>(bytes[at])) |
                   static_cast<unsigned>(static_cast<unsigned char>(bytes[at + 1])) << 8;
        };
        auto u32 = [&](size_t at) { return u16(at) | u16(at + 2) << 16; };
        EXPECT_EQ(bytes.substr(0, 2), "BM") << name;
        EXPECT_EQ(u32(14), 40u) << name << ": not the 40-byte BITMAPINFOHEADER";
        EXPECT_EQ(u16(28), 24u) << name << ": not 24 bits per pixel";
        EXPECT_EQ(u32(30), 0u) << name << ": compressed";
        Picture picture = loadPicture(name);
        EXPECT_GT(picture.width, 0) << name << " does not load: " << SDL_GetError();
        EXPECT_GT(picture.height, 0) << name;
        // The browser's quick way for such pictures gives the pixels SDL reads.
        int width = 0;
        int height = 0;
        std::unique_ptr<unsigned char, decltype(&std::free)> quick(
            decodeBmp24(reinterpret_cast<const unsigned char*>(bytes.data()),
                        static_cast<int>(bytes.size()), &width, &height),
            &std::free);
        ASSERT_NE(quick, nullptr) << name << " does not take the browser's quick way";
        ASSERT_EQ(width, picture.width) << name;
        ASSERT_EQ(height, picture.height) << name;
        for (size_t i = 0; i < picture.pixels.size(); ++i) {
            const unsigned char* rgba = quick.get() + 4 * i;
            ASSERT_EQ((Colour{rgba[0], rgba[1], rgba[2]}), picture.pixels[i])
                << name << " pixel " << i;
            ASSERT_EQ(rgba[3], 255) << name;
        }
    }
}

// Rows stored top-down (a negative height) come out in the same order; a file one byte short
// of its last row is left to the general decoder, which reads nothing past the end.
TEST_F(DataSetTest, TheBrowsersQuickWayReadsTopDownRowsAndNothingPastTheEnd) {
    const unsigned char topDown[] = {
        'B', 'M',  0,    0,    0,    0, 0, 0,  0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 1, 0, 0,
        0,   0xfe, 0xff, 0xff, 0xff, 1, 0, 24, 0, 0, 0,  0, 0, 0, 0,  0, 0, 0, 0, 0, 0,
        0,   0,    0,    0,    0,    0, 0, 0,  0, 0, 0,  0, 3, 2, 1,  0, 6, 5, 4, 0};
    int width = 0;
    int height = 0;
    unsigned char* pixels = decodeBmp24(topDown, sizeof topDown, &width, &height);
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(width, 1);
    EXPECT_EQ(height, 2);
    EXPECT_EQ(std::vector<unsigned char>(pixels, pixels + 8),
              (std::vector<unsigned char>{1, 2, 3, 255, 4, 5, 6, 255}));
    std::free(pixels);
    EXPECT_EQ(decodeBmp24(topDown, sizeof topDown - 2, &width, &height), nullptr);
}

// The game keys out magenta after converting a picture to the screen's format. On a 16-bit
// screen colours close to magenta collapse onto it, so a near-magenta pixel would vanish; on a
// 32-bit screen some bitmap flavours lose the key. Transparent must mean magenta, exactly.
TEST_F(DataSetTest, OnlyMagentaPixelsTurnTransparentOn16And32BitScreens) {
    for (int depth : {16, 32}) {
        ASSERT_NE(SDL_SetVideoMode(screenWidth, screenHeight, depth, SDL_ANYFORMAT), nullptr)
            << SDL_GetError();
        for (const std::string& name : shippedPictures) {
            SDL_Surface* loaded = SDL_LoadBMP((graphicsDir + name).c_str());
            ASSERT_NE(loaded, nullptr) << name;
            Picture original = toPicture(loaded);
            SDL_SetColorKey(loaded, SDL_SRCCOLORKEY, SDL_MapRGB(loaded->format, 255, 0, 255));
            SDL_Surface* shown = SDL_DisplayFormat(loaded);
            SDL_FreeSurface(loaded);
            ASSERT_NE(shown, nullptr) << name;
            ASSERT_TRUE(shown->flags & SDL_SRCCOLORKEY) << name << " lost its colour key";
            Uint32 key = shown->format->colorkey;
            SDL_LockSurface(shown);
            int wrong = 0;
            for (int y = 0; y < shown->h; ++y) {
                for (int x = 0; x < shown->w; ++x) {
                    const Uint32 opaque = ~shown->format->Amask;
                    const bool keyed = (rawPixel(shown, x, y) & opaque) == (key & opaque);
                    if (keyed != isMagenta(original.at(x, y))) {
                        ++wrong;
                    }
                }
            }
            SDL_UnlockSurface(shown);
            SDL_FreeSurface(shown);
            EXPECT_EQ(wrong, 0) << name << " on a " << depth
                                << "-bit screen: pixels whose transparency differs from the "
                                   "picture's magenta";
        }
    }
}

TEST_F(DataSetTest, BackgroundsFillTheScreenWithoutTransparentHoles) {
    for (const std::string name : {"title.bmp", "mermaid.bmp"}) {
        Picture p = loadPicture(name);
        EXPECT_EQ(p.width, screenWidth) << name;
        EXPECT_EQ(p.height, screenHeight) << name;
        EXPECT_EQ(std::count_if(p.pixels.begin(), p.pixels.end(),
                                [](const Colour& c) { return isMagenta(c); }),
                  0)
            << name << " has transparent pixels, which would show black";
    }
}

TEST_F(DataSetTest, TitleLeavesTheButtonColumnClear) {
    Picture title = loadPicture("title.bmp");
    ASSERT_EQ(title.width, screenWidth);
    int frameWidth = 0;
    for (const std::string name : {"buttonnormal.bmp", "buttonhs.bmp", "buttonexit.bmp"}) {
        frameWidth = std::max(frameWidth, loadPicture(name).width / 3);
    }
    // Behind the buttons only the plain water: no picture detail, just a few flat colours.
    std::set<Colour> colours;
    for (int y = 130; y <= 160; ++y) {
        for (int x = 80; x < 80 + frameWidth; ++x) {
            colours.insert(title.at(x, y));
        }
    }
    EXPECT_LE(colours.size(), 4u) << "the title picture draws something behind the buttons";
}

TEST_F(DataSetTest, TitleButtonsAreThreeFramesThatFitTheirColumn) {
    for (const std::string name : {"buttonnormal.bmp", "buttonhs.bmp", "buttonexit.bmp"}) {
        Picture p = loadPicture(name);
        ASSERT_GT(p.width, 0) << name;
        EXPECT_EQ(p.width % 3, 0) << name << " does not split into three frames";
        int frame = p.width / 3;
        EXPECT_LE(p.height, 10) << name << ": the title buttons stand 10 pixels apart";
        EXPECT_GE(p.height, 8) << name << ": too low for a label";
        EXPECT_LE(80 + frame, screenWidth) << name;
    }
}

TEST_F(DataSetTest, ScreenButtonsFitTheirSpots) {
    Picture up = loadPicture("buttonup.bmp");
    Picture down = loadPicture("buttondown.bmp");
    Picture cont = loadPicture("buttoncontinue.bmp");
    for (const Picture* p : {&up, &down, &cont}) {
        ASSERT_GT(p->width, 0);
        EXPECT_EQ(p->width % 3, 0);
    }
    // The scroll buttons and the continue button as the screens place them: up ends above the
    // text, and continue lies below down, clear of it, on the screen.
    const int scrollX = GameStateLevelTransition::scrollButtonX;
    const int upY = GameStateLevelTransition::upButtonY;
    const int downY = GameStateLevelTransition::downButtonY;
    using messageScreen::continueX;
    using messageScreen::continueY;
    EXPECT_LE(upY + up.height, textBoxY);
    EXPECT_LE(scrollX + up.width / 3, screenWidth);
    EXPECT_LE(downY + down.height, continueY)
        << "the down button would overlap the continue button";
    EXPECT_LE(scrollX + down.width / 3, screenWidth);
    EXPECT_LE(continueX + cont.width / 3, screenWidth);
    EXPECT_LE(continueY + cont.height, screenHeight);
}

TEST_F(DataSetTest, ButtonFramesLookClearlyDifferent) {
    for (const std::string name : {"buttonnormal.bmp", "buttonhs.bmp", "buttonexit.bmp",
                                   "buttonup.bmp", "buttondown.bmp", "buttoncontinue.bmp"}) {
        Picture p = loadPicture(name);
        ASSERT_GT(p.width, 0) << name;
        int frame = p.width / 3;
        int area = frame * p.height;
        for (auto [a, b] : {std::pair{0, 1}, std::pair{1, 2}, std::pair{0, 2}}) {
            EXPECT_GE(framesDiffering(p, frame, a, b) * 2, area)
                << name << ": frames " << a << " and " << b << " differ in too few pixels";
        }
    }
}

TEST_F(DataSetTest, FontsHoldFortyEqualCellsThatSuitTheLayouts) {
    for (const std::string name : {"fontwhite.bmp", "fontblack.bmp"}) {
        Picture p = loadPicture(name);
        ASSERT_GT(p.width, 0) << name;
        EXPECT_EQ(p.width % 40, 0) << name << " is not 40 equal cells";
        int g = p.width / 40;
        int h = p.height;
        EXPECT_GE(g, 6) << name;
        EXPECT_GE(h, 7) << name;
        // The play screen's top row: "SCORE 123456" ends before the two-digit time, which
        // ends before the pop-up; "LEVEL 12" stays on screen; the row ends above the grid.
        EXPECT_LE(scoreLabelX + 12 * g, timeLabelX) << name;
        EXPECT_LE(timeLabelX + 2 * g, popupX) << name;
        EXPECT_LE(levelLabelX + 8 * g, screenWidth) << name;
        EXPECT_LE(topRowY + h, gridY) << name;
        // High-score rows stand 11 pixels apart, below the title at y = 11.
        EXPECT_LE(h, highScoreRowStep) << name;
        EXPECT_LE(highScoreTitleY + h, highScoreFirstRowY) << name;
        // A row for each entry of the table, the last ending above the continue button.
        EXPECT_LE(highScoreFirstRowY + (HighScoreTable::size - 1) * highScoreRowStep + h,
                  messageScreen::continueY)
            << name << ": " << HighScoreTable::size << " rows (HighScoreTable::size) from "
            << "GameStateHighScores::firstRowY run under the continue button";
        // The text box holds words of ten letters and several lines.
        EXPECT_GE(textBoxWidth / g, 11) << name;
        EXPECT_GE(textBoxHeight / h, 6) << name;
    }
    EXPECT_EQ(loadPicture("fontwhite.bmp").width, loadPicture("fontblack.bmp").width);
    EXPECT_EQ(loadPicture("fontwhite.bmp").height, loadPicture("fontblack.bmp").height);
}

TEST_F(DataSetTest, EveryGlyphHasInkAndNoTwoGlyphsLookAlike) {
    for (const std::string name : {"fontwhite.bmp", "fontblack.bmp"}) {
        Picture p = loadPicture(name);
        ASSERT_EQ(p.width % 40, 0) << name;
        int g = p.width / 40;
        std::map<std::vector<Colour>, char> seen;
        for (int cell = 0; cell < 40; ++cell) {
            std::vector<Colour> ink;
            int inked = 0;
            for (int y = 0; y < p.height; ++y) {
                for (int x = 0; x < g; ++x) {
                    const Colour& c = p.at(cell * g + x, y);
                    ink.push_back(c);
                    inked += !isMagenta(c);
                }
            }
            EXPECT_GT(inked, 0) << name << ": no glyph for '" << gameCharset[cell] << "'";
            auto [it, added] = seen.emplace(ink, gameCharset[cell]);
            EXPECT_TRUE(added) << name << ": '" << gameCharset[cell] << "' looks like '"
                               << it->second << "'";
        }
    }
}

TEST_F(DataSetTest, WhiteFontHasADarkEdgeAndBlackFontIsDark) {
    Picture white = loadPicture("fontwhite.bmp");
    int light = 0;
    int dark = 0;
    for (const Colour& c : white.pixels) {
        if (isMagenta(c)) {
            continue;
        }
        light += c.r >= 200 && c.g >= 200 && c.b >= 200;
        dark += luminance(c) <= 80;
    }
    EXPECT_GT(light, 0);
    EXPECT_GT(dark, light) << "the white font needs a dark edge around its glyphs";

    Picture black = loadPicture("fontblack.bmp");
    for (const Colour& c : black.pixels) {
        if (!isMagenta(c)) {
            ASSERT_LE(luminance(c), 60) << "the black font has a light pixel";
        }
    }
}

TEST_F(DataSetTest, MermaidKeepsACalmLightAreaForTheBlackText) {
    Picture p = loadPicture("mermaid.bmp");
    ASSERT_EQ(p.width, screenWidth);
    ASSERT_EQ(p.height, screenHeight);
    // The text box and the high-score title and rows share one calm area.
    int top = highScoreTitleY;
    int bottom = std::max(textBoxY + textBoxHeight,
                          highScoreFirstRowY + HighScoreTable::size * highScoreRowStep);
    std::set<Colour> colours;
    for (int y = top; y < bottom; ++y) {
        for (int x = textBoxX; x < textBoxX + textBoxWidth; ++x) {
            const Colour& c = p.at(x, y);
            ASSERT_GE(luminance(c), 170)
                << "dark background pixel at (" << x << ", " << y << ") under the text";
            colours.insert(c);
        }
    }
    EXPECT_LE(colours.size(), 3u) << "the area under the text is busy";
}

TEST_F(DataSetTest, TileStripHoldsATileOfEachKindAndTheyDifferInShape) {
    const int kinds = TileMatrix::picturesInStrip;
    Picture p = loadPicture("tiles.bmp");
    ASSERT_GT(p.width, 0);
    EXPECT_EQ(p.width % kinds, 0) << "tiles.bmp is not " << kinds << " equal pictures";
    int tw = p.width / kinds;
    int th = p.height;
    // Colours used by every tile are the common plate and outline; what remains is the shape.
    std::vector<std::set<Colour>> used(kinds);
    for (int k = 0; k < kinds; ++k) {
        for (int y = 0; y < th; ++y) {
            for (int x = 0; x < tw; ++x) {
                used[k].insert(p.at(k * tw + x, y));
            }
        }
    }
    std::vector<std::vector<bool>> shape(kinds);
    for (int k = 0; k < kinds; ++k) {
        for (int y = 0; y < th; ++y) {
            for (int x = 0; x < tw; ++x) {
                const Colour& c = p.at(k * tw + x, y);
                bool common = std::all_of(used.begin(), used.end(),
                                          [&](const std::set<Colour>& s) { return s.count(c); });
                shape[k].push_back(!common);
            }
        }
    }
    for (int a = 0; a < kinds; ++a) {
        int size = static_cast<int>(std::count(shape[a].begin(), shape[a].end(), true));
        EXPECT_GE(size * 8, tw * th) << "tile " << a << " has a small shape";
        for (int b = a + 1; b < kinds; ++b) {
            int differ = 0;
            int either = 0;
            for (size_t i = 0; i < shape[a].size(); ++i) {
                differ += shape[a][i] != shape[b][i];
                either += shape[a][i] || shape[b][i];
            }
            EXPECT_GE(differ * 5, either)
                << "tiles " << a << " and " << b << " have nearly the same shape";
        }
    }
}

TEST_F(DataSetTest, PopupsFitTheirSpotOnTheTopRow) {
    for (const std::string name :
         {"clocksmall.bmp", "clockbig.bmp", "bombsmall.bmp", "bombbig.bmp"}) {
        Picture p = loadPicture(name);
        ASSERT_GT(p.width, 0) << name;
        EXPECT_LT(popupX + p.width, levelLabelX) << name << " runs into the level label";
        EXPECT_LE(topRowY + p.height, gridY) << name << " covers the grid";
        EXPECT_GT(std::count_if(p.pixels.begin(), p.pixels.end(),
                                [](const Colour& c) { return !isMagenta(c); }),
                  p.width * p.height / 3)
            << name << " is mostly empty";
    }
    auto area = [](const std::string& name) {
        Picture p = loadPicture(name);
        return p.width * p.height;
    };
    EXPECT_GT(area("clockbig.bmp"), area("clocksmall.bmp"));
    EXPECT_GT(area("bombbig.bmp"), area("bombsmall.bmp"));
}

// --- levels --------------------------------------------------------------------------------

TEST_F(DataSetTest, TheCountedLevelsAreShippedNumberedWithoutGaps) {
    std::vector<Level> levels = shippedLevels();
    EXPECT_EQ(levels.size(), static_cast<size_t>(ZANDOREL_LEVEL_COUNT));
    static const std::regex levelFile("level([0-9]+)\\.(txt|tim|tut)");
    for (const auto& entry : std::filesystem::directory_iterator(dataDir)) {
        std::smatch m;
        std::string name = entry.path().filename().string();
        if (std::regex_match(name, m, levelFile)) {
            int n = std::stoi(m[1]);
            EXPECT_GE(n, 1) << name;
            EXPECT_LE(n, static_cast<int>(levels.size()))
                << name << " lies beyond a missing level and is never played";
            EXPECT_EQ(m[1].str(), std::to_string(n)) << name << ": the game writes no zeros";
        }
    }
    for (const Level& level : levels) {
        std::string base = dataDir + "level" + std::to_string(level.number);
        EXPECT_TRUE(std::filesystem::exists(base + ".tim")) << base;
        EXPECT_TRUE(std::filesystem::exists(base + ".tut")) << base;
    }
    // The build ships what the count names and nothing else, so a level added to data/ without
    // raising the count would quietly stay out of every package.
    for (const auto& entry : std::filesystem::directory_iterator(ZANDOREL_LEVEL_SOURCES)) {
        std::smatch m;
        std::string name = entry.path().filename().string();
        if (std::regex_match(name, m, levelFile)) {
            EXPECT_LE(std::stoi(m[1]), ZANDOREL_LEVEL_COUNT)
                << "data/" << name << " is not shipped: ZANDOREL_LEVEL_COUNT in "
                << "cmake/DataSet.cmake is " << ZANDOREL_LEVEL_COUNT
                << "; raise it as data/README.md says";
        }
    }
}

TEST_F(DataSetTest, EveryLevelParsesCompletelyWithValuesInRange) {
    for (const Level& level : shippedLevels()) {
        EXPECT_EQ(level.problem, "") << "level " << level.number;
        if (level.problem.empty()) {
            EXPECT_NE(level.start, level.goal) << "level " << level.number << " starts solved";
            EXPECT_GT(level.seconds, 0) << "level " << level.number;
        }
    }
}

TEST_F(DataSetTest, EveryGridFitsTheScreenWithTheShippedTiles) {
    int tw = tileWidth();
    int th = tileHeight();
    ASSERT_GT(tw, 0);
    for (const Level& level : shippedLevels()) {
        ASSERT_EQ(level.problem, "") << "level " << level.number;
        // The clickable area, trailing gap included, stays on screen.
        EXPECT_LE(gridX + level.cols * (tw + tileGap), screenWidth) << "level " << level.number;
        EXPECT_LE(gridY + level.rows * (th + tileGap), screenHeight) << "level " << level.number;
    }
}

TEST_F(DataSetTest, LevelsGrowFromTwoKindsToTheLargestGridWithFive) {
    std::vector<Level> levels = shippedLevels();
    ASSERT_FALSE(levels.empty());
    for (const Level& level : levels) {
        ASSERT_EQ(level.problem, "") << "level " << level.number;
    }
    EXPECT_EQ(levels.front().kinds, 2);
    EXPECT_EQ(levels.back().kinds, TileMatrix::picturesInStrip);
    int maxCols = (screenWidth - gridX) / (tileWidth() + tileGap);
    int maxRows = (screenHeight - gridY) / (tileHeight() + tileGap);
    EXPECT_EQ(levels.back().cols, maxCols) << "the last level is not the widest grid that fits";
    EXPECT_EQ(levels.back().rows, maxRows) << "the last level is not the tallest grid that fits";
    for (size_t i = 1; i < levels.size(); ++i) {
        EXPECT_GE(levels[i].kinds, levels[i - 1].kinds) << "level " << levels[i].number;
        EXPECT_GE(levels[i].rows * levels[i].cols, levels[i - 1].rows * levels[i - 1].cols)
            << "level " << levels[i].number;
    }
}

// A player clicking twice a second, who also needs time to look at the goal, finishes with
// time to spare; the limits stay tight all the same, and below 100 so that the countdown
// keeps to two digits and clear of the pop-up spot.
TEST_F(DataSetTest, EveryLevelIsSolvableInItsTimeWithMarginToSpare) {
    for (const Level& level : shippedLevels()) {
        ASSERT_EQ(level.problem, "") << "level " << level.number;
        int clicking = level.secondsOfClicking();
        int margin = level.seconds - clicking;
        EXPECT_GE(margin, std::max(5, clicking / 2))
            << "level " << level.number << ": " << level.clicksNeeded() << " clicks in "
            << level.seconds << " seconds";
        EXPECT_LE(level.seconds, 2 * clicking + 20)
            << "level " << level.number << ": time limit is loose";
        EXPECT_LE(level.seconds, 99) << "level " << level.number;
    }
}

// The modelled player of tools/difficulty.py (data/README.md gives its numbers and their
// sources): one line a level, as the tool writes it for tests.
struct Measured {
    int level = 0;
    int act = 0;
    int clicks = 0;
    double seconds = 0;
    int limit = 0;
    double share = 0;
    int needed = 0; // the limit that an unlucky game with the pop-ups needs
};

std::vector<Measured> modelledPlayer(std::string& output) {
    std::string command = std::string(ZANDOREL_PYTHON) + " " + ZANDOREL_DIFFICULTY_TOOL +
                          " --csv --data " + dataDir + " 2>&1";
    std::vector<Measured> rows;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return rows;
    }
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe) != nullptr) {
        output += buffer;
        Measured m;
        int cells = 0;
        int stretches = 0;
        int peeks = 0;
        double unlucky = 0;
        if (std::sscanf(buffer, "%d,%d,%d,%d,%d,%d,%lf,%d,%lf,%lf,%d", &m.level, &m.act, &cells,
                        &m.clicks, &stretches, &peeks, &m.seconds, &m.limit, &m.share, &unlucky,
                        &m.needed) == 11) {
            rows.push_back(m);
        }
    }
    output += "exit status " + std::to_string(pclose(pipe));
    return rows;
}

// Harder as an act goes on, by what a player must do and remember in the time given: no level
// asks more than its limit of the modelled player, even in a game of unlucky pop-ups, with a
// twentieth of the limit to spare; a breather eases off by a little only, and
// each act's second half and its last level ask more than its start.
TEST_F(DataSetTest, TheModelledPlayerSolvesEveryLevelAndTheShareRisesOverEachAct) {
    const double smallDrop = 0.12;
    std::vector<Level> levels = shippedLevels();
    std::string output;
    std::vector<Measured> measured = modelledPlayer(output);
    ASSERT_EQ(measured.size(), levels.size()) << output;
    std::map<int, std::vector<Measured>> acts;
    for (size_t i = 0; i < levels.size(); ++i) {
        const Measured& m = measured[i];
        ASSERT_EQ(m.level, levels[i].number) << output;
        EXPECT_EQ(m.clicks, levels[i].clicksNeeded()) << "level " << m.level << " misread";
        EXPECT_EQ(m.limit, levels[i].seconds) << "level " << m.level << " misread";
        EXPECT_LE(m.seconds, m.limit) << "level " << m.level << " needs more than its limit";
        EXPECT_GE(m.limit, m.needed) << "level " << m.level << " leaves no room for the bombs";
        acts[m.act].push_back(m);
    }
    for (const auto& [act, shares] : acts) {
        ASSERT_GE(shares.size(), 4u) << "act " << act << " is too short to grow";
        double firstHalf = 0;
        double secondHalf = 0;
        for (size_t i = 0; i < shares.size(); ++i) {
            (2 * i < shares.size() ? firstHalf : secondHalf) += shares[i].share;
            if (i > 0) {
                EXPECT_GE(shares[i].share, shares[i - 1].share - smallDrop)
                    << "level " << shares[i].level << " is much easier than the one before";
            }
        }
        EXPECT_GT(secondHalf / (shares.size() - shares.size() / 2), firstHalf / (shares.size() / 2))
            << "act " << act << " does not grow harder";
        EXPECT_GT(shares.back().share, shares.front().share) << "act " << act;
    }
}

TEST_F(DataSetTest, TutorialsUseTheCharsetAndFitTheTextBox) {
    int g = glyphWidth("fontblack.bmp");
    int h = glyphHeight("fontblack.bmp");
    ASSERT_GT(g, 0);
    GraphicsSystem graphics(screenWidth, screenHeight, 16, false);
    graphics.setImageDirectory(graphicsDir);
    const int fontId = 7;
    graphics.createFont(fontId, "fontblack.bmp", gameCharset);
    ASSERT_EQ(graphics.getFontWidth(fontId), g);
    // The shipped lines, and the browser's own that replace some of them on the web site.
    std::map<std::string, std::string> tutorials;
    for (const Level& level : shippedLevels()) {
        ASSERT_EQ(level.problem, "") << "level " << level.number;
        tutorials["level " + std::to_string(level.number)] = level.tutorial;
    }
    for (const auto& [name, text] : webTutorials()) {
        tutorials["web " + name] = text;
    }
    for (const auto& [where, text] : tutorials) {
        EXPECT_FALSE(text.empty()) << where;
        for (char c : text) {
            EXPECT_TRUE(c == ' ' || c == '/' || gameCharset.find(c) != std::string::npos)
                << where << ": '" << c << "' is not in the fonts";
        }
        std::istringstream words(text);
        std::string word;
        while (words >> word) {
            EXPECT_TRUE(word == "/" || word.find('/') == std::string::npos)
                << where << ": a slash breaks lines only alone";
            EXPECT_LE((static_cast<int>(word.size()) + 1) * g, textBoxWidth)
                << where << ": '" << word << "' is wider than the box";
        }
        EXPECT_EQ(text.find("  "), std::string::npos) << where;
        // Wrapped as the level's screen wraps it: the box shows every line without scrolling.
        const TextBox box(&graphics, fontId, text, textBoxX, textBoxY, textBoxWidth, textBoxHeight,
                          -1, -1);
        EXPECT_LE(static_cast<int>(box.getLines().size()), textBoxHeight / h)
            << where << ": the text needs scrolling";
    }
}

TEST_F(DataSetTest, FirstTutorialsTeachTheRules) {
    std::vector<Level> levels = shippedLevels();
    ASSERT_GE(levels.size(), 2u);
    const std::string& first = levels[0].tutorial;
    const std::string& second = levels[1].tutorial;
    EXPECT_NE(first.find("LEFT CLICK"), std::string::npos) << first;
    EXPECT_NE(first.find("TWO SECONDS"), std::string::npos) << first;
    EXPECT_NE(second.find("RIGHT CLICK"), std::string::npos) << second;
    EXPECT_NE(second.find("CLOCK"), std::string::npos) << second;
    EXPECT_NE(second.find("BOMB"), std::string::npos) << second;
    // In the browser a right click is also the page's Peek control: its line says both.
    const std::string web = webTutorials()["level2.tut"];
    EXPECT_NE(web.find("RIGHT CLICK"), std::string::npos) << web;
    EXPECT_NE(web.find("PEEK"), std::string::npos) << web;
    // Every line that teaches the right click has a browser line that names Peek; only the
    // last level calls itself the last.
    std::map<std::string, std::string> browser = webTutorials();
    for (const Level& level : levels) {
        std::string name = "level" + std::to_string(level.number) + ".tut";
        if (level.tutorial.find("RIGHT CLICK") != std::string::npos) {
            EXPECT_NE(browser[name].find("PEEK"), std::string::npos)
                << name << ": " << browser[name];
        }
        bool last = level.number == static_cast<int>(levels.size());
        EXPECT_EQ(level.tutorial.find("LAST LEVEL") != std::string::npos, last)
            << "level " << level.number << ": " << level.tutorial;
    }
}

} // namespace
