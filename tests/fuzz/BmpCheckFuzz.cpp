// libFuzzer target for the picture check: whatever bmpProblem lets through must load in the
// media library without a crash, and the check itself must never read past what it is given.
// Built twice by tests/CMakeLists.txt: against the installed SDL (or the compatibility layer),
// run once over tests/fuzz/pictures by CTest; and in the sanitize tree against an SDL built with
// AddressSanitizer (tools/sdl-asan.sh), searched for a fixed number of runs from that corpus,
// so that a read past a buffer inside SDL is caught where the installed library reads on in
// silence. To search further, run that one by hand on a new folder and the corpus, for example
//   cd tests/fuzz && mkdir -p found && SDL_VIDEODRIVER=dummy \
//       ../../build-sanitize/tests/BmpCheckFuzzAsanSdl -max_total_time=600 found pictures
// and turn each crash it writes into a picture of make_damaged_pictures.py that the check
// refuses.
#include "BmpCheck.h"

#include "SDL.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

namespace {

// The game asks for 16 bits; with SDL_ANYFORMAT a desktop may give it 32, and each depth takes
// other conversion code in SDL. The mode is only changed when it differs, as that frees the
// screen.
SDL_Surface* screenOf(int bits) {
    SDL_Surface* screen = SDL_GetVideoSurface();
    if (screen == nullptr || screen->format->BitsPerPixel != bits) {
        screen = SDL_SetVideoMode(256, 240, bits, 0);
    }
    if (screen == nullptr || screen->format->BitsPerPixel != bits) {
        __builtin_trap();
    }
    return screen;
}

// As the game shows a picture: convert to the screen's format (the colour key carries over),
// draw.
void convertAndDraw(SDL_Surface* decoded, int bits) {
    SDL_Surface* screen = screenOf(bits);
    SDL_Surface* converted = SDL_DisplayFormat(decoded);
    if (converted != nullptr) {
        SDL_Rect from = {0, 0, static_cast<Uint16>(converted->w),
                         static_cast<Uint16>(converted->h)};
        SDL_Rect to = {10, 10, 0, 0};
        SDL_UpperBlit(converted, &from, screen, &to);
        SDL_FreeSurface(converted);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool started = SDL_Init(SDL_INIT_VIDEO) == 0;
    if (!started) {
        __builtin_trap();
    }
    // A copy of exactly the head, so that AddressSanitizer sees any read beyond it.
    const std::size_t headSize = std::min(size, bmpHeadBytes);
    const std::unique_ptr<unsigned char[]> head(new unsigned char[headSize]);
    if (headSize > 0) {
        std::memcpy(head.get(), data, headSize);
    }
    if (!bmpProblem(head.get(), headSize, size).empty()) {
        return 0;
    }
    // libFuzzer hands over a copy of exactly the file: a read past its end is seen too.
    SDL_Surface* decoded = SDL_LoadBMP_RW(SDL_RWFromConstMem(data, static_cast<int>(size)), 1);
    if (decoded == nullptr) {
        return 0;
    }
    SDL_SetColorKey(decoded, SDL_SRCCOLORKEY, SDL_MapRGB(decoded->format, 255, 0, 255));
    convertAndDraw(decoded, 16);
    convertAndDraw(decoded, 32);
    SDL_FreeSurface(decoded);
    return 0;
}
