#!/bin/sh
# Started where no window can be opened, the game says why on standard error and in
# debug.txt, and exits with a non-zero status instead of pretending all went well.
#
# Usage: window_failure.sh BINARY [RUNNER...]
# A Windows build comes with its runner (Wine). There SDL's start-up module sends standard
# error to stderr.txt beside the executable, so the executable is run from the test's folder.
set -u
binary=$1
shift
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cd "$folder" && mkdir graphics data
if [ $# -gt 0 ]; then
    cp "$binary" .
    SDL_VIDEODRIVER=no-such-driver "$@" "./$(basename "$binary")" 2>runner.txt
else
    SDL_VIDEODRIVER=no-such-driver "$binary" 2>stderr.txt
fi
status=$?
fail() { echo "window_failure: $1" >&2; cat stderr.txt debug.txt >&2; exit 1; }
[ "$status" -ne 0 ] || fail "the exit status was 0"
grep -q "cannot open a 256x240 window" stderr.txt || fail "nothing said on standard error"
grep -q "^GraphicsSystem::GraphicsSystem(...) - Screen Not Created: " debug.txt ||
    fail "no line in debug.txt"
echo "window_failure: exit status $status, reason given"
