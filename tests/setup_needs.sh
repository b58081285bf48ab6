#!/usr/bin/env bash
# tools/setup.sh with apt, dpkg and sudo stood in for, on a machine where nothing is installed:
# what each need asks apt to install, and what it leaves alone. A player's set-up must stay
# small and leave apt's configuration as it was.
#
# Usage: setup_needs.sh
set -u
setup=$(cd "$(dirname "$0")/.." && pwd)/tools/setup.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
log=$work/log
# Every stand-in notes how it was called. apt-get fails an install until the lists have been
# refreshed once, as on a fresh machine.
stub() {
    printf '#!/bin/sh\necho "%s $*" >>"%s"\n%s\n' "$1" "$log" "${2:-exit 0}" >"$work/bin/$1"
    chmod +x "$work/bin/$1"
}
stub dpkg-query 'exit 1'
stub sudo 'exec "$@"'
stub tee 'cat >/dev/null'
stub apt-cache
stub apt-get "case \$1 in update) touch '$work/fresh' ;; install) [ -e '$work/fresh' ] ;; esac"

failures=0
fail() {
    echo "setup_needs: $1" >&2
    failures=$((failures + 1))
}

# check NEEDS WANTED UNWANTED: setup.sh NEEDS installs every package of WANTED and none of
# UNWANTED; a command or file of UNWANTED must not appear anywhere in what was run.
check() {
    rm -f "$log" "$work/fresh"
    # shellcheck disable=SC2086 # NEEDS are words
    PATH="$work/bin:$PATH" bash "$setup" $1 >/dev/null 2>"$work/err"
    local status=$? problem=""
    local asked
    asked=$(grep '^apt-get install' "$log" | tail -n 1)
    for name in $2; do
        [[ " $asked " == *" $name "* ]] || problem+=" $name not installed;"
    done
    for name in $3; do
        ! grep -q -- "$name" "$log" || problem+=" $name asked for;"
    done
    [ "$status" -eq 0 ] || problem+=" exit status $status: $(cat "$work/err");"
    if [ -n "$problem" ]; then
        fail "$1:$problem"
    else
        echo "setup_needs: $1: as it should"
    fi
}

check play "g++ cmake libsdl1.2-dev libpng-dev" \
    "wine64 lintian valgrind gdb imagemagick mingw emscripten libgtest-dev libclang-rt showsrc tee /etc/apt"
check "play package" "dpkg-dev file cmake" "wine64 mingw showsrc"
check windows "g++-mingw-w64-x86-64 dpkg-dev python3 cmake" "wine64 xvfb emscripten"
# The windows need alone asks whether SDL's source can be had, to add a source entry if not.
grep -q "apt-cache showsrc libsdl1.2" "$log" || fail "windows: no source looked for"
check test "g++ dpkg-dev file g++-mingw-w64-x86-64 wine64 xvfb xdotool libgtest-dev emscripten
    chromium lintian clang-14 libclang-rt-14-dev clang-format-14 diffoscope-minimal debootstrap
    autopkgtest" "valgrind libbenchmark-dev"
check bench "libbenchmark-dev valgrind cmake" "wine64 xvfb"
check reproducible "diffoscope-minimal git cmake" "wine64 mingw emscripten"
# A first install that fails for want of package lists succeeds after a refresh.
grep -qx "apt-get update -qq" "$log" || fail "no refresh after a failed install"

if PATH="$work/bin:$PATH" bash "$setup" no-such-need >/dev/null 2>&1; then
    fail "an unknown need was accepted"
fi
[ "$failures" -eq 0 ]
