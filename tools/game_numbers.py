#!/usr/bin/env python3
"""The game's numbers that its tools, tests and benches share, read from the game's own
sources, so that each is written in one place only: the preview's length, the high-score
table's size, the tile strip's tiles and gaps, where the grid starts, the picture's size, the
window's start, the level count and the levels in an act, the pop-ups' chance, length, clocks
and bombs, and the other waits a player may read of. What cmake/DataSet.cmake fixes (the
table's size, the counts, and numbers in words) is read through CMake itself.

    python3 tools/game_numbers.py NAME     prints one of them (PREVIEW_MS, TABLE_SIZE, ...)
"""

import os
import re
import subprocess
import sys

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")


def _read(path, pattern):
    """The whole number that pattern's group catches in path, from the project's root."""
    with open(os.path.join(ROOT, path), encoding="utf-8") as file:
        found = re.search(pattern, file.read())
    if found is None:
        raise LookupError(f"{path} no longer says /{pattern}/: say here where the number went")
    return int(found.group(1))


def _data_set():
    """What tools/data_set_numbers.cmake prints of cmake/DataSet.cmake, by name."""
    script = os.path.join(ROOT, "tools", "data_set_numbers.cmake")
    cmake = os.environ.get("ZANDOREL_CMAKE", "cmake")
    try:
        result = subprocess.run([cmake, "-P", script], capture_output=True, text=True,
                                timeout=60)
    except FileNotFoundError:
        raise LookupError(f"no {cmake} to read cmake/DataSet.cmake with") from None
    if result.returncode != 0:
        raise LookupError(f"{cmake} -P {script} failed:\n{result.stderr[-2000:]}")
    return dict(line.split(" ", 1) for line in result.stderr.splitlines() if " " in line)


_DATA_SET = _data_set()


def in_words(number):
    """A count in words, as the generated texts write it: 24 gives "twenty-four"."""
    return "zero" if number == 0 else _DATA_SET[f"WORDS_{number}"].lower()


PREVIEW_MS = _read("src/GameStatePlay.h", r"previewMilliseconds = (\d+);")
TABLE_SIZE = int(_DATA_SET["TABLE_SIZE"])
LEVEL_COUNT = int(_DATA_SET["LEVEL_COUNT"])
ACT = int(_DATA_SET["ACT"])
# The picture the game draws, which the window enlarges.
PICTURE_WIDTH = _read("src/Core.cpp", r"new GraphicsSystem\((\d+), \d+,")
PICTURE_HEIGHT = _read("src/Core.cpp", r"new GraphicsSystem\(\d+, (\d+),")
# A window opens at the largest whole scale that takes at most this share of the screen.
START_SHARE = (_read("src/WindowScale.cpp", r"startShareNumerator = (\d+);"),
               _read("src/WindowScale.cpp", r"startShareDenominator = (\d+);"))
# How long a game started without a display waits for one, and the age at which a scratch file
# a killed game left beside the table is removed.
DISPLAY_PATIENCE_MS = _read("src/VideoDriverUnix.cpp", r"displayPatienceMs = (\d+);")
STRAY_AGE_S = _read("src/FileReplace.cpp", r"strayAge = (\d+);")
PICTURES_IN_STRIP = _read("src/TileMatrix.h", r"picturesInStrip = (\d+);")
GAP = _read("src/TileMatrix.cpp", r"constexpr int gap = (\d+);")
GRID_X = _read("src/TileMatrix.h", r"int x = (\d+);")
GRID_Y = _read("src/TileMatrix.h", r"int y = (\d+);")
# The shipped tile strip's size, as its picture source draws it.
TILE = _read("graphics/tiles.pic", r"(?m)^size (\d+) ") // PICTURES_IN_STRIP
# The message screens' text, and the high-score rows below their title.
TEXT_X = _read("src/MessageScreen.h", r"textX = (\d+)")
FIRST_ROW_Y = _read("src/GameStateHighScores.h", r"firstRowY = (\d+)")
ROW_STEP = _read("src/GameStateHighScores.h", r"rowStep = (\d+)")
# After a tile click: the chance in a hundred of a pop-up, and how long one shows (no other
# comes meanwhile).
POPUP_CHANCE = _read("src/GameStatePlay.cpp", r"popupChanceInHundred = (\d+);")
POPUP_MS = _read("src/GameStatePlay.h", r"popupMilliseconds = (\d+);")


def _popups(column):
    """A column of the play screen's table of pop-ups: 0 the seconds each kind adds, 1 the
    tiles it sets at random."""
    with open(os.path.join(ROOT, "src", "GameStatePlay.cpp"), encoding="utf-8") as file:
        table = re.search(r"Popup popups\[\] = \{(.*?)\};", file.read(), re.S)
    if table is None:
        raise LookupError("src/GameStatePlay.cpp no longer holds the table popups[]")
    rows = re.findall(r'\{"[\w.]+", (-?\d+), (\d+)\}', table.group(1))
    return tuple(int(row[column]) for row in rows)


# The tiles each kind of pop-up sets at random (a clock's 0), and the seconds it adds (a bomb's 0).
SCRAMBLED = _popups(1)
ADDED_SECONDS = _popups(0)


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
