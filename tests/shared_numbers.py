"""The game's shared numbers where prose and the first table say them again: each place must
say what the game's sources fix (tools/game_numbers.py reads them), and a failure names the one
place to change and every place that must follow it."""

import os
import re
import sys
import unittest

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
sys.path.insert(0, os.path.join(ROOT, "tools"))
import game_numbers as n  # noqa: E402

WORDS = "zero one two three four five six seven eight nine ten eleven twelve".split()


def words(number):
    return WORDS[int(number)] if number == int(number) and number < len(WORDS) else f"{number:g}"


def says(path, phrase):
    """Whether the file holds phrase, any run of blanks as one; a phrase in brackets is the
    whole file."""
    with open(os.path.join(ROOT, path), encoding="utf-8") as file:
        text = file.read()
    if isinstance(phrase, list):
        return [text] == phrase
    return re.search(r"\s+".join(map(re.escape, phrase.split())), text) is not None


class SharedNumbersTest(unittest.TestCase):

    def follow(self, number, source, places):
        lines = [f"  {path}: {phrase!r}{'' if says(path, phrase) else '  <- not there'}"
                 for path, phrase in places]
        if any(line.endswith("not there") for line in lines):
            self.fail(f"{number}, as {source} fixes it, must be written in every place below:\n"
                      + "\n".join(lines))

    def test_each_place_says_what_the_sources_fix(self):
        s, w, t = words(n.PREVIEW_MS / 1000), words(n.TABLE_SIZE), n.TILE
        self.follow(f"a preview of {n.PREVIEW_MS} ms", "src/GameStatePlay.h", [
            ("README.md", f"is shown for {s} seconds when a level starts"),
            ("README.md", f"The goal shows for the first {s} seconds"),
            ("docs/windows/README.txt", f"The goal shows for the first {s} seconds"),
            ("dist/zandorel.6", f"The goal shows for the first {s} seconds"),
            ("dist/io.github.zandorel.Zandorel.metainfo.xml", f"The goal shows for {s} seconds"),
            ("data/README.md", f"The {s}-second preview"),
            ("BENCHMARKS.md", f"after the {s}-second preview")])
        self.follow(f"a table of {n.TABLE_SIZE}", "HighScoreTable::size in src/HighScoreTable.h", [
            ("data/highscores.txt", ["0\n" * n.TABLE_SIZE]),
            ("README.md", f"The {w} best scores are kept."),
            ("debian/control", f"the {w} best scores are kept."),
            ("README.md", f"the {w} best scores, one per line"),
            ("README.md", f"counts as {w} zeros"),
            ("README.md", f"The table is the first {w} entries"),
            ("data/README.md", f"{w} lines of 0"),
            ("data/README.md", f"shows {w} zeros rather than {w} blank rows"),
            ("data/README.md", f"reads the first {w} white-space separated entries"),
            ("data/README.md", f"writes the table back as {w} lines")])
        self.follow(f"tiles {t} pixels wide", "graphics/tiles.pic", [
            ("data/README.md", f"W the tile's {t} pixels"),
            ("graphics/README.md", f"{n.PICTURES_IN_STRIP} tiles of {t} x {t}")])
        self.follow(f"acts of {n.ACT} levels", "ZANDOREL_LEVELS_IN_AN_ACT in cmake/DataSet.cmake",
                    [("data/README.md", f"Levels 1 to {n.ACT} are the first act")])
        bombs = sorted(set(n.SCRAMBLED) - {0})
        self.follow(f"bombs setting {bombs} tiles", "popups[] in src/GameStatePlay.cpp",
                    [("data/README.md", f"a bomb sets {' or '.join(map(str, bombs))} tiles")])

    def test_the_waits_for_the_table_are_said_as_the_code_fixes_them(self):
        def fixed(path, pattern):
            with open(os.path.join(ROOT, path), encoding="utf-8") as file:
                found = re.search(pattern, file.read())
            self.assertIsNotNone(found, f"{path} no longer fixes the number as {pattern!r}")
            return int(found.group(1))

        lock = fixed("src/FileReplace.cpp", r"lockPatience = std::chrono::seconds\((\d+)\)")
        bound = fixed("src/FileReplace.h", r"tableWait\{(\d+)\}")
        page = fixed("web/page.js", r"patience: (\d+),") / 1000
        self.follow(f"a lock's patience of {lock} s", "lockPatience in src/FileReplace.cpp", [
            ("README.md", f"once the table has stood still for {words(lock)} seconds"),
            ("README.md", f"(the table still for {words(lock)} seconds)"),
            ("src/FileReplace.h", f"and {words(lock)} seconds for one that changes nothing")])
        self.follow(f"a game's end waiting {bound} s", "tableWait in src/FileReplace.h", [
            ("README.md",
             f"Both waits of one game's end together last at most {words(bound)} seconds")])
        self.follow(f"the page's patience of {page:g} s", "patience in web/page.js", [
            ("README.md",
             f"A save the store has not answered within {words(page)} seconds is aborted"),
            ("README.md", f"or its store does not answer within {words(page)} seconds")])


if __name__ == "__main__":
    unittest.main()
