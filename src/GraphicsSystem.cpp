#include "GraphicsSystem.h"

#include "BmpCheck.h"
#include "Log.h"
#include "FileReader.h"
#include "ScreenWindow.h"
#include "VideoDriver.h"

#include "SDL.h"

#include <algorithm>
#include <cstdio>

GraphicsSystem::GraphicsSystem(int resX, int resY, int bpp, bool fullScreen)
    : resX(resX), resY(resY) {
    if (!acceptVideoDriver()) {
        return;
    }
    screen = openScreen(resX, resY, bpp, fullScreen);
    if (screen == nullptr) {
        const std::string reason = SDL_GetError();
        Log::write("GraphicsSystem::GraphicsSystem(...) - Screen Not Created: " + reason);
        std::fprintf(stderr, "zandorel: cannot open a %dx%d window: %s\n", resX, resY,
                     reason.c_str());
        return;
    }
    Log::write("GraphicsSystem::GraphicsSystem(...) - Screen Created");
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
        closeScreen(screen);
    }
}

Image* GraphicsSystem::getImage(const std::string& name) {
    auto found = images.find(name);
    if (found != images.end()) {
        return found->second;
    }
    auto* image = new Image();
    images[name] = image;
    Log::write(std::to_string(images.size()));
    const std::string path = imageDirectory + name;
    Log::write("Loading Resource: " + path);
    loadInto(image, path);
    return image;
}

namespace {

// A picture of 8192 x 1024 at 32 bits, far more than any of the game's own; a larger file is
// not read into memory at all.
constexpr std::size_t pictureLimit = 32 * 1024 * 1024;

} // namespace

// On failure the image stays empty but cached: one log line per load attempt, not per frame.
// The bytes are read once: the media library decodes the very bytes the check passed, so a
// file changed in between cannot slip past it.
void GraphicsSystem::loadInto(Image* image, const std::string& path) {
    image->refCount = 1;
    FileReader file(path, pictureLimit, FileReader::Kind::binary);
    bool cut = false;
    const std::string bytes = file.readRest(cut);
    std::string problem;
    if (!file.isOpen()) {
        problem = "cannot be opened";
    } else if (cut) {
        problem = "larger than " + std::to_string(pictureLimit) + " bytes";
    } else {
        problem = bmpProblem(reinterpret_cast<const unsigned char*>(bytes.data()),
                             std::min(bytes.size(), bmpHeadBytes), bytes.size());
    }
    if (!problem.empty()) {
        Log::write("Load Failed: " + path + " - " + problem);
        return;
    }
    SDL_RWops* stream = SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
    SDL_Surface* decoded = stream != nullptr ? SDL_LoadBMP_RW(stream, 1) : nullptr;
    if (decoded == nullptr) {
        Log::write("Load Failed: " + path + " - " + SDL_GetError());
        return;
    }
    SDL_SetColorKey(decoded, SDL_SRCCOLORKEY, SDL_MapRGB(decoded->format, 255, 0, 255));
    SDL_Surface* converted = SDL_DisplayFormat(decoded);
    SDL_FreeSurface(decoded);
    if (converted == nullptr) {
        Log::write("Load Failed: " + path + " - " + SDL_GetError());
        return;
    }
    image->surface = converted;
    image->width = converted->w;
    image->height = converted->h;
    Log::write("Load Successful");
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
    Log::write("Freeing Resource: " + name);
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
        showScreen();
    }
}

void GraphicsSystem::createFont(int id, const std::string& imageFile, const std::string& charset) {
    if (charset.empty()) {
        Log::write("GraphicsSystem::createFont(...) - Font " + std::to_string(id) +
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
