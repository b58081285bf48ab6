// Linux and Windows: the game paints into a picture of its own size, and the window shows it
// enlarged by the largest whole number that fits, centred on black. The scaling is done here,
// pixel by pixel, rather than left to the media library: classic SDL 1.2 cannot scale, and the
// layer over SDL2 would smooth the picture.
#include "ScreenWindow.h"

#include "BmpCheck.h"
#include "ScreenWindowDetail.h"
#include "WindowIcon.h"
#include "WindowScale.h"

#include "SDL.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Shown final {
    SDL_Surface* window = nullptr;  // owned by the media library
    SDL_Surface* picture = nullptr; // owned
    Uint32 flags = 0;
    int bpp = 0;
    Placement placement;
    // The picture's rows as last shown; empty after an open, a resize or an exposure, so that
    // the next picture is shown whatever it holds.
    std::vector<Uint8> last;
    bool borders = true; // the borders are to be painted black at the next show
    bool whole = true;   // the whole window, borders included, is to be sent at the next show
    // A resize told but not yet followed: the newest size told, and when it came.
    bool resizing = false;
    int toldWidth = 0;
    int toldHeight = 0;
    Uint32 toldAt = 0;
    // A window that cannot take the size it was given says why once, not at every resize.
    bool saidWhyNotResized = false;
};

Shown shown;
unsigned placements = 0; // counts every place(), across windows

// How long a burst of resizes (a tiling desktop, a snap, a script, a quick drag) must have been
// quiet before the window follows it. Setting the mode asks the window manager for that size:
// asked while the burst's later sizes still wait in its queue, it would put the window back to
// a size the player has already left.
constexpr Uint32 settleMilliseconds = 100;

void place() {
    ++placements;
    shown.placement =
        placeInWindow(shown.window->w, shown.window->h, shown.picture->w, shown.picture->h);
    shown.last.clear();
    shown.borders = true;
    shown.whole = true;
}

// True when the picture equals the one last shown; otherwise it becomes the one last shown.
bool unchanged() {
    const SDL_Surface* picture = shown.picture;
    const std::size_t row = static_cast<std::size_t>(picture->w) * picture->format->BytesPerPixel;
    const auto* pixels = static_cast<const Uint8*>(picture->pixels);
    bool same = shown.last.size() == row * picture->h;
    for (int y = 0; same && y < picture->h; ++y) {
        same = std::memcmp(pixels + y * picture->pitch, shown.last.data() + y * row, row) == 0;
    }
    if (same) {
        return true;
    }
    shown.last.resize(row * picture->h);
    for (int y = 0; y < picture->h; ++y) {
        std::memcpy(shown.last.data() + y * row, pixels + y * picture->pitch, row);
    }
    return false;
}

// Every picture pixel becomes a scale x scale square: each row is widened once, then copied
// down; what falls outside a window smaller than the picture is cut off.
void enlarge(const SDL_Surface* picture) {
    SDL_Surface* window = shown.window;
    const Placement& at = shown.placement;
    const int bytes = picture->format->BytesPerPixel;
    const int width = std::min(picture->w * at.scale, window->w - at.x);
    const int height = std::min(picture->h * at.scale, window->h - at.y);
    auto* origin = static_cast<Uint8*>(window->pixels) + at.y * window->pitch + at.x * bytes;
    for (int y = 0; y < height; y += at.scale) {
        const auto* from =
            static_cast<const Uint8*>(picture->pixels) + (y / at.scale) * picture->pitch;
        Uint8* to = origin + y * window->pitch;
        if (at.scale == 1) {
            std::memcpy(to, from, static_cast<std::size_t>(width) * bytes);
            continue;
        }
        for (int x = 0; x < width; ++x) {
            std::memcpy(to + x * bytes, from + (x / at.scale) * bytes, bytes);
        }
        for (int copy = 1; copy < at.scale && y + copy < height; ++copy) {
            std::memcpy(to + copy * window->pitch, to, static_cast<std::size_t>(width) * bytes);
        }
    }
}

