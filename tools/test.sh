#!/usr/bin/env bash
# Set-up, then every test: the plain build, the same binaries again on the SDL 1.2
# compatibility layer over SDL2, the suite built with AddressSanitizer and
# UndefinedBehaviorSanitizer, then the Windows build under Wine, then the web build in
# headless Chromium (label web). Unit tests run headless; the
# end-to-end tests (label e2e) run the real game under a virtual X server of their own. The
# install tests (label install) run in the plain build only: they check what is installed and
# packaged, which the library underneath and the sanitizers do not change.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh

jobs=$(nproc)
if [ "$jobs" -gt 2 ]; then
    jobs=2
fi
export SDL_VIDEODRIVER=dummy

# Usage: run_suite FOLDER [CMAKE OPTIONS...]; CTEST_OPTIONS holds extra options for ctest.
run_suite() {
    local folder=$1
    shift
    echo "== $folder: configure and build"
    cmake -S . -B "$folder" "$@" >/dev/null
    cmake --build "$folder" -j"$jobs"
    echo "== $folder: tests"
    # shellcheck disable=SC2086
    ctest --test-dir "$folder" -j"$jobs" --output-on-failure --timeout 120 ${CTEST_OPTIONS:-}
}

# Current distributions ship SDL 1.2 as a layer over SDL2, which differs from the classic
# library in pixel formats, start-up events and colour keys. The same unit and end-to-end
# tests run again with the layer loaded ahead of the installed library, which stays as it is.
# Only the plain build: the sanitizers judge the game's own code, which is the same on either
# library, while inside the layer they report SDL2's and D-Bus's allocations kept until exit.
run_on_compat_layer() {
    local folder=$1
    echo "== $folder: tests again on the SDL 1.2 compatibility layer"
    local libdir
    libdir=$(bash tools/sdl12-compat.sh "$folder/sdl12-compat")
    local binary
    for binary in "$folder/zandorel" "$folder/tests/CoreTest"; do
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
    LD_LIBRARY_PATH="$libdir" ZANDOREL_E2E_SDL=compat \
        ctest --test-dir "$folder" -j"$jobs" --output-on-failure --timeout 120 -LE install
}

# The Windows build, packed as it ships: the binary in the zip is the one played, under Wine,
# by the same end-to-end tests, and the one that must report a window it cannot open. SDL for
# Windows is built once and kept in the build tree, as is Wine's prefix.
run_windows() {
    local folder=$1
    echo "== $folder: cross-build for Windows and pack"
    bash tools/windows.sh "$folder"
    echo "== $folder: tests under Wine"
    ctest --test-dir "$folder" -j"$jobs" --output-on-failure --timeout 600
}

# The web build, compiled to WebAssembly, played as a page in headless Chromium (label web). The
# build's own script installs emscripten; the tests' set-up installs the browser and the
# pinned puppeteer-core.
run_web() {
    local folder=$1
    echo "== $folder: WebAssembly build and site"
    bash tools/web.sh "$folder" >/dev/null
    bash tests/web/setup.sh
    echo "== $folder: tests in the browser"
    ctest --test-dir "$folder" --output-on-failure --timeout 600 -L web
}

run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo
run_on_compat_layer build
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    CTEST_OPTIONS="-LE install" run_suite build-sanitize -DCMAKE_BUILD_TYPE=Debug -DZANDOREL_SANITIZE=ON
run_windows build-windows
run_web build-web
echo "== all tests passed"
