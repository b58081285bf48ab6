// libFuzzer target for the picture check: whatever bmpProblem lets through must load in the
// media library without a crash, and the check itself must never read past what it is given.
// Built with clang's libFuzzer by tests/CMakeLists.txt and run once over tests/fuzz/pictures by
// CTest; to search further, run it by hand on a new folder and the corpus, for example
//   cd tests/fuzz && mkdir -p found && SDL_VIDEODRIVER=dummy \
//       ../../build/tests/BmpCheckFuzz -max_total_time=600 found pictures
#include "BmpCheck.h"

#include "SDL.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool screen =
        SDL_Init(SDL_INIT_VIDEO) == 0 && SDL_SetVideoMode(256, 240, 16, SDL_ANYFORMAT) != nullptr;
    if (!screen) {
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
    // As the game loads a picture: decode, key out magenta, convert, draw.
    SDL_Surface* decoded = SDL_LoadBMP_RW(SDL_RWFromConstMem(data, static_cast<int>(size)), 1);
    if (decoded == nullptr) {
        return 0;
    }
    SDL_SetColorKey(decoded, SDL_SRCCOLORKEY, SDL_MapRGB(decoded->format, 255, 0, 255));
    SDL_Surface* converted = SDL_DisplayFormat(decoded);
    SDL_FreeSurface(decoded);
    if (converted != nullptr) {
        SDL_Rect from = {0, 0, static_cast<Uint16>(converted->w),
                         static_cast<Uint16>(converted->h)};
        SDL_Rect to = {10, 10, 0, 0};
        SDL_UpperBlit(converted, &from, SDL_GetVideoSurface(), &to);
        SDL_FreeSurface(converted);
    }
    return 0;
}
