#include "GraphicsSystem.h"

#include "Core.h"

#include "SDL.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <thread>

namespace {

// Video drivers that run without showing anything to a person: text-mode pictures in the
// terminal, or frames drawn to memory. A player who did not ask for one by name would get a
// game running with no window, so they are accepted only when named in SDL_VIDEODRIVER.
const char* const invisibleDrivers[] = {"caca", "aalib", "dummy", "offscreen", "evdev"};

// How long a display that refuses the connection (a busy X server, say) is given to accept.
constexpr int displayPatienceMs = 2000;
constexpr int retryPauseMs = 200;

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// SDL_VIDEODRIVER may hold one name or, for the layer over SDL2, a comma-separated list.
bool namedByUser(const std::string& driver) {
    std::istringstream names(lowered(environment("SDL_VIDEODRIVER")));
    std::string name;
    while (std::getline(names, name, ',')) {
        if (name == lowered(driver)) {
            return true;
        }
    }
    return false;
}

void setEnvironment(const char* name, const char* value) {
#ifdef _WIN32
    _putenv_s(name, value);
#else
    setenv(name, value, 1);
#endif
}

#ifndef _WIN32
void unsetEnvironment(const char* name) {
    unsetenv(name);
}
#endif

std::string videoDriver() {
    char name[64];
    return SDL_VideoDriverName(name, sizeof name) != nullptr ? name : "";
}

bool showsWindow(const std::string& driver) {
    if (driver.empty()) {
        return false;
    }
    const std::string name = lowered(driver);
    for (const char* invisible : invisibleDrivers) {
        if (name == invisible) {
            return namedByUser(driver);
        }
    }
    return true;
}

// Why the driver that started (if any) is no good, in words for a player.
std::string whyNoWindow(const std::string& driver) {
    if (driver.empty()) {
        return std::string("no video driver started: ") + SDL_GetError();
    }
    return "only the " + driver + " video driver started, which shows no window";
}

} // namespace

void GraphicsSystem::chooseVideoDefaults() {
    // The layer over SDL2 presents frames through OpenGL by default; on a machine without a
    // graphics card that loads a software renderer eight times the size of the game, for a
    // window that is never scaled. Classic SDL 1.2 ignores both. The player's values stand.
    for (const auto& hint : {std::make_pair("SDL_FRAMEBUFFER_ACCELERATION", "0"),
                             std::make_pair("SDL_RENDER_DRIVER", "software")}) {
        if (std::getenv(hint.first) == nullptr) {
            setEnvironment(hint.first, hint.second);
        }
    }
    // Classic SDL falls back to its text-mode driver when no display answers; that driver
    // would paint the terminal before the game can turn it down. Silenced unless asked for.
    if (!namedByUser("caca")) {
        setEnvironment("CACA_DRIVER", "null");
    }
}

