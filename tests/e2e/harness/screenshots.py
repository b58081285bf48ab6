"""The README's pictures: plays through the real game on the data set in DATA and saves a
picture of each screen into OUT, as PNG files with no time stamp inside, so that a run that
changes no pixel changes no file. tools/screenshots.sh sets up the data set and runs this:

    ZANDOREL_BINARY=build/zandorel python3 -m harness.screenshots DATA OUT   (in tests/e2e)
"""

import os
import subprocess
import sys
import time

from .game import Game
from .pictures import Folder, game_numbers
from .xserver import XServer


def save_png(ppm, png):
    # ImageMagick writes the time of the conversion into every PNG unless told not to.
    subprocess.run(["convert", ppm, "-scale", "200%", "-define", "png:exclude-chunks=date,time",
                    png], check=True)


def main(data_folder, out):
    data = Folder(data_folder)
    os.makedirs(out, exist_ok=True)
    xserver = XServer(data.path("xvfb.log"))
    game = Game(data, xserver)

    def shot(name):
        time.sleep(0.4)
        picture = data.path(name + ".ppm")
        game.wait_for(f"a picture of {name}", lambda screen: True).save_ppm(picture)
        save_png(picture, os.path.join(out, name + ".png"))
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
        time.sleep(game_numbers.PREVIEW_MS / 1000 + 1)  # the goal shows, then the countdown
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


if __name__ == "__main__":
    main(*sys.argv[1:3])
