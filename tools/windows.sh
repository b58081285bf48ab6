#!/usr/bin/env bash
# The Windows package in one command: set-up, SDL 1.2 built for Windows once (kept in
# build-windows/sdl/), the game cross-built against it with the picture tool built for this
# machine, the zip a player unpacks and plays from, and the setup program that installs it.
#
# Usage: tools/windows.sh     (CMakePresets.json's windows tree, build-windows/)
# Prints the paths of the zip and of the setup program.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/common.sh
bash tools/setup.sh windows >&2
bash tools/sdl-windows.sh build-windows/sdl >/dev/null
cmake --preset windows >&2
cmake --build --preset windows >&2
ls "$PWD"/build-windows/zandorel-*-windows-x86_64.zip "$PWD"/build-windows/zandorel-*-setup.exe