// One refused connection must not cost a start: a display that is configured gets a couple
// of seconds to accept. With none configured, waiting would change nothing.
bool GraphicsSystem::openDisplay() {
    std::string driver = videoDriver();
    if (showsWindow(driver)) {
        return true;
    }
#ifdef _WIN32
    // Windows names no display, and its desktop is there from the start: waiting brings no
    // driver that did not start at once.
    const std::string named = environment("SDL_VIDEODRIVER");
    const std::string reason =
        named.empty() ? "none of SDL's Windows drivers started" : "SDL_VIDEODRIVER is " + named;
    const char* const advice = "check SDL_VIDEODRIVER if it is set";
#else
    const std::string display = environment("DISPLAY");
    const std::string wayland = environment("WAYLAND_DISPLAY");
    const std::string named = environment("SDL_VIDEODRIVER");
    const bool displayConfigured = !display.empty() || !wayland.empty();
    const bool displayDriverAllowed = named.empty() || namedByUser("x11") || namedByUser("wayland");
    if (displayConfigured && displayDriverAllowed) {
        // Later tries name the display's own driver, so that the library does not probe the
        // others again (the Wayland client library complains on every probe) and its error
        // is the display's. The player's environment is put back as it was.
        if (named.empty()) {
            setEnvironment("SDL_VIDEODRIVER", display.empty() ? "wayland" : "x11");
        }
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(displayPatienceMs);
        while (!showsWindow(driver) && std::chrono::steady_clock::now() < deadline) {
            Core::log("GraphicsSystem::GraphicsSystem(...) - No Display Yet, Trying Again: " +
                      whyNoWindow(driver));
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
            std::this_thread::sleep_for(std::chrono::milliseconds(retryPauseMs));
            SDL_InitSubSystem(SDL_INIT_VIDEO);
            driver = videoDriver();
        }
        if (named.empty()) {
            unsetEnvironment("SDL_VIDEODRIVER");
        }
        if (showsWindow(driver)) {
            return true;
        }
    }
    std::string reason;
    if (!displayDriverAllowed) {
        reason = "SDL_VIDEODRIVER is " + named;
    } else if (!displayConfigured) {
        reason = "neither DISPLAY nor WAYLAND_DISPLAY is set";
    } else {
        reason = (display.empty() ? "the Wayland display " + wayland : "the X display " + display) +
                 " did not accept a connection";
    }
    const char* const advice = "check DISPLAY, and SDL_VIDEODRIVER if it is set";
#endif
    Core::log("GraphicsSystem::GraphicsSystem(...) - No Display: " + reason + "; " +
              whyNoWindow(driver));
    // Whatever did start is shut down, so no invisible driver goes on drawing.
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    std::cerr << "zandorel: there is no display to open a window on (" << reason << "): " << advice
              << ".\n";
    return false;
}

GraphicsSystem::GraphicsSystem(int resX, int resY, int bpp, bool fullScreen)
    : resX(resX), resY(resY) {
    if (!openDisplay()) {
        return;
    }
    const Uint32 flags =
        fullScreen ? (SDL_FULLSCREEN | SDL_DOUBLEBUF | SDL_ANYFORMAT) : SDL_ANYFORMAT;
    screen = SDL_SetVideoMode(resX, resY, bpp, flags);
    if (screen == nullptr) {
        const std::string reason = SDL_GetError();
        Core::log("GraphicsSystem::GraphicsSystem(...) - Screen Not Created: " + reason);
        std::cerr << "zandorel: cannot open a " << resX << "x" << resY << " window: " << reason
                  << '\n';
        return;
    }
    Core::log("GraphicsSystem::GraphicsSystem(...) - Screen Created");
    this->bpp = screen->format->BitsPerPixel;
    SDL_Rect whole = {0, 0, static_cast<Uint16>(resX), static_cast<Uint16>(resY)};
    SDL_SetClipRect(screen, &whole);
}

GraphicsSystem::~GraphicsSystem() {
    while (!images.empty()) {
        freeImage(images.begin()->first, false);
    }
    while (!fonts.empty()) {
        removeFont(fonts.front().id);
    }
    if (screen != nullptr) {
        SDL_FreeSurface(screen);
    }
}

Image* GraphicsSystem::getImage(const std::string& name) {
    auto found = images.find(name);
    if (found != images.end()) {
        return found->second;
    }
    auto* image = new Image();
    images[name] = image;
    Core::log(std::to_string(images.size()));
    const std::string path = imageDirectory + name;
    Core::log("Loading Resource: " + path);
    loadInto(image, path);
    return image;
}

// On failure the image stays empty but cached: one log line per load attempt, not per frame.
void GraphicsSystem::loadInto(Image* image, const std::string& path) {
    image->refCount = 1;
    SDL_RWops* stream = SDL_RWFromFile(path.c_str(), "rb");
    SDL_Surface* decoded = stream != nullptr ? SDL_LoadBMP_RW(stream, 1) : nullptr;
    if (decoded == nullptr) {
        Core::log("Load Failed: " + path + " - " + SDL_GetError());
        return;
    }
    SDL_SetColorKey(decoded, SDL_SRCCOLORKEY, SDL_MapRGB(decoded->format, 255, 0, 255));
    SDL_Surface* converted = SDL_DisplayFormat(decoded);
    SDL_FreeSurface(decoded);
    if (converted == nullptr) {
        Core::log("Load Failed: " + path + " - " + SDL_GetError());
        return;
    }
    image->surface = converted;
    image->width = converted->w;
    image->height = converted->h;
    Core::log("Load Successful");
}

