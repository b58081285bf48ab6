#!/usr/bin/env bash
# The Windows package in one command: set-up, SDL 1.2 built for Windows once (kept in
# build-windows/sdl/), the game cross-built against it with the picture tool built for this
# machine, and the zip a player unpacks and plays from.
#
# Usage: tools/windows.sh [FOLDER]     (build-windows by default)
# Prints the path of the zip.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh >&2
folder=${1:-build-windows}

jobs=$(nproc)
if [ "$jobs" -gt 2 ]; then
    jobs=2
fi
prefix=$(bash tools/sdl-windows.sh "$folder/sdl")
cmake -S . -B "$folder" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DZANDOREL_SDL_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release >&2
cmake --build "$folder" -j"$jobs" >&2
ls "$(cd "$folder" && pwd)"/zandorel-*-windows-x86_64.zip
