#!/usr/bin/env bash
# Builds SDL 1.2 for 64-bit Windows, as a static library with its start-up module (SDLmain),
# from the source package of the archive this machine installs SDL from, Debian's patches
# applied, with the mingw-w64 cross compiler. tools/setup.sh (the windows need) installs the
# compiler and adds the source entry apt needs.
#
# Usage: tools/sdl-windows.sh FOLDER
# Prints the folder SDL is installed into (include/, lib/, lib/pkgconfig/, bin/sdl-config).
# Safe to run again: once built, nothing is fetched or built again.
set -euo pipefail
# shellcheck source=tools/common.sh
. "$(dirname "$0")/common.sh"

host=x86_64-w64-mingw32
folder=$(tool_folder "$@")
prefix="$folder/root"

if [ ! -e "$prefix/lib/libSDLmain.a" ]; then
    rm -rf "$prefix"
    tree=$(fetch_sdl_source "$folder")
    # The game needs video, events, timers and file reading; leaving out the rest shortens the
    # build and drops the DirectX audio and joystick code from the executable.
    (
        cd "$tree"
        logged "$folder/configure.log" ./configure --host="$host" --prefix="$prefix" \
            --disable-shared --enable-static --disable-audio --disable-joystick --disable-cdrom \
            --disable-video-opengl
        logged "$folder/make.log" make -j"$jobs"
        logged "$folder/make.log" make install
    )
    if [ ! -e "$prefix/lib/libSDLmain.a" ]; then
        echo "sdl-windows: the build installed no $prefix/lib/libSDLmain.a" >&2
        exit 1
    fi
fi
echo "$prefix"
