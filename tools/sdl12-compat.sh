#!/usr/bin/env bash
# Fetches Debian's SDL 1.2 compatibility layer over SDL2 (the SDL 1.2 that current
# distributions ship) and unpacks it into a folder of the build tree, without installing it:
# the installed classic SDL 1.2 stays what the game links against. SDL2 itself is installed
# by tools/setup.sh (the test need).
#
# Usage: tools/sdl12-compat.sh FOLDER
# Prints the library folder to put in LD_LIBRARY_PATH, FOLDER/lib (CMakePresets.json's compat
# tests name build/sdl12-compat/lib); the game and the tests then load the layer instead of the
# classic library. Safe to run again: it fetches nothing it already has.
set -euo pipefail
# shellcheck source=tools/common.sh
. "$(dirname "$0")/common.sh"

folder=$(tool_folder "$@")
# The shim package puts libSDL-1.2.so.0 here, as a link into the layer's own folder.
libdir="$folder/root/usr/lib/$(gcc -dumpmachine)"

if [ ! -e "$libdir/libSDL-1.2.so.0" ]; then
    packages=(libsdl1.2-compat libsdl1.2-compat-shim)
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    # Downloading as root into a private folder: no need for apt's unprivileged sandbox user.
    download() {
        (cd "$work" && apt-get download -qq -o APT::Sandbox::User=root "${packages[@]}") >&2
    }
    with_fresh_lists download
    rm -rf "$folder/root"
    for deb in "$work"/*.deb; do
        dpkg-deb -x "$deb" "$folder/root"
    done
    if [ ! -e "$libdir/libSDL-1.2.so.0" ]; then
        echo "sdl12-compat: the packages hold no $libdir/libSDL-1.2.so.0" >&2
        exit 1
    fi
fi
ln -sfn "$libdir" "$folder/lib"
echo "$folder/lib"
