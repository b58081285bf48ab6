#!/bin/sh
# Started where no window can be opened, the game says why in one sentence on standard error
# and in debug.txt, writes nothing on standard output, and exits with a non-zero status
# within a few seconds instead of running on with no window (a text-mode or off-screen
# driver) or pretending all went well.
#
# Usage: window_failure.sh BINARY [RUNNER...]
# A Windows build comes with its runner (Wine). There SDL's start-up module sends standard
# output and error to stdout.txt and stderr.txt beside the executable, so the executable is
# run from the test's folder and the runner's own output goes elsewhere.
set -u
binary=$1
shift
runner="$*"
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cd "$folder" && mkdir graphics data
if [ -n "$runner" ]; then
    cp "$binary" .
    binary="./$(basename "$binary")"
fi
said="^zandorel: there is no display to open a window on (.*): check DISPLAY"
logged="^GraphicsSystem::GraphicsSystem(...) - No Display: "

# A display number with no server behind it.
free=50
while [ -e "/tmp/.X11-unix/X$free" ] || [ -e "/tmp/.X$free-lock" ]; do
    free=$((free + 1))
done

failures=0
check() {
    what=$1
    shift
    rm -f debug.txt stdout.txt stderr.txt
    started=$(date +%s)
    if [ -n "$runner" ]; then
        # shellcheck disable=SC2086
        env "$@" timeout 30 $runner "$binary" >runner.txt 2>&1
    else
        env "$@" timeout 30 "$binary" >stdout.txt 2>stderr.txt
    fi
    status=$?
    seconds=$(($(date +%s) - started))
    problem=""
    if [ "$status" -eq 0 ] || [ "$status" -eq 124 ]; then
        problem="exit status $status"
    elif [ "$seconds" -gt 10 ]; then
        problem="it took $seconds s to give up"
    elif [ -s stdout.txt ]; then
        problem="it wrote on standard output"
    elif ! grep -q "$said" stderr.txt; then
        problem="it did not say why on standard error"
    elif ! grep -q "$logged" debug.txt; then
        problem="no line in debug.txt"
    elif [ -n "${unwanted:-}" ] && grep -q "$unwanted" debug.txt; then
        problem="it waited for a display it cannot draw on"
    fi
    if [ -n "$problem" ]; then
        echo "window_failure: $what: $problem" >&2
        cat stdout.txt stderr.txt debug.txt runner.txt >&2 2>/dev/null
        failures=$((failures + 1))
    else
        echo "window_failure: $what: exit status $status after $seconds s, reason given"
    fi
}

if [ -z "$runner" ]; then
    check "a video driver that does not exist" SDL_VIDEODRIVER=no-such-driver
    check "no display configured" -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER
    check "a display with no server" -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER DISPLAY=":$free"
    # Classic SDL has no Wayland driver: it says at once what will work instead of blaming
    # the compositor after a wait. The layer over SDL2 has one, and gives the display its
    # moment, as it would an X display.
    if [ "${ZANDOREL_E2E_SDL:-}" != compat ]; then
        said="^zandorel: there is no display .*: start it on an X display, such as the desktop's Xwayland"
        unwanted="Trying Again"
    fi
    check "a Wayland display only" -u DISPLAY -u SDL_VIDEODRIVER WAYLAND_DISPLAY=zandorel-none
else
    # Windows names no display, so the advice leaves DISPLAY out. Wine with no X server to
    # draw on is a Windows whose own video drivers cannot start.
    said="^zandorel: there is no display to open a window on (SDL_VIDEODRIVER is no-such-driver): check SDL_VIDEODRIVER"
    check "a video driver that does not exist" SDL_VIDEODRIVER=no-such-driver
    said="^zandorel: there is no display to open a window on (none of SDL's Windows drivers started): check SDL_VIDEODRIVER"
    check "Wine with no X server" -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER DISPLAY=":$free"
fi
[ "$failures" -eq 0 ]