void GraphicsSystem::freeImage(const std::string& name, bool honourRefCount) {
    auto found = images.find(name);
    if (found == images.end()) {
        return;
    }
    Image* image = found->second;
    --image->refCount;
    if (image->refCount > 0 && honourRefCount) {
        return;
    }
    Core::log("Freeing Resource: " + name);
    if (image->surface != nullptr) {
        SDL_FreeSurface(image->surface);
    }
    delete image;
    images.erase(found);
}

void GraphicsSystem::drawImage(const std::string& name, const Rect& src, const Rect& dst) {
    blit(getImage(name), src, dst);
}

void GraphicsSystem::blit(const Image* image, const Rect& src, const Rect& dst) {
    if (image->surface == nullptr || screen == nullptr) {
        return;
    }
    SDL_Rect from = {static_cast<Sint16>(src.x), static_cast<Sint16>(src.y),
                     static_cast<Uint16>(src.w), static_cast<Uint16>(src.h)};
    SDL_Rect to = {static_cast<Sint16>(dst.x), static_cast<Sint16>(dst.y), 0, 0};
    if (recording != nullptr) {
        recording->push_back(BlitRecord{image->surface, Rect{from.x, from.y, from.w, from.h},
                                        Rect{to.x, to.y, to.w, to.h}});
    }
    SDL_UpperBlit(image->surface, &from, screen, &to);
}

void GraphicsSystem::clear() {
    if (screen != nullptr) {
        SDL_FillRect(screen, nullptr, 0);
    }
}

void GraphicsSystem::flip() {
    if (screen != nullptr) {
        SDL_Flip(screen);
    }
}

void GraphicsSystem::createFont(int id, const std::string& imageFile, const std::string& charset) {
    if (charset.empty()) {
        Core::log("GraphicsSystem::createFont(...) - Font " + std::to_string(id) +
                  " Refused: empty character set for " + imageFile);
        return;
    }
    getImage(imageFile);
    fonts.push_back(Font{id, imageFile, charset});
}

void GraphicsSystem::removeFont(int id) {
    for (auto it = fonts.begin(); it != fonts.end(); ++it) {
        if (it->id == id) {
            freeImage(it->imageFile, true);
            fonts.erase(it);
            return;
        }
    }
}

const Font* GraphicsSystem::findFont(int id) const {
    for (auto it = fonts.rbegin(); it != fonts.rend(); ++it) {
        if (it->id == id) {
            return &*it;
        }
    }
    return nullptr;
}

void GraphicsSystem::drawString(int id, const std::string& text, int x, int y) {
    const Font* font = findFont(id);
    if (font == nullptr) {
        return;
    }
    const Image* image = getImage(font->imageFile);
    const int glyphWidth = image->width / static_cast<int>(font->charset.size());
    Rect src;
    src.w = glyphWidth;
    src.h = image->height;
    Rect dst;
    dst.y = y;
    // The pen advances a full cell for every character, drawn or not, so a space or an
    // unknown character leaves a blank cell.
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::size_t cell = font->charset.find(text[i]);
        if (cell == std::string::npos) {
            continue;
        }
        src.x = static_cast<int>(cell) * glyphWidth;
        dst.x = x + static_cast<int>(i) * glyphWidth;
        blit(image, src, dst);
    }
}

int GraphicsSystem::getFontWidth(int id) {
    const Font* font = findFont(id);
    if (font == nullptr) {
        return 0;
    }
    return getImage(font->imageFile)->width / static_cast<int>(font->charset.size());
}

int GraphicsSystem::getFontHeight(int id) {
    const Font* font = findFont(id);
    if (font == nullptr) {
        return 0;
    }
    return getImage(font->imageFile)->height;
}
