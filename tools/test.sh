#!/usr/bin/env bash
# Set-up, then every test: the plain build, the same binaries again on the SDL 1.2
# compatibility layer over SDL2, the suite built with AddressSanitizer and
# UndefinedBehaviorSanitizer, then the Windows build under Wine, then the web build in
# Chromium, Firefox ESR and WebKitGTK (label web), then two clean builds of the Linux binary and the web site
# compared byte for byte, then the Debian source package built in clean chroots and checked. Unit tests run headless; the
# end-to-end tests (label e2e) run the real game under a virtual X server of their own. The
# install tests (label install) run in the plain build only: they check what is installed and
# packaged, which the library underneath and the sanitizers do not change. Both acts played
# at the modelled player's pace (label pace, about twenty minutes) and three rounds of games
# ending together on a slow disk (label slow-disk, two minutes) are left out:
# `ctest --preset pace` and `ctest --preset slow-disk` run them. Each tree and its tests are
# named in CMakePresets.json.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/common.sh
bash tools/setup.sh test
export SDL_VIDEODRIVER=dummy

# Usage: run_suite PRESET: configure, build and test one tree.
run_suite() {
    echo "== $1: configure and build"
    cmake --preset "$1" >/dev/null
    cmake --build --preset "$1"
    echo "== $1: tests"
    ctest --preset "$1"
}

# Current distributions ship SDL 1.2 as a layer over SDL2, which differs from the classic
# library in pixel formats, start-up events and colour keys. The same unit and end-to-end
# tests run again with the layer loaded ahead of the installed library, which stays as it is.
# Only the plain build: the sanitizers judge the game's own code, which is the same on either
# library, while inside the layer they report SDL2's and D-Bus's allocations kept until exit.
run_on_compat_layer() {
    echo "== build: tests again on the SDL 1.2 compatibility layer"
    local libdir
    libdir=$(bash tools/sdl12-compat.sh build/sdl12-compat)
    local binary
    for binary in build/zandorel build/tests/CoreTest; do
        local loaded
        loaded=$(LD_LIBRARY_PATH="$libdir" ldd "$binary" | awk '/libSDL-1\.2/ {print $3}')
        case "$(readlink -f "$loaded")" in
        */sdl12-compat/*) ;;
        *)
            echo "== $binary would load $loaded, not the compatibility layer" >&2
            exit 1
            ;;
        esac
    done
    ctest --preset compat
}

# The Windows build, packed as it ships: the binary in the zip is the one played, under Wine,
# by the same end-to-end tests, and the one that must report a window it cannot open. SDL for
# Windows is built once and kept in the build tree, as is Wine's prefix.
run_windows() {
    echo "== windows: cross-build and pack"
    bash tools/windows.sh
    echo "== windows: tests under Wine"
    ctest --preset windows
}

# The web build, compiled to WebAssembly, played as a page in Chromium, Firefox ESR and
# WebKitGTK, with the browser driver pinned in tests/web/.
run_web() {
    echo "== web: WebAssembly build and site"
    bash tools/web.sh >/dev/null
    bash tests/web/setup.sh
    echo "== web: tests in the browser"
    ctest --preset web
}

# Two clean clones of the same commit, built one after the other in folders of other names, give
# the same bytes. Only the Linux binary and the web site, the cheapest of what ships; by hand,
# tools/reproducible.sh with no part named compares the packages too.
run_reproducible() {
    echo "== reproducible: the Linux binary and the web site, built twice and compared"
    bash tools/reproducible.sh linux web
}

# The Debian source package built the archive's way, twice, each in a clean chroot and compared,
# then lintian, its autopkgtest and piuparts. The chroots are made once per machine and kept.
run_debian() {
    echo "== debian: the source package built in clean chroots and checked"
    as_root bash tools/debian.sh
}

run_suite plain
run_on_compat_layer
run_suite sanitize
run_windows
run_web
run_reproducible
run_debian
echo "== all tests passed"
