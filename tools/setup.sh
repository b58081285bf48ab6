#!/usr/bin/env bash
# shellcheck disable=SC2034 # each need's list is read by its name, need_<name>
# Installs what a task needs and this Debian machine lacks; safe to run again.
#
#   tools/setup.sh NEED...
#
#   play      build and play: the compiler, CMake, SDL 1.2's and libpng's development files
#   package   the Debian package (cpack -G DEB): dpkg-shlibdeps and file
#   windows   the Windows zip and setup program: the mingw-w64 cross compiler, NSIS, and SDL
#             1.2's source package, for which a source entry is added to apt's configuration
#             where there is none
#   web       the browser build: Emscripten, and the browsers it is played in (Chromium,
#             Firefox ESR, WebKitGTK's MiniBrowser with its WebDriver under Xvfb) with Node.js
#   bench     the benchmarks: Google Benchmark, and valgrind for instruction counts
#   reproducible  comparing two builds (tools/reproducible.sh): diffoscope, which says where two
#             files differ
#   debian    the Debian source package built in a clean chroot (tools/debian.sh): debootstrap,
#             lintian, autopkgtest to run the package's own test, and piuparts to install,
#             remove and purge it
#   test      every test: play, package, windows, web, reproducible and debian, and what the tests run
#             on top (a virtual X server, xdotool, GoogleTest, SDL2 for the compatibility layer,
#             Wine, clang's libFuzzer and clang-format...)
#
# Only the windows need writes into apt's configuration.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/common.sh

need_play=(g++ cmake make pkg-config libsdl1.2-dev libpng-dev)
need_package=(dpkg-dev file)
# dpkg-dev unpacks the source package with Debian's patches; python3 derives the source entry and
# gives the setup's uninstaller its description; NSIS makes the setup program.
need_windows=(g++-mingw-w64-x86-64 nsis dpkg-dev python3)
# nodejs and npm bring in the browser driver for the web tests; MiniBrowser comes with the driver
# of WebKitGTK, and draws on a virtual X server.
need_web=(emscripten chromium firefox-esr webkit2gtk-driver xvfb nodejs npm)
need_bench=(libbenchmark-dev valgrind)
need_reproducible=(git diffoscope-minimal)
need_debian=(debootstrap dpkg-dev lintian autopkgtest piuparts git xz-utils)
need_test=(
    python3 libgtest-dev libgmock-dev
    # The end-to-end driver: X server, input, screenshots and their pictures, the backtrace of a
    # game that hangs, and Xlib for closing a window as a desktop would.
    xvfb xdotool x11-apps imagemagick gdb libx11-6
    # A window manager on the test's screen, as on a player's desktop, and its remote control.
    openbox wmctrl
    # SDL2, under the SDL 1.2 compatibility layer that tools/sdl12-compat.sh fetches.
    libsdl2-2.0-0
    # What the install tests check the install and the package with; gio starts the menu entry
    # as a desktop would.
    desktop-file-utils appstream man-db lintian libglib2.0-bin
    # The Windows build's tests play it under Wine, and read the resources of its executable.
    wine64 icoutils
    # The picture check's fuzz target, built with clang's libFuzzer, and in the sanitize tree
    # SDL 1.2 with AddressSanitizer, from the source package the windows need makes available.
    clang-14 libclang-rt-14-dev
    # The layout check.
    clang-format-14
)
# What each need takes in beside its own packages.
declare -A takes=([package]=play [windows]=play [web]=play [bench]=play [reproducible]=play
    [test]="play package windows web reproducible debian")

if [ $# -eq 0 ]; then
    sed -n '3,/^set -e/{/^set -e/d;s/^# \{0,1\}//;p}' "$0" >&2
    exit 2
fi
needs=()
for need in "$@"; do
    case $need in
    play | package | windows | web | bench | reproducible | debian | test) ;;
    *)
        echo "$tool: no need called '$need' (play, package, windows, web, bench, reproducible, debian, test)" >&2
        exit 2
        ;;
    esac
    # shellcheck disable=SC2206
    needs+=("$need" ${takes[$need]:-})
done

missing=()
for need in "${needs[@]}"; do
    declare -n list=need_$need
    for name in "${list[@]}"; do
        # A Node.js from outside Debian brings its own npm, and cannot stand beside Debian's.
        if [ "$name" = npm ] && command -v npm >/dev/null; then
            continue
        fi
        if ! dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q "install ok installed" &&
            [[ " ${missing[*]} " != *" $name "* ]]; then
            missing+=("$name")
        fi
    done
    unset -n list
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "$tool: installing ${missing[*]}"
    # Waiting for the lock: on a machine just started, apt's daily run may hold it a while.
    with_fresh_lists as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
        --no-install-recommends -o DPkg::Lock::Timeout=300 "${missing[@]}"
fi

# The Windows build compiles SDL 1.2 from the source package of the very archive this machine
# installs SDL from, so that Debian's patches come along. A fresh machine has no source entry:
# one is derived from the machine's own entry for that archive.
if [[ " ${needs[*]} " == *" windows "* ]] && ! apt-cache showsrc libsdl1.2 >/dev/null 2>&1; then
    if ! grep -rqsE --include='*.list' --include='*.sources' \
        '^[[:space:]]*(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
        if ! entry=$(python3 tools/apt-source-entry.py libsdl1.2-dev); then
            echo "$tool: found no apt entry offering libsdl1.2-dev to derive a source entry from" >&2
            exit 1
        fi
        file=/etc/apt/sources.list.d/zandorel-sdl-source.list
        case "$entry" in
        Types:*) file=/etc/apt/sources.list.d/zandorel-sdl-source.sources ;;
        esac
        echo "$tool: adding a source entry to $file"
        echo "$entry" | as_root tee "$file" >/dev/null
    fi
    as_root apt-get update -qq
    if ! apt-cache showsrc libsdl1.2 >/dev/null 2>&1; then
        echo "$tool: the package lists still hold no source of libsdl1.2" >&2
        exit 1
    fi
fi
