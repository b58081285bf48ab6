#!/usr/bin/env python3
"""How hard each level is, measured on a modelled player rather than guessed: the seconds the
player needs to solve it and the share of the level's time limit that uses up.

    python3 tools/difficulty.py [--data DIR] [--csv] [--chart PNG]

DIR is the folder of level<N>.txt and level<N>.tim (data/ by default); the levels are read as
the game finds them, from 1 up to the first missing grid. --csv prints one line a level for
the tests; --chart draws the shares as a PNG picture. Beside the plan's seconds it gives those
of an unlucky game with the pop-ups, and the limit that leaves room for it. data/README.md
explains the model and where its numbers come from; the e2e tests play the plan it makes
(`plan`) in the real game.
"""

import argparse
import math
import os
import random
import struct
import sys
import zlib

import game_numbers

# The modelled player. Each figure is explained, with its source, in data/README.md.
CLICK = 0.2             # press and release of a button (keystroke-level model, B + B)
SEE = 0.1               # noticing that a tile changed (one perceptual processor cycle)
FITTS_SLOPE = 1 / 3.7   # seconds per bit of pointing difficulty (a mouse's 3.7 bits/s)
FIXATION = 0.3          # one look at a stretch of the goal (a scene-viewing fixation)
SPAN = 4                # stretches of the goal held in mind at once (working-memory chunks)
DECIDE = 1.35           # making up one's mind to peek and finding one's place again (M)
# What the game itself fixes, read from its sources (tools/game_numbers.py).
PREVIEW = game_numbers.PREVIEW_MS / 1000  # the goal shows this long before the countdown
ACT = game_numbers.ACT                    # levels in an act; the share rises over each act
TILE = game_numbers.TILE                  # the tile's width on screen, the pointing target
STEP = game_numbers.tile_step()           # from one tile's corner to the next


class Level:
    def __init__(self, number, rows, cols, kinds, start, goal, limit):
        self.number, self.rows, self.cols, self.kinds = number, rows, cols, kinds
        self.start, self.goal, self.limit = start, goal, limit

    def clicks_at(self, r, c):
        i = r * self.cols + c
        return (self.goal[i] - self.start[i]) % self.kinds


def read_level(folder, number):
    """Level `number` from its grid and time files; None when its grid file is missing."""
    base = os.path.join(folder, f"level{number}")
    if not os.path.exists(base + ".txt"):
        return None
    with open(base + ".txt") as file:
        values = [int(word) for word in file.read().split()]
    rows, cols, kinds = values[:3]
    cells = rows * cols
    start, goal = values[3:3 + cells], values[3 + cells:3 + 2 * cells]
    if len(goal) != cells:
        raise ValueError(f"{base}.txt holds fewer than two grids of {rows} x {cols}")
    with open(base + ".tim") as file:
        limit = int(file.read().split()[0])
    return Level(number, rows, cols, kinds, start, goal, limit)


def read_levels(folder):
    levels = []
    while True:
        level = read_level(folder, len(levels) + 1)
        if level is None:
            return levels
        levels.append(level)


def stretches(level):
    """What a player has to remember: in reading order, each stretch of neighbouring cells in
    one row that must change and share one goal kind or one number of clicks ("the sail is
    stars", "this row, one click each"). A stretch of one kind is one thing to keep in mind;
    kinds scattered over the grid are as many things as there are cells. Where a cell could
    go either way, the longer stretch is taken."""
    found = []
    for r in range(level.rows):
        c = 0
        while c < level.cols:
            if level.clicks_at(r, c) == 0:
                c += 1
                continue
            kind, clicks = level.goal[r * level.cols + c], level.clicks_at(r, c)
            ends = []
            for same in (lambda k: level.goal[r * level.cols + k] == kind,
                         lambda k: level.clicks_at(r, k) == clicks):
                end = c
                while end + 1 < level.cols and level.clicks_at(r, end + 1) and same(end + 1):
                    end += 1
                ends.append(end)
            found.append((r, c, max(ends)))
            c = max(ends) + 1
    return found