// Sets the mode for size; one the media library refuses leaves the window at its old size, or
// else at the picture's own, and standard error tells why, once.
void resizeTo(int width, int height) {
    const int oldWidth = shown.window->w;
    const int oldHeight = shown.window->h;
    // The same depth as before, so that the picture and every converted picture stay a plain
    // copy.
    SDL_Surface* resized = SDL_SetVideoMode(width, height, shown.bpp, shown.flags);
    if (resized != nullptr) {
        shown.window = resized;
        return;
    }
    const std::string why = SDL_GetError();
    // After a refusal the library may offer no surface at all until a mode is set again.
    resized = SDL_SetVideoMode(oldWidth, oldHeight, shown.bpp, shown.flags);
    if (resized == nullptr) {
        resized = SDL_SetVideoMode(shown.picture->w, shown.picture->h, shown.bpp, shown.flags);
    }
    shown.window = resized;
    if (shown.saidWhyNotResized) {
        return;
    }
    shown.saidWhyNotResized = true;
    if (resized != nullptr) {
        std::fprintf(stderr,
                     "zandorel: the window cannot be %d x %d (%s): it shows the game at %d x %d.\n",
                     width, height, why.c_str(), resized->w, resized->h);
    } else {
        std::fprintf(stderr,
                     "zandorel: the window cannot be %d x %d (%s), nor any other size: %s.\n",
                     width, height, why.c_str(), SDL_GetError());
    }
}

// Once the resizes have been quiet a while, the window takes the size it has now, which the
// window manager gave it last: the newest resize told, or the display's own word where it can
// be asked (it also knows of sizes the library did not tell, such as a window put back to the
// size the picture was drawn for).
void followResize() {
    SDL_Event newer;
    while (SDL_PeepEvents(&newer, 1, SDL_GETEVENT, SDL_VIDEORESIZEMASK) == 1) {
        shown.toldWidth = std::max<int>(newer.resize.w, 1);
        shown.toldHeight = std::max<int>(newer.resize.h, 1);
        shown.toldAt = SDL_GetTicks();
    }
    int width = shown.toldWidth;
    int height = shown.toldHeight;
    // Where the window's own size cannot be asked, the newest told is the best there is, and
    // waiting would not make it better.
    const bool asked = screen_window_detail::windowSizeNow(width, height);
    if (asked && SDL_GetTicks() - shown.toldAt < settleMilliseconds) {
        return;
    }
    shown.resizing = false;
    if (width != shown.window->w || height != shown.window->h) {
        resizeTo(std::max(width, 1), std::max(height, 1));
    }
    if (shown.window != nullptr) {
        place();
    }
}

// The game's own icon on the window, for the title bar, the task bar and the window switcher;
// the library takes it only before the first mode is set. Returns the icon's pixels as
// 0xAARRGGBB, rows top down, for the platform to give the window once it is open. A picture
// that cannot be read costs the icon and nothing else.
std::vector<std::uint32_t> showIcon(int& width, int& height) {
    std::vector<std::uint32_t> argb;
    if (!bmpProblem(windowIcon, sizeof windowIcon, sizeof windowIcon).empty()) {
        return argb;
    }
    SDL_Surface* icon = SDL_LoadBMP_RW(SDL_RWFromConstMem(windowIcon, sizeof windowIcon), 1);
    if (icon == nullptr) {
        return argb;
    }
    width = icon->w;
    height = icon->h;
    // Magenta is clear, as in every picture of the game: a mask bit for each other pixel.
    const int rowBytes = (icon->w + 7) / 8;
    std::vector<Uint8> mask(static_cast<std::size_t>(rowBytes) * icon->h, 0);
    const int bytes = icon->format->BytesPerPixel;
    for (int y = 0; y < icon->h; ++y) {
        const auto* row = static_cast<const Uint8*>(icon->pixels) + y * icon->pitch;
        for (int x = 0; x < icon->w; ++x) {
            Uint32 pixel = 0;
            for (int byte = 0; byte < bytes; ++byte) {
                pixel |= static_cast<Uint32>(row[x * bytes + byte]) << (8 * byte);
            }
            Uint8 red = 0;
            Uint8 green = 0;
            Uint8 blue = 0;
            SDL_GetRGB(pixel, icon->format, &red, &green, &blue);
            const bool clear = red == 255 && green == 0 && blue == 255;
            if (!clear) {
                mask[y * rowBytes + x / 8] |= 0x80 >> (x % 8);
            }
            argb.push_back(clear ? 0 : 0xff000000u | red << 16 | green << 8 | blue);
        }
    }
    SDL_WM_SetIcon(icon, mask.data());
    SDL_FreeSurface(icon);
    return argb;
}

} // namespace

