#include "VideoDriver.h"
#include "VideoDriverDetail.h"

#include "Log.h"

#include "SDL.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace video_driver_detail {

namespace {

// Video drivers that run without showing anything to a person: text-mode pictures in the
// terminal, or frames drawn to memory. A player who did not ask for one by name would get a
// game running with no window, so they are accepted only when named in SDL_VIDEODRIVER.
const char* const invisibleDrivers[] = {"caca", "aalib", "dummy", "offscreen", "evdev"};

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Why the driver that started (if any) is no good, in words for a player.
std::string whyNoWindow(const std::string& driver) {
    if (driver.empty()) {
        return std::string("no video driver started: ") + SDL_GetError();
    }
    return "only the " + driver + " video driver started, which shows no window";
}

} // namespace

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

bool namedByUser(const std::string& driver) {
    const std::string names = lowered(environment("SDL_VIDEODRIVER"));
    const std::string wanted = lowered(driver);
    for (std::string::size_type start = 0; start < names.size();) {
        const std::string::size_type comma = std::min(names.find(',', start), names.size());
        if (names.compare(start, comma - start, wanted) == 0) {
            return true;
        }
        start = comma + 1;
    }
    return false;
}

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

void refuse(const std::string& reason, const std::string& advice, const std::string& driver) {
    Log::write("GraphicsSystem::GraphicsSystem(...) - No Display: " + reason + "; " +
               whyNoWindow(driver));
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    std::fprintf(stderr, "zandorel: there is no display to open a window on (%s): %s.\n",
                 reason.c_str(), advice.c_str());
}

void logRetry(const std::string& driver) {
    Log::write("GraphicsSystem::GraphicsSystem(...) - No Display Yet, Trying Again: " +
               whyNoWindow(driver));
}

} // namespace video_driver_detail

using namespace video_driver_detail;

void chooseVideoDefaults() {
    // The layer over SDL2 presents frames through OpenGL by default; on a machine without a
    // graphics card that loads a software renderer eight times the size of the game, for a
    // window the library never scales (the game enlarges its picture itself). Should the layer
    // scale after all, it keeps the pixels square rather than smoothing them. Classic SDL 1.2
    // ignores all three. The player's values stand.
    for (const auto& hint : {std::make_pair("SDL_FRAMEBUFFER_ACCELERATION", "0"),
                             std::make_pair("SDL_RENDER_DRIVER", "software"),
                             std::make_pair("SDL12COMPAT_SCALE_METHOD", "nearest")}) {
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