def pointing(frm, to):
    """Seconds to move the pointer from tile frm to tile to: Fitts's law, Shannon's form."""
    distance = math.hypot((to[0] - frm[0]) * STEP, (to[1] - frm[1]) * STEP)
    return FITTS_SLOPE * math.log2(distance / TILE + 1)


def plan(level):
    """The modelled player's solve, as steps in order: ("peek", seconds) for a right click to
    show the goal, a look and a right click to hide it; ("click", row, col, seconds) for a left
    click on a tile, seconds being the time the player takes for it, the pointing included."""
    steps = []
    from_preview = min(SPAN, int(PREVIEW / FIXATION))
    remembered = from_preview
    at = ((level.rows - 1) / 2, (level.cols - 1) / 2)  # the eye and hand start mid-grid
    all_stretches = stretches(level)
    for index, (r, first, last) in enumerate(all_stretches):
        if remembered == 0:
            batch = min(SPAN, len(all_stretches) - index)
            steps.append(("peek", DECIDE + 2 * CLICK + batch * FIXATION))
            remembered = batch
        remembered -= 1
        for c in range(first, last + 1):
            move = pointing(at, (r, c))
            at = (r, c)
            for k in range(level.clicks_at(r, c)):
                steps.append(("click", r, c, (move if k == 0 else 0) + CLICK + SEE))
    return steps


class Measure:
    def __init__(self, level):
        steps = plan(level)
        self.level = level
        self.cells = sum(level.clicks_at(r, c) > 0
                         for r in range(level.rows) for c in range(level.cols))
        self.clicks = sum(1 for s in steps if s[0] == "click")
        self.stretches = len(stretches(level))
        self.peeks = sum(1 for s in steps if s[0] == "peek")
        self.seconds = sum(s[-1] for s in steps)
        self.share = self.seconds / level.limit if level.limit > 0 else 0.0
        self.act = (level.number - 1) // ACT + 1
        self.unlucky = unlucky_seconds(level)
        self.needed = limit_needed(self.unlucky)


# --- the pop-ups -----------------------------------------------------------------------------

# Where the limits must leave room: the player's time in this share of its games, the seconds
# the e2e tests spend watching for a level's end, and the share of the limit left over.
UNLUCKY = 0.99
WATCHING = 2.0
TO_SPARE = 0.05


def with_pop_ups(level, rng, steps=None):
    """Seconds the modelled player takes in one game with the pop-ups, as the e2e tests play it:
    the plan's clicks whatever the bombs did, then the tiles that differ from the goal, mended
    in reading order at the same pace, until none is left. A clock's seconds are not counted."""
    chance, showing = game_numbers.POPUP_CHANCE, game_numbers.POPUP_MS / 1000
    scrambled = game_numbers.SCRAMBLED
    cells = level.rows * level.cols
    grid, clock, quiet = list(level.start), 0.0, 0.0

    def click(i):
        nonlocal quiet
        grid[i] = (grid[i] + 1) % level.kinds
        if level.number > 1 and clock >= quiet and rng.randrange(100) < chance:
            quiet = clock + showing
            for _ in range(rng.choice(scrambled)):
                value, col, row = (rng.randrange(level.kinds), rng.randrange(level.cols),
                                   rng.randrange(level.rows))
                grid[row * level.cols + col] = value

    for step in steps or plan(level):
        clock += step[-1]
        if step[0] == "click":
            click(step[1] * level.cols + step[2])
    at = None
    while True:
        wrong = [i for i in range(cells) if grid[i] != level.goal[i]]
        if not wrong:
            return clock
        for i in wrong:
            for k in range((level.goal[i] - grid[i]) % level.kinds):
                clock += (pointing(at, divmod(i, level.cols)) if at and k == 0 else 0) + CLICK + SEE
                click(i)
            at = divmod(i, level.cols)


def unlucky_seconds(level, games=2000, seed=1):
    """The seconds the player needs in all but the unluckiest 1 % of its games."""
    rng, steps = random.Random(seed), plan(level)
    times = sorted(with_pop_ups(level, rng, steps) for _ in range(games))
    return times[math.ceil(UNLUCKY * games) - 1]


def limit_needed(unlucky):
    """The smallest limit that leaves TO_SPARE of itself over an unlucky game and the watching."""
    return math.ceil((unlucky + WATCHING) / (1 - TO_SPARE) - 1e-9)


