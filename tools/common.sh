# shellcheck shell=bash
# Shell code the tools share; sourced, never run on its own:
#   . "$(dirname "$0")/common.sh"
tool=$(basename "$0" .sh)

# At most two jobs at once, for builds and tests alike: the machines these run on are shared,
# and the end-to-end tests' waits are measured in wall time. cmake --build and ctest read these.
jobs=$(nproc)
if [ "$jobs" -gt 2 ]; then
    jobs=2
fi
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-$jobs}
export CTEST_PARALLEL_LEVEL=${CTEST_PARALLEL_LEVEL:-$jobs}

# Runs a command as root: directly when already root, else through sudo.
as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif command -v sudo >/dev/null; then
        sudo "$@"
    else
        echo "$tool: '$*' needs root: run this as root, or install sudo" >&2
        return 1
    fi
}

# Runs an apt command that reads the package lists, and once more after refreshing them when it
# fails: a fresh machine may have no lists yet, an old one lists that name files long gone.
with_fresh_lists() {
    if "$@"; then
        return 0
    fi
    echo "$tool: refreshing the package lists and trying again" >&2
    as_root apt-get update -qq >&2
    "$@"
}

# Wine as the tests and benchmarks run it: in a prefix of the build tree's own, quiet, and
# without the Mono and Gecko installers or menu entries that a fresh prefix would otherwise
# bring up. Debian's wine64 keeps its programs off the PATH.
# shellcheck disable=SC2034 # wine and wineserver are for the caller
wine_environment() {
    export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=;winemenubuilder.exe=d'
    wine=/usr/lib/wine/wine64
    wineserver=/usr/lib/wine/wineserver
}

# Usage: folder=$(tool_folder "$@"): the one argument of a tool that builds or unpacks into a
# folder, made if missing and printed as an absolute path; the usage and exit 2 for any other.
tool_folder() {
    if [ $# -ne 1 ]; then
        echo "usage: $0 FOLDER" >&2
        exit 2
    fi
    mkdir -p "$1"
    (cd "$1" && pwd)
}

# Usage: logged LOG COMMAND...: runs COMMAND with its output added to LOG; when it fails, shows
# LOG's last lines and fails too.
logged() {
    local log=$1
    shift
    "$@" >>"$log" 2>&1 || { tail -n 40 "$log" >&2; return 1; }
}

# Usage: fetch_sdl_source FOLDER: unpacks SDL 1.2's source package of the archive this machine
# installs SDL from (Debian's patches applied) into FOLDER/source, emptied first, and prints the
# tree. Fetched as root into a private folder: no need for apt's unprivileged sandbox user.
fetch_sdl_source() {
    rm -rf "$1/source"
    mkdir -p "$1/source"
    local into="$1/source"
    fetch() {
        (cd "$into" && apt-get source -qq -o APT::Sandbox::User=root libsdl1.2) >&2
    }
    with_fresh_lists fetch
    local tree
    tree=$(find "$into" -mindepth 1 -maxdepth 1 -type d -name 'libsdl1.2-*' | head -n 1)
    if [ -z "$tree" ]; then
        echo "$tool: apt-get source left no libsdl1.2 tree in $into" >&2
        return 1
    fi
    echo "$tree"
}
