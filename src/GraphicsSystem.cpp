#include "GraphicsSystem.h"

#include "BmpCheck.h"
#include "Core.h"
#include "VideoDriver.h"

#include "SDL.h"

#include <fstream>
#include <iostream>

GraphicsSystem::GraphicsSystem(int resX, int resY, int bpp, bool fullScreen)
    : resX(resX), resY(resY) {
    if (!acceptVideoDriver()) {
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

namespace {

// Why the file at path may not go to the media library's loader, or empty when it may. A file
// that cannot be opened here is left to the loader, which says why in its own words.
std::string damage(const std::string& path) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file.is_open()) {
        return "";
    }
    const std::streamoff size = file.tellg();
    if (size < 0) {
        return "";
    }
    unsigned char head[bmpHeadBytes];
    file.seekg(0);
    file.read(reinterpret_cast<char*>(head), sizeof head);
    return bmpProblem(head, static_cast<std::size_t>(file.gcount()),
                      static_cast<std::uint64_t>(size));
}

} // namespace

// On failure the image stays empty but cached: one log line per load attempt, not per frame.
void GraphicsSystem::loadInto(Image* image, const std::string& path) {
    image->refCount = 1;
    const std::string problem = damage(path);
    if (!problem.empty()) {
        Core::log("Load Failed: " + path + " - " + problem);
        return;
    }
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
