#!/usr/bin/env bash
# Installs whatever the game, its tests and its benchmarks need and is not yet on this
# Debian machine. Safe to run again: it installs nothing that is already there.
set -euo pipefail

packages=(
    g++ cmake make pkg-config
    libsdl1.2-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    xvfb xdotool x11-apps imagemagick
    # The end-to-end driver and the backtrace it takes of a game that hangs; SDL2 for the
    # SDL 1.2 compatibility layer that tools/sdl12-compat.sh fetches beside the build.
    python3 gdb libx11-6 libsdl2-2.0-0
    # Instruction counts for the benchmarks (tools/bench.sh callgrind).
    valgrind
    # The desktop icons (PNG), and what the install tests check the install and the Debian
    # package with: CPack's DEB generator reads dependencies with dpkg-shlibdeps and finds
    # binaries with file.
    libpng-dev desktop-file-utils appstream man-db dpkg-dev file lintian
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        sudo="sudo"
    fi
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