SDL_Surface* openScreen(int width, int height, int bpp, bool fullScreen) {
    // The screen's size before any window of the game's changes what the library reports.
    const SDL_VideoInfo* screen = SDL_GetVideoInfo();
    const int scale =
        screen != nullptr ? startScale(screen->current_w, screen->current_h, width, height) : 1;
    // Resizable from the first window on: classic SDL offers the maximise button only then.
    shown.flags = fullScreen ? (SDL_FULLSCREEN | SDL_DOUBLEBUF | SDL_ANYFORMAT)
                             : (SDL_ANYFORMAT | SDL_RESIZABLE);
    int iconWidth = 0;
    int iconHeight = 0;
    const std::vector<std::uint32_t> icon = showIcon(iconWidth, iconHeight);
    shown.window = SDL_SetVideoMode(width * scale, height * scale, bpp, shown.flags);
    if (shown.window == nullptr) {
        return nullptr;
    }
    if (!icon.empty()) {
        screen_window_detail::giveWindowIcon(iconWidth, iconHeight, icon);
    }
    shown.bpp = shown.window->format->BitsPerPixel;
    const SDL_PixelFormat* format = shown.window->format;
    shown.picture =
        SDL_CreateRGBSurface(SDL_SWSURFACE, width, height, format->BitsPerPixel, format->Rmask,
                             format->Gmask, format->Bmask, format->Amask);
    if (shown.picture == nullptr) {
        shown.window = nullptr;
        return nullptr;
    }
    if (format->palette != nullptr) {
        SDL_SetColors(shown.picture, format->palette->colors, 0, format->palette->ncolors);
    }
    place();
    return shown.picture;
}

SDL_Surface* screenPicture() {
    return shown.picture;
}

void showScreen() {
    if (shown.window != nullptr && shown.resizing) {
        followResize();
    }
    if (shown.window == nullptr || unchanged()) {
        return;
    }
    if (SDL_MUSTLOCK(shown.window) && SDL_LockSurface(shown.window) != 0) {
        shown.last.clear();
        return;
    }
    const bool flipped = (shown.flags & SDL_DOUBLEBUF) != 0;
    if (shown.borders || flipped) {
        SDL_FillRect(shown.window, nullptr, 0);
    }
    // A window that came back from a resize in another format (which no library here does)
    // gets a converted copy rather than bytes it cannot read.
    const SDL_PixelFormat* want = shown.window->format;
    const SDL_PixelFormat* have = shown.picture->format;
    SDL_Surface* converted = nullptr;
    if (want->BitsPerPixel != have->BitsPerPixel || want->Rmask != have->Rmask ||
        want->Gmask != have->Gmask || want->Bmask != have->Bmask) {
        converted = SDL_ConvertSurface(shown.picture, shown.window->format, SDL_SWSURFACE);
    }
    if (converted != nullptr || want->BitsPerPixel == have->BitsPerPixel) {
        enlarge(converted != nullptr ? converted : shown.picture);
    } else {
        shown.last.clear(); // not shown after all: the next pass tries again
    }
    SDL_FreeSurface(converted);
    if (SDL_MUSTLOCK(shown.window)) {
        SDL_UnlockSurface(shown.window);
    }
    const Placement& at = shown.placement;
    shown.borders = false;
    if (shown.whole || flipped) {
        SDL_Flip(shown.window);
        shown.whole = false;
        return;
    }
    SDL_UpdateRect(shown.window, at.x, at.y,
                   std::min(shown.picture->w * at.scale, shown.window->w - at.x),
                   std::min(shown.picture->h * at.scale, shown.window->h - at.y));
}

void closeScreen(SDL_Surface* picture) {
    SDL_FreeSurface(picture);
    shown = Shown();
}

void windowResized(int width, int height) {
    if (shown.window == nullptr) {
        return;
    }
    shown.toldWidth = std::max(width, 1);
    shown.toldHeight = std::max(height, 1);
    shown.toldAt = SDL_GetTicks();
    shown.resizing = true;
    followResize();
}

// The window's pixels are still in the library's surface: only sending them again is needed.
void windowExposed() {
    shown.last.clear();
    shown.whole = true;
}

void toPicturePixel(int& x, int& y) {
    if (shown.picture == nullptr) {
        return;
    }
    const Placement& at = shown.placement;
    x = toPicture(x, at.x, at.scale, shown.picture->w);
    y = toPicture(y, at.y, at.scale, shown.picture->h);
}

unsigned placementCount() {
    return placements;
}
