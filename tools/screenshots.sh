#!/usr/bin/env bash
# Plays through the real game under a virtual X server and saves a picture of each screen to
# docs/screenshots/, for the README. Run it again whenever the pictures or levels change.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out="$root/docs/screenshots"

. tools/common.sh
bash tools/setup.sh test
cmake --preset plain >/dev/null
cmake --build --preset plain >/dev/null

work=$(mktemp -d)
xvfb_pid=""
game_pid=""
cleanup() {
    [ -n "$game_pid" ] && kill "$game_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

cp -r build/graphics build/data "$work/"
rm -f "$work/data/highscores.txt"
printf '120\n95\n60\n35\n10\n' > "$work/data/highscores.txt"

exec 3< <(Xvfb -displayfd 1 -screen 0 320x260x24 -nolisten tcp 2>/dev/null & echo "pid $!")
read -r -t 10 pidline <&3 || { echo "screenshots: Xvfb did not start" >&2; exit 1; }
xvfb_pid=${pidline#pid }
read -r -t 10 display <&3 || { echo "screenshots: Xvfb gave no display" >&2; exit 1; }
export DISPLAY=":$display"

(cd "$work" && exec "$root/build/zandorel") &
game_pid=$!
window=$(timeout 10 xdotool search --sync --name '^Zandorel$' | head -1) ||
    { echo "screenshots: the game window did not appear" >&2; exit 1; }

mkdir -p "$out"
shot() {
    sleep 0.4
    xwd -silent -id "$window" | convert xwd:- -crop 256x240+0+0 +repage -scale 200% "$out/$1.png"
    echo "screenshots: $out/$1.png"
}
# Pointer positions are window pixels; the window sits at the screen's top-left corner.
point() { xdotool mousemove --sync "$1" "$2"; sleep 0.1; }
click() { point "$1" "$2"; xdotool click "${3:-1}"; sleep 0.2; }

point 120 135
shot title
click 120 135                   # start
shot tutorial
click 170 113                   # continue
sleep 3                         # the goal shows for two seconds
for cell in "12 31" "35 31" "58 54"; do
    # shellcheck disable=SC2086
    click $cell
done
shot play
sleep 25                        # level 1 runs out of time
shot gameover
click 170 113                   # back to the title
click 120 145                   # high scores
shot highscores
xdotool key Escape
wait "$game_pid" || true
game_pid=""
