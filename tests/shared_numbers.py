"""The game's shared numbers where prose, the texts the build fills in and the first table say
them again: each place must say what the game's sources fix (tools/game_numbers.py reads them),
and a failure names the one place to change and every place that must follow it. A text the
build fills in (the manual page, the metainfo, the Windows README) is read as the build fills
it, so that one that writes the number itself rather than the build's words for it is named."""

import os
import re
import sys
import unittest

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
sys.path.insert(0, os.path.join(ROOT, "tools"))
import game_numbers as n  # noqa: E402

# What the build writes in place of its words in the texts it fills in (cmake/DataSet.cmake,
# dist/CMakeLists.txt), and what NSIS is given for the setup program's.
FILLED = {
    "@ZANDOREL_TABLE_SIZE_WORDS@": n.in_words(n.TABLE_SIZE).capitalize(),
    "@ZANDOREL_TABLE_SIZE_LOWER@": n.in_words(n.TABLE_SIZE),
    "${ZANDOREL_TABLE_SIZE_LOWER}": n.in_words(n.TABLE_SIZE),
    "@ZANDOREL_LEVEL_COUNT_WORDS@": n.in_words(n.LEVEL_COUNT).capitalize(),
    "@ZANDOREL_LEVEL_COUNT_LOWER@": n.in_words(n.LEVEL_COUNT),
}
DENOMINATORS = {2: "half", 3: "third", 4: "quarter", 5: "fifth", 6: "sixth", 8: "eighth"}


def words(number):
    """A number as the prose writes it: in words up to twelve, else in figures."""
    return n.in_words(int(number)) if number == int(number) and number <= 12 else f"{number:g}"


def share(numerator, denominator):
    """A share of the screen in words: (3, 4) gives "three quarters"."""
    name = DENOMINATORS.get(denominator, f"{denominator}th")
    return f"{words(numerator)} {name}{'s' if numerator > 1 else ''}"


