# Cross build for 64-bit Windows with Debian's mingw-w64 compilers, once SDL is built for it
# (bash tools/sdl-windows.sh build-windows/sdl):
#   cmake --preset windows        (CMakePresets.json; tools/windows.sh does all of it)
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZANDOREL_MINGW_HOST x86_64-w64-mingw32)

# The POSIX thread model: its libstdc++ has std::thread and friends, which the win32 model lacks.
set(CMAKE_C_COMPILER ${ZANDOREL_MINGW_HOST}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZANDOREL_MINGW_HOST}-g++-posix)
set(CMAKE_RC_COMPILER ${ZANDOREL_MINGW_HOST}-windres)

# SDL built for Windows by tools/sdl-windows.sh; pkg-config must see that one and never the
# machine's own.
set(ZANDOREL_SDL_PREFIX "" CACHE PATH "Where tools/sdl-windows.sh installed SDL 1.2 for Windows")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ZANDOREL_SDL_PREFIX)
if(ZANDOREL_SDL_PREFIX)
    set(ENV{PKG_CONFIG_LIBDIR} "${ZANDOREL_SDL_PREFIX}/lib/pkgconfig")
    set(ENV{PKG_CONFIG_PATH} "")
    set(CMAKE_FIND_ROOT_PATH /usr/${ZANDOREL_MINGW_HOST} "${ZANDOREL_SDL_PREFIX}")
else()
    set(CMAKE_FIND_ROOT_PATH /usr/${ZANDOREL_MINGW_HOST})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests play the game under Wine. Debian's wine64 keeps its programs off the PATH.
find_program(ZANDOREL_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(ZANDOREL_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${ZANDOREL_WINE})
endif()
