#include "TestSupport.h"

#include "EventManager.h"
#include "GraphicsSystem.h"
#include "ScreenWindow.h"

#include "SDL.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

std::ostream& operator<<(std::ostream& out, const Colour& colour) {
    return out << "(" << int(colour.r) << ", " << int(colour.g) << ", " << int(colour.b) << ")";
}

void SandboxTest::SetUp() {
    previousFolder = std::filesystem::current_path();
    std::string pattern = (std::filesystem::temp_directory_path() / "zandorel-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    sandbox = pattern;
    std::filesystem::create_directories(sandbox / "graphics");
    std::filesystem::create_directories(sandbox / "data");
    std::filesystem::current_path(sandbox);
}

void SandboxTest::TearDown() {
    EventManager::deleteInstance();
    SDL_Quit();
    std::filesystem::current_path(previousFolder);
    std::error_code ignored;
    std::filesystem::remove_all(sandbox, ignored);
}

void SandboxTest::openScreen() {
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
}

void GraphicsTest::SetUp() {
    SandboxTest::SetUp();
    openScreen();
    graphics = new GraphicsSystem(256, 240, 16, false);
    graphics->setImageDirectory("./graphics/");
}

void GraphicsTest::TearDown() {
    delete graphics;
    graphics = nullptr;
    SandboxTest::TearDown();
}

namespace {

void saveSurface(SDL_Surface* surface, const std::string& name) {
    ASSERT_NE(surface, nullptr);
    ASSERT_EQ(SDL_SaveBMP(surface, ("graphics/" + name).c_str()), 0) << SDL_GetError();
    SDL_FreeSurface(surface);
}

SDL_Surface* makeSurface(int width, int height) {
    // 24-bit with the common 40-byte header, as the shipped pictures are.
    return SDL_CreateRGBSurface(SDL_SWSURFACE, width, height, 24, 0x0000FF, 0x00FF00, 0xFF0000, 0);
}

void putPixel(SDL_Surface* surface, int x, int y, const Colour& colour) {
    auto* row = static_cast<Uint8*>(surface->pixels) + y * surface->pitch;
    Uint8* at = row + x * 3;
    at[0] = colour.r;
    at[1] = colour.g;
    at[2] = colour.b;
}

} // namespace

void SandboxTest::writeBands(const std::string& name, int width, int height,
                             const std::vector<Colour>& bands) {
    SDL_Surface* surface = makeSurface(width, height);
    ASSERT_NE(surface, nullptr);
    const int band = width / static_cast<int>(bands.size());
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int index = band > 0 ? std::min<int>(x / band, bands.size() - 1) : 0;
            putPixel(surface, x, y, bands[index]);
        }
    }
    saveSurface(surface, name);
}

void SandboxTest::writePixels(const std::string& name, const std::vector<std::string>& rows,
                              const std::vector<std::pair<char, Colour>>& legend) {
    SDL_Surface* surface = makeSurface(static_cast<int>(rows[0].size()), rows.size());
    ASSERT_NE(surface, nullptr);
    for (std::size_t y = 0; y < rows.size(); ++y) {
        for (std::size_t x = 0; x < rows[y].size(); ++x) {
            Colour colour;
            for (const auto& entry : legend) {
                if (entry.first == rows[y][x]) {
                    colour = entry.second;
                }
            }
            putPixel(surface, x, y, colour);
        }
    }
    saveSurface(surface, name);
}

namespace {

Colour glyphColour(std::size_t cell) {
    return Colour{static_cast<std::uint8_t>((cell % 32) * 8),
                  static_cast<std::uint8_t>(64 + (cell / 32) * 128), 200};
}

} // namespace

void SandboxTest::writeCodedFont(const std::string& name, int glyphWidth, int glyphHeight) {
    std::vector<Colour> cells;
    for (std::size_t cell = 0; cell < gameCharset.size(); ++cell) {
        cells.push_back(glyphColour(cell));
    }
    writeBands(name, glyphWidth * static_cast<int>(cells.size()), glyphHeight, cells);
}

std::string SandboxTest::readText(int x, int y, int glyphWidth, int cells) {
    std::string text;
    for (int i = 0; i < cells; ++i) {
        const Colour seen = pixel(x + i * glyphWidth, y);
        char found = ' ';
        for (std::size_t cell = 0; cell < gameCharset.size(); ++cell) {
            if (asShown(glyphColour(cell)) == seen) {
                found = gameCharset[cell];
            }
        }
        text += found;
    }
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    return text;
}

void SandboxTest::writeFile(const std::string& path, const std::string& content) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << content;
    ASSERT_TRUE(file.good()) << path;
}

std::string SandboxTest::readFile(const std::string& path) const {
    std::ifstream file(path, std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    return content.str();
}

std::vector<std::string> SandboxTest::logLines() const {
    std::ifstream file("debug.txt");
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::uint32_t rawPixel(const SDL_Surface* surface, int x, int y) {
    const int bytes = surface->format->BytesPerPixel;
    const Uint8* at = static_cast<const Uint8*>(surface->pixels) + y * surface->pitch + x * bytes;
    switch (bytes) {
    case 1:
        return *at;
    case 2:
        return *reinterpret_cast<const Uint16*>(at);
    case 3:
        return SDL_BYTEORDER == SDL_LIL_ENDIAN ? (at[0] | at[1] << 8 | at[2] << 16)
                                               : (at[0] << 16 | at[1] << 8 | at[2]);
    default:
        return *reinterpret_cast<const Uint32*>(at);
    }
}

Colour surfacePixel(const SDL_Surface* surface, int x, int y) {
    Colour colour;
    SDL_GetRGB(rawPixel(surface, x, y), surface->format, &colour.r, &colour.g, &colour.b);
    return colour;
}

Colour SandboxTest::pixel(int x, int y) {
    SDL_Surface* screen = screenPicture();
    if (screen == nullptr || x < 0 || y < 0 || x >= screen->w || y >= screen->h) {
        ADD_FAILURE() << "no pixel at (" << x << ", " << y << ")";
        return {};
    }
    SDL_LockSurface(screen);
    const Colour colour = surfacePixel(screen, x, y);
    SDL_UnlockSurface(screen);
    return colour;
}

Colour SandboxTest::asShown(const Colour& colour) {
    SDL_Surface* screen = screenPicture();
    if (screen == nullptr) {
        ADD_FAILURE() << "no screen";
        return colour;
    }
    Colour shown;
    SDL_GetRGB(SDL_MapRGB(screen->format, colour.r, colour.g, colour.b), screen->format, &shown.r,
               &shown.g, &shown.b);
    return shown;
}

std::vector<int> Recorder::types() const {
    std::vector<int> result;
    for (const Event& event : events) {
        result.push_back(event.type);
    }
    return result;
}

void postEvent(int type, std::initializer_list<long> payload) {
    Event event(type);
    for (long item : payload) {
        event.data.emplace_back(item);
    }
    EventManager::getInstance()->postEvent(event);
}

void postTick(long milliseconds) {
    postEvent(EVENT_TICK, {milliseconds});
}
