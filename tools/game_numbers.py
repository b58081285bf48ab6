#!/usr/bin/env python3
"""The game's numbers that its tools, tests and benches share, read from the game's own
sources, so that each is written in one place only: the preview's length, the high-score
table's size, the tile strip's tiles and gaps, where the grid starts, the levels in an act, and
the pop-ups' chance, length and bombs.

    python3 tools/game_numbers.py NAME     prints one of them (PREVIEW_MS, TABLE_SIZE, ...)
"""

import os
import re
import sys

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")


def _read(path, pattern):
    """The whole number that pattern's group catches in path, from the project's root."""
    with open(os.path.join(ROOT, path), encoding="utf-8") as file:
        found = re.search(pattern, file.read())
    if found is None:
        raise LookupError(f"{path} no longer says /{pattern}/: say here where the number went")
    return int(found.group(1))


PREVIEW_MS = _read("src/GameStatePlay.h", r"previewMilliseconds = (\d+);")
TABLE_SIZE = _read("src/HighScoreTable.h", r"static constexpr int size = (\d+);")
PICTURES_IN_STRIP = _read("src/TileMatrix.cpp", r"picturesInStrip = (\d+);")
GAP = _read("src/TileMatrix.cpp", r"constexpr int gap = (\d+);")
GRID_X = _read("src/TileMatrix.h", r"int x = (\d+);")
GRID_Y = _read("src/TileMatrix.h", r"int y = (\d+);")
# The shipped tile strip's size, as its picture source draws it.
TILE = _read("graphics/tiles.pic", r"(?m)^size (\d+) ") // PICTURES_IN_STRIP
ACT = _read("cmake/DataSet.cmake", r"set\(ZANDOREL_LEVELS_IN_AN_ACT (\d+)\)")
# The message screens' text, and the high-score rows below their title.
TEXT_X = _read("src/MessageScreen.h", r"textX = (\d+)")
FIRST_ROW_Y = _read("src/GameStateHighScores.h", r"firstRowY = (\d+)")
ROW_STEP = _read("src/GameStateHighScores.h", r"rowStep = (\d+)")
# After a tile click: the chance in a hundred of a pop-up, and how long one shows (no other
# comes meanwhile).
POPUP_CHANCE = _read("src/GameStatePlay.cpp", r"popupChanceInHundred = (\d+);")
POPUP_MS = _read("src/GameStatePlay.h", r"popupMilliseconds = (\d+);")


def _scrambled():
    """The tiles each kind of pop-up sets at random, in the play screen's table (a clock's 0)."""
    with open(os.path.join(ROOT, "src", "GameStatePlay.cpp"), encoding="utf-8") as file:
        table = re.search(r"Popup popups\[\] = \{(.*?)\};", file.read(), re.S)
    if table is None:
        raise LookupError("src/GameStatePlay.cpp no longer holds the table popups[]")
    return tuple(int(n) for n in re.findall(r'\{"[\w.]+", -?\d+, (\d+)\}', table.group(1)))


SCRAMBLED = _scrambled()


def _backgrounds():
    """The pictures the screens lay behind everything (a SplashScreen each), by file name."""
    folder = os.path.join(ROOT, "src")
    with open(os.path.join(folder, "MessageScreen.h"), encoding="utf-8") as file:
        shared = re.search(r'background = "([^"]+)"', file.read()).group(1)
    found = set()
    for name in sorted(os.listdir(folder)):
        if name.endswith(".cpp"):
            with open(os.path.join(folder, name), encoding="utf-8") as file:
                for given in re.findall(r"new SplashScreen\(\w+, ([^)]+)\)", file.read()):
                    found.add(shared if given == "background" else given.strip('"'))
    return tuple(sorted(found))


BACKGROUNDS = _backgrounds()


def tile_step(tile=TILE):
    """From one tile's corner to the next, across or down, for tiles of that width."""
    return tile + GAP


if __name__ == "__main__":
    print(globals()[sys.argv[1]])
