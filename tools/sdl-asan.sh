#!/usr/bin/env bash
# Builds the classic SDL 1.2 natively with AddressSanitizer, as a static library, from the same
# source package of the archive as the Windows build (Debian's patches applied), for the picture
# check's fuzz target: whatever the check lets through is then decoded and converted by an SDL
# that reports each read or write out of bounds, instead of one that reads on in silence. Its
# code is also instrumented for libFuzzer, so that a search finds its way into SDL's branches.
# Only the dummy video driver is built; the installed library is left as it is.
# tools/setup.sh (the test need) installs clang and adds the source entry apt needs.
#
# Usage: tools/sdl-asan.sh FOLDER
# Prints the folder SDL is installed into (include/, lib/, bin/sdl-config).
# Safe to run again: once built, nothing is fetched or built again.
set -euo pipefail
# shellcheck source=tools/common.sh
. "$(dirname "$0")/common.sh"

folder=$(tool_folder "$@")
prefix="$folder/root"

if [ ! -e "$prefix/lib/libSDL.a" ]; then
    rm -rf "$prefix"
    tree=$(fetch_sdl_source "$folder")
    # Everything but the video core, the dummy driver, events, timers and file reading is left
    # out: the fuzz target needs no more, and the build stays short.
    (
        cd "$tree"
        logged "$folder/configure.log" \
            env CC=clang-14 \
            CFLAGS="-g -O1 -fno-omit-frame-pointer -fsanitize=address,fuzzer-no-link" \
            LDFLAGS="-fsanitize=address" \
            ./configure --prefix="$prefix" --disable-shared --enable-static \
            --disable-audio --disable-joystick --disable-cdrom --disable-video-opengl \
            --disable-video-x11 --disable-video-dga --disable-video-fbcon \
            --disable-video-directfb --disable-video-ps3 --disable-video-svga \
            --disable-video-ggi --disable-video-aalib --disable-video-caca \
            --disable-video-qtopia --disable-video-picogui --disable-video-xbios \
            --disable-video-gem --disable-input-tslib --disable-pulseaudio --disable-esd \
            --disable-arts --disable-nas --disable-alsa --disable-oss --disable-rpath
        logged "$folder/make.log" make -j"$jobs"
        logged "$folder/make.log" make install
    )
    if [ ! -e "$prefix/lib/libSDL.a" ]; then
        echo "sdl-asan: the build installed no $prefix/lib/libSDL.a" >&2
        exit 1
    fi
fi
echo "$prefix"
