"""The modelled player of tools/difficulty.py on small made-up levels, and the chart it draws."""

import contextlib
import io
import os
import random
import struct
import sys
import tempfile
import unittest
import zlib

SOURCE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
sys.path.insert(0, os.path.join(SOURCE, "tools"))
import difficulty  # noqa: E402


def level(start, goal, kinds=5, limit=60, number=1):
    rows, cols = len(start), len(start[0])
    flat = lambda grid: [v for row in grid for v in row]
    return difficulty.Level(number, rows, cols, kinds, flat(start), flat(goal), limit)


class ModelTest(unittest.TestCase):

    def test_a_stretch_is_one_row_of_one_goal_kind_or_one_number_of_clicks(self):
        for what, start, goal, expected in [
            ("one kind in a row", [[0, 0, 0, 1]], [[2, 2, 2, 1]], [(0, 0, 2)]),
            ("one click each, kinds differing", [[0, 1, 2]], [[1, 2, 3]], [(0, 0, 2)]),
            ("an unchanged tile splits it", [[0, 1, 0]], [[2, 1, 2]], [(0, 0, 0), (0, 2, 2)]),
            ("neither kind nor clicks shared", [[0, 0]], [[1, 3]], [(0, 0, 0), (0, 1, 1)]),
            ("rows never join", [[0], [0]], [[1], [1]], [(0, 0, 0), (1, 0, 0)]),
            # Wrapping round: from the last kind one click reaches the first.
            ("clicks counted round the kinds", [[4, 3]], [[0, 4]], [(0, 0, 1)]),
        ]:
            self.assertEqual(difficulty.stretches(level(start, goal)), expected, what)

    def test_the_preview_holds_a_span_and_each_further_span_costs_a_peek(self):
        span = difficulty.SPAN
        for count, peeks in [(span, 0), (span + 1, 1), (3 * span, 2), (3 * span + 1, 3)]:
            # Tiles that must change, one apart: every one a stretch of its own.
            start = [[0] * (2 * count)]
            goal = [[1 if c % 2 == 0 else 0 for c in range(2 * count)]]
            steps = difficulty.plan(level(start, goal))
            self.assertEqual(sum(s[0] == "peek" for s in steps), peeks, count)
            self.assertEqual(sum(s[0] == "click" for s in steps), count)

    def test_seconds_follow_the_numbers_the_readme_gives(self):
        # Two clicks on the middle tile, where the hand starts: 2 x (0.2 + 0.1) s.
        self.assertAlmostEqual(difficulty.Measure(level([[0, 0, 0]], [[0, 2, 0]])).seconds, 0.6)
        # Three tiles across, 69 px to a 20 px tile: log2(69 / 20 + 1) = 2.15 bits at 3.7 bits/s.
        self.assertAlmostEqual(difficulty.pointing((0, 0), (0, 3)), 0.582, places=3)
        # A peek after the four stretches of the preview: 1.35 + 2 x 0.2 + one look of 0.3 s.
        steps = difficulty.plan(level([[0] * 10], [[1, 0] * 5]))
        self.assertEqual([s for s in steps if s[0] == "peek"], [("peek", 1.35 + 0.4 + 0.3)])

    def test_pop_ups_come_from_level_two_on_and_what_bombs_scramble_is_mended(self):
        start = [[0] * 10 for _ in range(9)]
        goal = [[(r + c) % 5 for c in range(10)] for r in range(9)]
        first, later = level(start, goal, number=1), level(start, goal, number=2)
        plain = difficulty.Measure(first).seconds
        self.assertAlmostEqual(difficulty.unlucky_seconds(first), plain)
        games = [difficulty.with_pop_ups(later, random.Random(seed)) for seed in range(200)]
        self.assertGreaterEqual(min(games), plain - 1e-9)
        self.assertGreater(max(games), plain + 1, "no bomb in 200 games")
        self.assertGreater(difficulty.unlucky_seconds(later), plain)

    def test_the_needed_limit_leaves_a_twentieth_over_the_unlucky_game_and_the_watching(self):
        # Two clicks on the middle tile of a first level, without pop-ups: 0.6 s, and 2 s of
        # watching make 2.6, which 3 s leaves a twentieth of itself over and 2 s do not.
        plain = difficulty.unlucky_seconds(level([[0, 0, 0]], [[0, 2, 0]]))
        for unlucky, needed in [(plain, 3), (17, 20), (17.01, 21), (36, 40), (91.2, 99)]:
            self.assertEqual(difficulty.limit_needed(unlucky), needed, unlucky)

    def test_the_chart_is_a_png_whose_bars_grow_with_the_share(self):
        easy = difficulty.Measure(level([[0, 0]], [[1, 1]], limit=60, number=1))
        hard = difficulty.Measure(level([[0, 0]], [[1, 1]], limit=2, number=2))
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "chart.png")
            difficulty.chart([easy, hard], path, scale=1)
            with open(path, "rb") as file:
                data = file.read()
        self.assertEqual(data[:8], b"\x89PNG\r\n\x1a\n")
        width, height = struct.unpack(">II", data[16:24])
        at, idat = 8, b""
        while at < len(data):
            length, kind = struct.unpack(">I4s", data[at:at + 8])
            body = data[at + 8:at + 8 + length]
            self.assertEqual(struct.unpack(">I", data[at + 8 + length:at + 12 + length])[0],
                             zlib.crc32(kind + body), kind)
            idat += body if kind == b"IDAT" else b""
            at += 12 + length
        raw = zlib.decompress(idat)
        self.assertEqual(len(raw), height * (1 + 3 * width))
        colour = difficulty.ACT_COLOURS[0]
        pixel = lambda x, y: tuple(raw[y * (1 + 3 * width) + 1 + 3 * x:][:3])

        def bar_height(column):
            return sum(pixel(column, y) == colour for y in range(height))
        columns = [x for x in range(width) if bar_height(x)]
        self.assertTrue(columns, "no bar drawn")
        first, last = bar_height(columns[0]), bar_height(columns[-1])
        self.assertGreater(last, first, "the harder level's bar is not the taller")

    def test_the_readme_shows_the_chart_of_the_levels_as_they_are(self):
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "chart.png")
            with contextlib.redirect_stdout(io.StringIO()):
                status = difficulty.main(["--data", os.path.join(SOURCE, "data"), "--chart", path])
            self.assertEqual(status, 0)
            with open(path, "rb") as drawn, open(os.path.join(SOURCE, "docs", "difficulty.png"),
                                                 "rb") as shown:
                self.assertTrue(drawn.read() == shown.read(),
                                "docs/difficulty.png is out of date: python3 "
                                "tools/difficulty.py --chart docs/difficulty.png")


if __name__ == "__main__":
    unittest.main()
