#include "WindowScale.h"

#include <gtest/gtest.h>

TEST(WindowScaleTest, TheWindowOpensAtTheLargestScaleThatTakesThreeQuartersOfTheScreen) {
    const struct {
        int w, h, scale;
    } screens[] = {
        {800, 600, 1},   {1024, 768, 2},  {1366, 768, 2}, {1920, 1080, 3}, {2560, 1440, 4},
        {3840, 2160, 6}, {0, 0, 1},       {-1, 900, 1},   {1023, 767, 2},  {1365, 639, 1},
        {3840, 1080, 3}, {1000, 2000, 2}, {100, 100, 1},  {1366, 640, 2},
    };
    for (const auto& screen : screens) {
        EXPECT_EQ(startScale(screen.w, screen.h, 256, 240), screen.scale)
            << screen.w << " x " << screen.h;
    }
}

TEST(WindowScaleTest, AResizedWindowShowsTheLargestWholeScaleCentredOrCutOffAtOne) {
    const struct {
        int w, h;
        Placement placement;
    } windows[] = {
        {256, 240, {1, 0, 0}},     {768, 720, {3, 0, 0}},      {800, 600, {2, 144, 60}},
        {767, 719, {2, 127, 119}}, {1920, 1080, {4, 448, 60}}, {511, 2000, {1, 127, 880}},
        {100, 50, {1, 0, 0}},      {300, 100, {1, 22, 0}},     {0, 0, {1, 0, 0}},
    };
    for (const auto& window : windows) {
        const Placement got = placeInWindow(window.w, window.h, 256, 240);
        EXPECT_EQ(
            (std::vector<int>{got.scale, got.x, got.y}),
            (std::vector<int>{window.placement.scale, window.placement.x, window.placement.y}))
            << window.w << " x " << window.h;
    }
}

TEST(WindowScaleTest, APointerMapsToThePixelUnderItAndTheBorderToTheNearestEdge) {
    // A picture 256 wide at 3 x from x = 10: window pixels 10 to 777.
    const struct {
        int position, pixel;
    } along[] = {
        {10, 0},    {12, 0},     {13, 1}, {400, 130}, {775, 255}, {777, 255}, // inside
        {9, 0},     {0, 0},      {-5, 0},                                     // the left border
        {778, 255}, {1900, 255},                                              // the right border
    };
    for (const auto& point : along) {
        EXPECT_EQ(toPicture(point.position, 10, 3, 256), point.pixel) << point.position;
    }
    // At 1 with no border (a window cut down to the picture or smaller) it is the identity.
    EXPECT_EQ(toPicture(37, 0, 1, 256), 37);
}
