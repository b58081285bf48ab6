#include "Label.h"
#include "SplashScreen.h"
#include "StaticImage.h"

#include "GraphicsSystem.h"
#include "SceneManager.h"
#include "TestSupport.h"

#include <algorithm>

namespace {

constexpr int fontId = 6;

class StaticWidgetsTest : public GraphicsTest {
protected:
    long count(const std::string& line) const {
        const std::vector<std::string> lines = logLines();
        return std::count(lines.begin(), lines.end(), line);
    }
};

} // namespace

TEST_F(StaticWidgetsTest, StaticImageDrawsTheWholePictureAtItsPlaceAndLetsMagentaThrough) {
    writeBands("splash.bmp", 256, 240, {white});
    writePixels("bonus.bmp", {"rrgg", "rmmg", "bbbb"},
                {{'r', red}, {'g', green}, {'b', blue}, {'m', magenta}});
    SplashScreen splash(graphics, "splash.bmp");
    StaticImage bonus(graphics, "bonus.bmp", 100, 50);
    bonus.setZOrder(1);
    SceneManager scene;
    scene.addWidget(&bonus);
    scene.addWidget(&splash);
    graphics->clear();
    scene.paint();
    EXPECT_EQ(pixel(100, 50), asShown(red));
    EXPECT_EQ(pixel(103, 50), asShown(green));
    EXPECT_EQ(pixel(101, 51), asShown(white));
    EXPECT_EQ(pixel(103, 52), asShown(blue));
    EXPECT_EQ(pixel(104, 50), asShown(white));
    EXPECT_EQ(pixel(100, 53), asShown(white));
    EXPECT_EQ(pixel(0, 0), asShown(white));
    EXPECT_EQ(pixel(255, 239), asShown(white));
}

TEST_F(StaticWidgetsTest, PicturesLoadAtConstructionAndAreReleasedAtDestruction) {
    writeBands("title.bmp", 4, 4, {red});
    auto* first = new SplashScreen(graphics, "title.bmp");
    EXPECT_EQ(logLines().back(), "Load Successful");
    SplashScreen second(graphics, "title.bmp");
    delete first;
    EXPECT_EQ(logLines().back(), "Freeing Resource: title.bmp");
    // The survivor draws by name, so its next frame brings the picture back from disk.
    graphics->clear();
    second.paint();
    EXPECT_EQ(count("Loading Resource: ./graphics/title.bmp"), 2);
    EXPECT_EQ(pixel(3, 3), asShown(red));
    EXPECT_EQ(pixel(4, 0), black);

    auto* image = new StaticImage(graphics, "title.bmp", 10, 10);
    delete image;
    EXPECT_EQ(count("Freeing Resource: title.bmp"), 2);
}

TEST_F(StaticWidgetsTest, LabelDrawsItsCurrentTextWhereverItIsMoved) {
    // Glyphs A, B, C, each a 4 x 5 block of its own colour.
    writeBands("font.bmp", 12, 5, {red, green, blue});
    graphics->createFont(fontId, "font.bmp", "ABC");
    Label label(graphics, fontId, 20, 30);
    EXPECT_EQ(label.getText(), "");
    graphics->clear();
    label.paint();
    EXPECT_EQ(pixel(21, 31), black);

    label.setText("C A");
    EXPECT_EQ(label.getText(), "C A");
    graphics->clear();
    label.paint();
    EXPECT_EQ(pixel(21, 31), asShown(blue));
    EXPECT_EQ(pixel(25, 31), black);
    EXPECT_EQ(pixel(29, 31), asShown(red));

    label.setX(40);
    label.setY(60);
    label.setText("B");
    graphics->clear();
    label.paint();
    EXPECT_EQ(pixel(21, 31), black);
    EXPECT_EQ(pixel(41, 61), asShown(green));
    EXPECT_EQ(pixel(29, 31), black);
}
