#!/usr/bin/env bash
# The web site in one command: set-up (Debian's emscripten), the game compiled to WebAssembly
# with the picture tool built for this machine, and the static site a player's browser opens:
# build-web/site/ and a zip of it (the web preset of CMakePresets.json).
#
# Usage: tools/web.sh     Prints the path of the site folder.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/common.sh
bash tools/setup.sh web >&2
cmake --preset web >&2
cmake --build --preset web >&2
echo "$(pwd)/build-web/site"
