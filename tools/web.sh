#!/usr/bin/env bash
# The web site in one command: Debian's emscripten installed if missing, the game compiled to
# WebAssembly with the picture tool built for this machine, and the static site a player's
# browser opens: build-web/site/ and a zip of it.
#
# Usage: tools/web.sh [FOLDER]     (build-web by default)
# Prints the path of the site folder.
set -euo pipefail
cd "$(dirname "$0")/.."
# What the web build needs on top of the plain build's compiler, CMake and libpng (for the
# picture tool).
need=(emscripten nodejs g++ cmake make pkg-config libpng-dev python3)
missing=()
for package in "${need[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "web: installing ${missing[*]}" >&2
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >&2
fi
folder=${1:-build-web}

jobs=$(nproc)
if [ "$jobs" -gt 2 ]; then
    jobs=2
fi
# Debian's emcc runs its JavaScript tools with the node modules Debian installs there.
export NODE_PATH=/usr/share/nodejs
emcmake cmake -S . -B "$folder" -DCMAKE_BUILD_TYPE=Release >&2
cmake --build "$folder" -j"$jobs" >&2
echo "$(cd "$folder" && pwd)/site"
