// The screen, the cache of pictures loaded by name, and the bitmap fonts drawn from them.
#ifndef ZANDOREL_GRAPHICSSYSTEM_H
#define ZANDOREL_GRAPHICSSYSTEM_H

#include <map>
#include <string>
#include <vector>

struct SDL_Surface;

// Source rectangles pick a part of a picture; destinations use only x and y.
struct Rect final {
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
};

// A cached picture in the screen's pixel format, magenta keyed out. A picture that could not
// be loaded stays cached with no surface and a size of 0 x 0, so callers can still measure
// and draw it every frame without touching the disk again.
struct Image final {
    SDL_Surface* surface = nullptr; // owned
    int width = 0;
    int height = 0;
    int refCount = 0;
};

// One copy to the screen exactly as it went to the media library (rectangles already
// narrowed), so a measurement can replay a frame's drawing without the game around it.
struct BlitRecord final {
    SDL_Surface* surface = nullptr; // borrowed from the image cache
    Rect src;
    Rect dst;
};

// A bitmap font: one row of equal glyph cells, one cell per character of the charset.
struct Font final {
    int id = 0;
    std::string imageFile;
    std::string charset;
};

class GraphicsSystem final {
public:
    // When the screen cannot be opened, the reason goes to standard error and the debug log,
    // and isOpen() reports false; every other operation is then a harmless no-op.
    GraphicsSystem(int resX, int resY, int bpp, bool fullScreen);
    ~GraphicsSystem();

    bool isOpen() const { return screen != nullptr; }
    int getResX() const { return resX; }
    int getResY() const { return resY; }
    int getBPP() const { return bpp; }

    // Expected to end with a path separator. Affects later loads only.
    void setImageDirectory(const std::string& directory) { imageDirectory = directory; }

    // Loads on a miss. Deliberately, a hit does not raise the reference count: the first
    // freeImage(name, true) after a load always releases the picture.
    Image* getImage(const std::string& name);
    void freeImage(const std::string& name, bool honourRefCount);
    void drawImage(const std::string& name, const Rect& src, const Rect& dst);
    void clear();
    void flip();

    // While a list is given, every copy to the screen is also appended to it; null, the
    // default, records nothing. The list is borrowed and must outlive the recording.
    void setBlitRecording(std::vector<BlitRecord>* list) { recording = list; }

    // A font with an empty charset is refused (and logged): its glyph width would be undefined.
    void createFont(int id, const std::string& imageFile, const std::string& charset);
    // Removes the oldest font with this id; drawing and measuring use the newest.
    void removeFont(int id);
    void drawString(int id, const std::string& text, int x, int y);
    int getFontWidth(int id);
    int getFontHeight(int id);

    GraphicsSystem(const GraphicsSystem&) = delete;
    GraphicsSystem& operator=(const GraphicsSystem&) = delete;

private:
    const Font* findFont(int id) const;
    void blit(const Image* image, const Rect& src, const Rect& dst);
    static void loadInto(Image* image, const std::string& path);

    int resX;
    int resY;
    int bpp = 0;
    // The picture the game paints, always resX x resY; the window shows it (ScreenWindow.h).
    SDL_Surface* screen = nullptr; // owned, let go through closeScreen
    std::string imageDirectory = "./";
    std::map<std::string, Image*> images; // owned
    std::vector<Font> fonts;
    std::vector<BlitRecord>* recording = nullptr; // borrowed
};

#endif
