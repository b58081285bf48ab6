// Where the game's picture sits in a desktop window larger than it: enlarged by a whole number,
// so that every game pixel is a square of one colour, and centred on black. Plain arithmetic,
// apart from the media library, so that every size can be checked without a display.
#ifndef ZANDOREL_WINDOWSCALE_H
#define ZANDOREL_WINDOWSCALE_H

// The picture's place in a window: each game pixel is scale x scale window pixels, and the
// picture's top-left corner lies at (x, y).
struct Placement final {
    int scale = 1;
    int x = 0;
    int y = 0;
};

// The scale a window opens at: the largest whole number, at least 1, at which the picture
// takes no more than three quarters of the screen either way. A screen of unknown size (0)
// gets 1.
int startScale(int screenWidth, int screenHeight, int pictureWidth, int pictureHeight);

// The largest whole scale, at least 1, at which the picture fits the window, centred (rounded
// towards the top-left). A window narrower or lower than the picture shows it at 1, cut off,
// from its left or top edge on that side and still centred on the other side where that is
// longer.
Placement placeInWindow(int windowWidth, int windowHeight, int pictureWidth, int pictureHeight);

// The picture's pixel under a window position along one axis: in the border, the nearest
// pixel of the picture's edge.
int toPicture(int windowPosition, int offset, int scale, int pictureSize);

#endif
