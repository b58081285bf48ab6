#!/usr/bin/env bash
# Plays through the real game under a virtual X server and saves a picture of each screen to
# docs/screenshots/, for the README. Run it again whenever the pictures or levels change.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

. tools/common.sh
bash tools/setup.sh test
cmake --preset plain >/dev/null
cmake --build --preset plain >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r build/graphics build/data "$work/"
printf '120\n95\n60\n35\n10\n' > "$work/data/highscores.txt"

# The end-to-end tests' harness starts the X server and the game, drives it and reads it back.
cd tests/e2e
ZANDOREL_BINARY="$root/build/zandorel" PYTHONDONTWRITEBYTECODE=1 \
    python3 - "$work" "$root/docs/screenshots" <<'PYTHON'
import os
import subprocess
import sys
import time

from harness import Folder, Game, XServer

data, out = Folder(sys.argv[1]), sys.argv[2]
os.makedirs(out, exist_ok=True)
xserver = XServer(data.path("xvfb.log"))
game = Game(data, xserver)


def shot(name):
    time.sleep(0.4)
    picture = data.path(name + ".ppm")
    game.wait_for(f"a picture of {name}", lambda screen: True).save_ppm(picture)
    subprocess.run(["convert", picture, "-scale", "200%", os.path.join(out, name + ".png")],
                   check=True)
    print(f"screenshots: {out}/{name}.png")


def click(x, y):
    game.click(x, y)
    time.sleep(0.2)


try:
    game.move(120, 135)
    time.sleep(0.1)
    shot("title")
    click(120, 135)  # start
    shot("tutorial")
    click(170, 113)  # continue
    time.sleep(3)  # the goal shows for two seconds
    for cell in ((12, 31), (35, 31), (58, 54)):
        click(*cell)
    shot("play")
    time.sleep(25)  # level 1 runs out of time
    shot("gameover")
    click(170, 113)  # back to the title
    click(120, 145)  # high scores
    shot("highscores")
    game.key("Escape")
    game.wait_exit()
finally:
    game.stop()
    xserver.stop()
PYTHON