# --- the chart ------------------------------------------------------------------------------

# Digits of three by five pixels, row by row, for the chart's axes.
DIGITS = ["111101101101111", "010110010010111", "111001111100111", "111001111001111",
          "101101111001001", "111100111001111", "111100111101111", "111001001001001",
          "111101111101111", "111101111001111"]
INK, GRID, LIMIT, BACK = (40, 40, 40), (215, 215, 215), (200, 40, 40), (255, 255, 255)
ACT_COLOURS = [(60, 110, 200), (235, 140, 40), (60, 160, 90)]


def write_png(path, width, height, pixels):
    """An 8-bit RGB PNG of rows of (r, g, b) tuples; stdlib zlib does the compression."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))
    raw = b"".join(b"\0" + bytes(v for p in row for v in p) for row in pixels)
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    with open(path, "wb") as file:
        file.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
                   + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def chart(measures, path, scale=2):
    """Bars of each level's share of its limit, coloured by act, on lines at every quarter."""
    bar, gap, left, bottom, top, tall = 8, 4, 18, 10, 8, 100
    width = left + len(measures) * (bar + gap) + gap
    height = top + tall + bottom
    canvas = [[BACK] * width for _ in range(height)]

    def put(x, y, colour):
        if 0 <= x < width and 0 <= y < height:
            canvas[y][x] = colour

    def number(x, y, value):
        for i, digit in enumerate(str(value)):
            for k, on in enumerate(DIGITS[int(digit)]):
                if on == "1":
                    put(x + 4 * i + k % 3, y + k // 3, INK)

    floor = top + tall
    for quarter in range(5):
        y = floor - quarter * tall // 4
        for x in range(left - 2, width):
            put(x, y, LIMIT if quarter == 4 else GRID)
        if quarter in (0, 2, 4):
            label = str(quarter * 25)
            number(left - 4 - 4 * len(label), y - 2, label)
    for i, m in enumerate(measures):
        x = left + gap + i * (bar + gap)
        filled = round(min(m.share, 1.2) * tall)
        colour = ACT_COLOURS[(m.act - 1) % len(ACT_COLOURS)]
        for y in range(floor - filled, floor):
            for dx in range(bar):
                put(x + dx, y, colour)
        label = str(m.level.number)
        number(x + bar // 2 - (4 * len(label) - 1) // 2, floor + 3, label)
    big = [[p for p in row for _ in range(scale)] for row in canvas for _ in range(scale)]
    write_png(path, width * scale, height * scale, big)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    default = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data")
    parser.add_argument("--data", default=default, help="the folder of the level files")
    parser.add_argument("--csv", action="store_true", help="one comma-separated line a level")
    parser.add_argument("--chart", help="draw the shares into this PNG file")
    args = parser.parse_args(argv)
    measures = [Measure(level) for level in read_levels(args.data)]
    if not measures:
        print(f"no level1.txt in {args.data}", file=sys.stderr)
        return 1
    if args.csv:
        print("level,act,cells,clicks,stretches,peeks,seconds,limit,share,unlucky,needed")
        for m in measures:
            print(f"{m.level.number},{m.act},{m.cells},{m.clicks},{m.stretches},{m.peeks},"
                  f"{m.seconds:.2f},{m.level.limit},{m.share:.4f},{m.unlucky:.2f},{m.needed}")
    else:
        print("level  act  grid    cells  clicks  stretches  peeks  modelled  limit  share"
              "  unlucky  needed")
        for m in measures:
            grid = f"{m.level.rows}x{m.level.cols}x{m.level.kinds}"
            print(f"{m.level.number:5}  {m.act:3}  {grid:6}  {m.cells:5}  {m.clicks:6}  "
                  f"{m.stretches:9}  {m.peeks:5}  {m.seconds:7.1f}s  {m.level.limit:4}s  "
                  f"{100 * m.share:4.0f}%  {m.unlucky:6.1f}s  {m.needed:5}s")
    if args.chart:
        chart(measures, args.chart)
    return 0


if __name__ == "__main__":
    sys.exit(main())