def start_scale(width, height):
    """The scale a window opens at on a screen of that size, by the rule src/WindowScale.cpp
    keeps."""
    numerator, denominator = n.START_SHARE
    return max(1, min(width * numerator // (denominator * n.PICTURE_WIDTH),
                      height * numerator // (denominator * n.PICTURE_HEIGHT)))


def duration(seconds):
    return "a minute" if seconds == 60 else f"{words(seconds)} seconds"


def says(path, phrase):
    """Whether the file, as the build fills it in, holds phrase, any run of blanks as one; a
    phrase in brackets is the whole file."""
    with open(os.path.join(ROOT, path), encoding="utf-8") as file:
        text = file.read()
    for placeholder, value in FILLED.items():
        text = text.replace(placeholder, value)
    if isinstance(phrase, list):
        return [text] == phrase
    return re.search(r"\s+".join(map(re.escape, phrase.split())), text) is not None


def test_screen():
    """The end-to-end tests' own X screen, too small for the game to enlarge its window."""
    path = os.path.join(ROOT, "tests", "e2e", "harness", "xserver.py")
    with open(path, encoding="utf-8") as file:
        found = re.search(r"else \((\d+), (\d+)\)", file.read())
    if found is None:
        raise LookupError("tests/e2e/harness/xserver.py no longer says SCREEN's size")
    return int(found.group(1)), int(found.group(2))


class SharedNumbersTest(unittest.TestCase):

    def follow(self, number, source, places):
        lines = [f"  {path}: {phrase!r}{'' if says(path, phrase) else '  <- not there'}"
                 for path, phrase in places]
        if any(line.endswith("not there") for line in lines):
            with self.subTest(number):
                self.fail(f"{number}, as {source} fixes it, must be written in every place "
                          "below:\n" + "\n".join(lines))

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
            ("README.md", f"keeping the better {w} of both"),
            ("dist/windows/setup.nsi", f"the best {w} of both"),
            ("dist/zandorel.6", f"The {w} best scores are kept."),
            ("dist/zandorel.6", f"The {w} best scores, one per line."),
            ("dist/io.github.zandorel.Zandorel.metainfo.xml", f"the {w} best scores are kept."),
            ("docs/windows/README.txt", f"The {w} best scores are kept."),
            ("docs/windows/README.txt", f"keeping the {w} best scores of both"),
            ("docs/windows/README.txt", f"the {w} best scores, one per line"),
            ("data/README.md", f"{w} lines of 0"),
            ("data/README.md", f"shows {w} zeros rather than {w} blank rows"),
            ("data/README.md", f"reads the first {w} white-space separated entries"),
            ("data/README.md", f"writes the table back as {w} lines")])
        self.follow(f"tiles {t} pixels wide", "graphics/tiles.pic", [
            ("data/README.md", f"W the tile's {t} pixels"),
            ("graphics/README.md", f"{n.PICTURES_IN_STRIP} tiles of {t} x {t}")])
        kinds = words(n.PICTURES_IN_STRIP)
        self.follow(f"{n.PICTURES_IN_STRIP} kinds of tile", "TileMatrix::picturesInStrip", [
            ("graphics/tiles.pic", f"The {kinds} tile kinds"),
            ("README.md", f"9 × 10 with all {kinds};"),
            ("data/README.md", f"columns) with all {kinds} kinds")])
        self.follow(f"acts of {n.ACT} levels", "ZANDOREL_LEVELS_IN_AN_ACT in cmake/DataSet.cmake", [
            ("data/README.md", f"Levels 1 to {n.ACT} are the first act"),
            ("README.md", f"The levels come in acts of {words(n.ACT)}.")])
        count = n.in_words(n.LEVEL_COUNT)
        self.follow(f"{n.LEVEL_COUNT} levels", "ZANDOREL_LEVEL_COUNT in cmake/DataSet.cmake", [
            ("debian/control", f"{count.capitalize()} levels, played with the mouse"),
            ("dist/io.github.zandorel.Zandorel.metainfo.xml", f"{count.capitalize()} levels, from"),
            ("dist/io.github.zandorel.Zandorel.metainfo.xml", f"First release: {count} levels"),
            ("data/README.md", f"| {n.LEVEL_COUNT} | 9 x 10 |"),
            ("data/README.md", f"{n.ACT + 1} to {n.LEVEL_COUNT} the second")])
        bombs = sorted(set(n.SCRAMBLED) - {0})
        scrambled = " or ".join(map(str, bombs))
        self.follow(f"bombs setting {bombs} tiles", "popups[] in src/GameStatePlay.cpp", [
            ("data/README.md", f"a bomb sets {scrambled} tiles"),
            ("README.md", f"({scrambled} tiles scrambled)"),
            ("docs/windows/README.txt", f"({scrambled} tiles scrambled)"),
            ("dist/zandorel.6", f"which scrambles {scrambled} tiles")])
        clocks = " or ".join(map(str, sorted(set(n.ADDED_SECONDS) - {0})))
        self.follow(f"clocks adding {clocks} seconds", "popups[] in src/GameStatePlay.cpp", [
            ("data/README.md", f"a clock gives {clocks} seconds"),
            ("README.md", f"({clocks} more seconds)"),
            ("docs/windows/README.txt", f"({clocks} more seconds)"),
            ("dist/zandorel.6", f"which adds {clocks} seconds")])

    def test_the_window_and_the_waits_are_said_as_the_sources_fix_them(self):
        width, height = n.PICTURE_WIDTH, n.PICTURE_HEIGHT
        self.follow(f"a picture of {width} x {height}", "the GraphicsSystem src/Core.cpp makes", [
            ("README.md", f"The game draws a {width} × {height} picture"),
            ("README.md", f"the game's {width} × {height} picture"),
            ("dist/zandorel.6", f"The game draws a picture of {width} by {height} pixels.")])
        part = share(*n.START_SHARE)
        hd, uhd = start_scale(1920, 1080), start_scale(3840, 2160)
        self.follow(f"a window opening within {'/'.join(map(str, n.START_SHARE))} of the screen",
                    "startShareNumerator and startShareDenominator in src/WindowScale.cpp", [
                        ("src/WindowScale.h", f"takes no more than {part} of the screen"),
                        ("README.md", f"no more than {part} of the screen ({hd} × on a 1920 × "
                                      f"1080 screen, {uhd} × on a 4K one"),
                        ("dist/zandorel.6", f"no more than {part} of the screen, {hd} times on a "
                                            "1920 by 1080 screen"),
                        ("docs/windows/README.txt", f"({words(hd)} times its size on a 1920 x "
                                                    f"1080 screen, {words(uhd)} on a 4K one)"),
                        ("tests/e2e/test_window.py", f"{part} of the screen")])
        screen = test_screen()
        self.assertEqual(start_scale(*screen), 1,
                         f"the tests' screen {screen} in tests/e2e/harness/xserver.py must be too "
                         "small for the game to enlarge its window")
        self.follow(f"a test screen of {screen[0]} x {screen[1]}", "tests/e2e/harness/xserver.py", [
            ("debian/tests/title-window", f"-screen 0 {screen[0]}x{screen[1]}x24"),
            ("BENCHMARKS.md", f"the suite's {screen[0]} × {screen[1]}")])
        self.follow(f"a wait of {n.DISPLAY_PATIENCE_MS} ms for a display",
                    "displayPatienceMs in src/VideoDriverUnix.cpp", [
                        ("README.md", f"it waits up to {duration(n.DISPLAY_PATIENCE_MS / 1000)} "
                                      "for one"),
                        ("dist/zandorel.6", "a display that does not answer within "
                                            f"{duration(n.DISPLAY_PATIENCE_MS / 1000)}")])
        self.follow(f"scratch files removed at {n.STRAY_AGE_S} s",
                    "strayAge in src/FileReplace.cpp",
                    [("README.md", f"once it is {duration(n.STRAY_AGE_S)} old")])

    def test_the_readme_names_every_set_up_need(self):
        with open(os.path.join(ROOT, "tools", "setup.sh"), encoding="utf-8") as file:
            needs = ", ".join(re.findall(r"(?m)^need_(\w+)=", file.read()))
        self.follow(f"the set-up needs {needs}", "tools/setup.sh", [
            ("README.md", f"names the needs: {needs})"),
            ("README.md", f"installs what a need ({needs}) lacks")])

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
