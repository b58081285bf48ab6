#!/bin/sh
# Started where no window can be opened, the game says why in one sentence on standard error
# and in debug.txt, writes nothing on standard output, and exits with a non-zero status
# within a few seconds instead of running on with no window (a text-mode or off-screen
# driver) or pretending all went well.
set -u
binary=$1
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cd "$folder" && mkdir graphics data

# A display number with no server behind it.
free=50
while [ -e "/tmp/.X11-unix/X$free" ] || [ -e "/tmp/.X$free-lock" ]; do
    free=$((free + 1))
done

failures=0
check() {
    what=$1
    shift
    rm -f debug.txt
    started=$(date +%s)
    env "$@" timeout 30 "$binary" >stdout.txt 2>stderr.txt
    status=$?
    seconds=$(($(date +%s) - started))
    problem=""
    if [ "$status" -eq 0 ] || [ "$status" -eq 124 ]; then
        problem="exit status $status"
    elif [ "$seconds" -gt 10 ]; then
        problem="it took $seconds s to give up"
    elif [ -s stdout.txt ]; then
        problem="it wrote on standard output"
    elif ! grep -q "^zandorel: there is no display to open a window on (.*): check DISPLAY" stderr.txt; then
        problem="it did not say why on standard error"
    elif ! grep -q "^GraphicsSystem::GraphicsSystem(...) - No Display: " debug.txt; then
        problem="no line in debug.txt"
    fi
    if [ -n "$problem" ]; then
        echo "window_failure: $what: $problem" >&2
        cat stdout.txt stderr.txt debug.txt >&2
        failures=$((failures + 1))
    else
        echo "window_failure: $what: exit status $status after $seconds s, reason given"
    fi
}

check "a video driver that does not exist" SDL_VIDEODRIVER=no-such-driver
check "no display configured" -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER
check "a display with no server" -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER DISPLAY=":$free"
[ "$failures" -eq 0 ]
