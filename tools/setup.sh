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
    # binaries with file; gio starts the menu entry as a desktop would.
    libpng-dev desktop-file-utils appstream man-db dpkg-dev file lintian libglib2.0-bin
    # The Windows build: the cross compiler, SDL 1.2's source package (unpacked with its
    # patches by dpkg-dev, above; tools/sdl-windows.sh), and Wine to play the result in the
    # end-to-end tests.
    g++-mingw-w64-x86-64 wine64
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

# The Windows build compiles SDL 1.2 from the source package of the very archive this machine
# installs SDL from, so that Debian's patches come along. A fresh machine has no source entry:
# one is derived from the machine's own entry for that archive.
if ! apt-cache showsrc libsdl1.2 >/dev/null 2>&1; then
    sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        sudo="sudo"
    fi
    if ! grep -rqsE --include='*.list' --include='*.sources' \
        '^[[:space:]]*(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
        if ! entry=$(python3 "$(dirname "$0")/apt-source-entry.py" libsdl1.2-dev); then
            echo "setup: found no apt entry offering libsdl1.2-dev to derive a source entry from" >&2
            exit 1
        fi
        file=/etc/apt/sources.list.d/zandorel-sdl-source.list
        case "$entry" in
        Types:*) file=/etc/apt/sources.list.d/zandorel-sdl-source.sources ;;
        esac
        echo "setup: adding a source entry to $file"
        echo "$entry" | $sudo tee "$file" >/dev/null
    fi
    $sudo apt-get update -qq
    if ! apt-cache showsrc libsdl1.2 >/dev/null 2>&1; then
        echo "setup: the package lists still hold no source of libsdl1.2" >&2
        exit 1
    fi
fi
