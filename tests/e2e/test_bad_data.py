"""The game stays up on bad data: pictures, levels, time limits and the high-score file."""

import errno
import os
import stat
import unittest

from harness import (CONTINUE, EXIT, HIGH_SCORES, START, UNDER_WINE, GameTest, bmp_bytes,
                     grid, high_score_rows, play_labels, rows_of, tile_centre)

NOBODY = 65534
UNSAVED_LOSS = ["OH NO! YOU", "LOST! YOUR", "HIGH SCORE", "COULD NOT BE", "SAVED!"]
DAMAGED_PICTURES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "fuzz",
                                "pictures")


def load_failures(game):
    return [line for line in game.log() if line.startswith("Load Failed: ")]


def failed(game, picture):
    return any(line.startswith(f"Load Failed: ./graphics/{picture}") for line in load_failures(game))


class BadPicturesTest(GameTest):

    def test_missing_pictures_leave_gaps_and_the_game_playable(self):
        data = self.make_data()
        for picture in ("title.bmp", "buttonhs.bmp", "mermaid.bmp", "tiles.bmp"):
            data.remove("graphics/" + picture)
        # A FIFO in a picture's place is no picture, and the game does not wait for a writer.
        for picture in ("title.bmp", "tiles.bmp"):
            os.mkfifo(data.path("graphics/" + picture))
        data.level(1, [[0, 0]], [[1, 0]], kinds=2, seconds=60, tutorial="NO PICTURES HERE")
        game = self.start(data)
        screen = game.wait_for("the title buttons", lambda s: s.name(*START) == "start0")
        self.assertEqual([screen.name(10, 10), screen.name(*HIGH_SCORES), screen.name(*EXIT)],
                         ["black", "black", "exit0"])
        game.click(*START)
        self.wait_for_text_box(game, ["NO PICTURES", "HERE"], background="black")
        game.click(*CONTINUE)
        # Without tiles.bmp the tiles are 0 x 0: only the 3-pixel gaps are left to click.
        game.wait_for("the countdown after the preview", lambda s: play_labels(s)["time"])
        self.assertEqual(grid(game.last_screen, 1, 2), [[None, None]])
        game.click(11, 30)
        self.wait_for_text_box(game, ["WOW! YOU WIN!", "AND YOU GOT A", "HIGH SCORE!"],
                               background="black")
        for picture in ("title.bmp", "buttonhs.bmp", "mermaid.bmp", "tiles.bmp"):
            self.assertTrue(failed(game, picture), f"no Load Failed line for {picture}")
        game.key("Escape")
        self.assert_clean_exit(game)

    def test_pictures_that_are_not_bitmaps_fail_to_load_and_the_game_goes_on(self):
        data = self.make_data()
        data.write("graphics/title.bmp", "GIF89a: not a Windows bitmap at all")
        data.write("graphics/buttonexit.bmp", b"")
        # A bitmap cut off after its header and one pixel.
        whole = bmp_bytes(320, 8, lambda x, y: (0, 0, 255))
        data.write("graphics/fontblack.bmp", whole[:57])
        # Damaged headers that made classic SDL 1.2 crash, on the next screen's scroll buttons.
        for picture, damaged in (("buttonup.bmp", "height-minus-2-to-the-31.bmp"),
                                 ("buttondown.bmp", "bits-per-pixel-2052.bmp")):
            with open(os.path.join(DAMAGED_PICTURES, damaged), "rb") as source:
                data.write("graphics/" + picture, source.read())
        data.level(1, [[0]], [[1]], kinds=2, seconds=60, tutorial="INVISIBLE TEXT")
        game = self.start(data)
        screen = game.wait_for("the title buttons", lambda s: s.name(*START) == "start0")
        self.assertEqual([screen.name(10, 10), screen.name(*HIGH_SCORES), screen.name(*EXIT)],
                         ["black", "scores0", "black"])
        game.click(*START)
        # Without its font the tutorial has no width to wrap by, and nothing shows.
        self.wait_for_text_box(game, [])
        self.assertEqual(game.last_screen.name(*CONTINUE), "cont0")
        game.click(*CONTINUE)
        screen = self.wait_for_play(game, 1)
        self.assertEqual(play_labels(screen)["score"], "SCORE 0")
        for picture in ("title.bmp", "buttonexit.bmp", "fontblack.bmp", "buttonup.bmp",
                        "buttondown.bmp"):
            self.assertTrue(failed(game, picture), f"no Load Failed line for {picture}")
        game.key("Escape")
        self.assert_clean_exit(game)


class BadLevelsTest(GameTest):

    def test_malformed_level_files_give_empty_grids_that_pass_at_once(self):
        data = self.make_data()
        malformed = {
            1: "2 3 3\n0 1 x 0 0 0\n",      # text where a number belongs
            2: "2 2 2\n0 1\n1\n",           # cut short
            3: "0 4 2\n",                   # no rows
            4: "",                          # empty
            5: "-2 3 2\n0 0 0 0 0 0\n",     # negative size
            6: "2 2\n",                     # no tile kinds
            # Read in full, but no player could win them:
            7: "1 2 0\n0 1\n0 0\n",          # no kinds
            8: "1 2 3\n0 1\n0 3\n",          # a goal tile no click reaches
            9: "1 1 9\n0\n7\n",              # a goal tile without a picture
            # A cell the window does not show (20-pixel tiles: 10 rows, 11 columns) that
            # differs from its goal.
            10: "11 1 2\n" + "0 " * 11 + "0 " * 10 + "1\n",
            11: "1 12 2\n" + "0 " * 12 + "0 " * 11 + "1\n",
        }
        for level, content in malformed.items():
            data.write(f"data/level{level}.txt", content)
            data.write(f"data/level{level}.tim", "60\n")
        game = self.start(data)
        self.wait_for_title(game)
        game.click(*START)
        for level in malformed:
            self.wait_for_text_box(game, ["WOW! YOU MADE", "IT TO LEVEL", f"{level}!"])
            game.click(*CONTINUE)
        self.wait_for_text_box(game, ["WOW! YOU WIN!"])
        log = game.log()
        for level in malformed:
            prefix = f"TileMatrix::TileMatrix(...) - Bad Level File: ./data/level{level}.txt"
            self.assertTrue(any(line.startswith(prefix) for line in log), f"no line {prefix!r}")
        self.assertEqual([log[i + 1] for i, line in enumerate(log) if line == "SCORE"],
                         ["0"] * (len(malformed) + 1))
        game.key("Escape")
        self.assert_clean_exit(game)

    def test_a_missing_or_wordy_time_file_leaves_the_level_untimed(self):
        data = self.make_data()
        data.level(1, [[0]], [[1]], kinds=2)
        game = self.start(data)
        # Two games on level 1, where no pop-up can change the time: first without a
        # ".tim" file, then with one that holds no number.
        for time_file in (None, "SOON\n"):
            if time_file is not None:
                data.write("data/level1.tim", time_file)
            self.wait_for_title(game)
            game.click(*START)
            self.wait_for_text_box(game, ["WOW! YOU MADE", "IT TO LEVEL", "1!"])
            game.click(*CONTINUE)
            self.wait_for_play(game, 1)
            game.wait_for("the end of the preview", lambda s: grid(s, 1, 1) == [[0]])
            game.hold("no time shows", lambda s: play_labels(s)["time"] == "", seconds=1.5)
            game.click(*tile_centre(0, 0))
            self.wait_for_text_box(game, ["WOW! YOU WIN!"])
            game.click(*CONTINUE)
        self.wait_for_title(game)
        log = game.log()
        untimed = "GameStatePlay::GameStatePlay(...) - No Time Limit in ./data/level1.tim"
        self.assertEqual(sum(line.startswith(untimed) for line in log), 2, log)
        self.assertEqual([log[i + 1] for i, line in enumerate(log) if line == "SCORE"],
                         ["0", "0", "0", "0"])
        game.key("Escape")
        self.assert_clean_exit(game)


class BadHighScoreFileTest(GameTest):

    @staticmethod
    def ordinary_user(*folders):
        """The account the game runs as where a permission must bind: root ignores them, so run
        by root the game runs as nobody, with folders opened to it; else as the tests' own."""
        if os.geteuid() != 0:
            return None
        for folder in folders:
            os.chmod(folder, 0o777)
        return NOBODY

    def test_a_high_score_file_that_cannot_be_read_or_written(self):
        # A folder or a FIFO in the table's place: neither is read nor written, and the game
        # does not wait for a FIFO's writer or reader.
        for kind, make, error in (("folder", os.mkdir, errno.EISDIR),
                                  ("FIFO", os.mkfifo, errno.EINVAL)):
            # Wine shows a FIFO to a Windows program as a file it may write: the table's
            # update does not wait there either, but takes it for a table.
            if kind == "FIFO" and UNDER_WINE:
                continue
            with self.subTest(kind):
                self.play_with_a_table_that_is_no_file(make, error)

    def assert_logged_with_reason(self, game, what, error):
        """The table's line, ending with the system's reason (under Wine, Windows' words)."""
        line = f"GameState::updateHighScores(...) - {what} ./data/highscores.txt: "
        reasons = [said[len(line):] for said in game.log() if said.startswith(line)]
        self.assertEqual(reasons, reasons[:1] if UNDER_WINE else [os.strerror(error)], game.log())
        self.assertTrue(reasons and reasons[0], game.log())

    def play_with_a_table_that_is_no_file(self, make, error):
        data = self.make_data()
        make(data.path("data/highscores.txt"))
        data.level(1, [[0]], [[1]], kinds=2, seconds=60)
        data.level(2, [[0, 0]], [[1, 1]], kinds=2, seconds=1)
        game = self.start(data)
        self.wait_for_title(game)
        game.click(*HIGH_SCORES)
        screen = game.wait_for("the high-score screen",
                               lambda s: s.text(130, 11, 11) == "HIGH SCORES")
        self.assertEqual(high_score_rows(screen, 8), rows_of())
        game.click(*CONTINUE)
        self.wait_for_title(game)
        self.solve_one_tile_level_one(game)
        game.click(*CONTINUE)
        # The table reads as five zeros, so any points enter it; the screen says they were not kept.
        self.wait_for_text_box(game, UNSAVED_LOSS)
        self.assertFalse(stat.S_ISREG(os.stat(data.path("data/highscores.txt")).st_mode))
        self.assertEqual(sorted(os.listdir(data.path("data"))),
                         ["highscores.txt", "level1.tim", "level1.txt", "level2.tim", "level2.txt"])
        self.assert_logged_with_reason(game, "Could Not Write", error)
        game.key("Escape")
        self.assert_clean_exit(game)

    def test_a_read_only_high_score_file_keeps_its_content(self):
        if UNDER_WINE and os.geteuid() == 0:
            self.skipTest("Wine's read-only attribute is the missing write permission, which "
                          "does not bind root, and Wine runs no other user in root's prefix")
        data = self.make_data()
        data.level(1, [[0]], [[1]], kinds=2, seconds=1)
        data.high_scores(50, 40, 30, 20, -10)
        path = data.path("data/highscores.txt")
        os.chmod(path, 0o444)
        # The game runs as an ordinary user, for whom read-only means read-only.
        game = self.start(data, user=self.ordinary_user(data.folder, data.path("data")))
        self.wait_for_title(game)
        game.click(*START)
        game.click(*CONTINUE)
        # Score 0 beats -10 in memory; the file keeps its content, and the screen says so.
        self.wait_for_text_box(game, UNSAVED_LOSS)
        self.assertEqual(data.read("data/highscores.txt"), "50\n40\n30\n20\n-10\n")
        self.assertEqual(stat.S_IMODE(os.stat(path).st_mode), 0o444)
        self.assert_logged_with_reason(game, "Could Not Write", errno.EACCES)
        game.key("Escape")
        self.assert_clean_exit(game)

    def test_a_win_in_a_read_only_folder_without_a_table_says_the_score_was_not_saved(self):
        if UNDER_WINE and os.geteuid() == 0:
            self.skipTest("a folder's missing write permission does not bind root, and Wine "
                          "runs no other user in root's prefix")
        data = self.make_data()
        data.level(1, [[0]], [[1]], kinds=2, seconds=60)
        # The game runs as an ordinary user, for whom the folder is closed to new files.
        user = self.ordinary_user(data.folder)
        os.chmod(data.path("data"), 0o555)
        try:
            game = self.start(data, user=user)
            self.wait_for_title(game)
            game.click(*START)
            game.click(*CONTINUE)
            game.wait_for("level 1 after its preview",
                          lambda s: grid(s, 1, 1) == [[0]] and play_labels(s)["time"])
            game.click(*tile_centre(0, 0))
            self.wait_for_text_box(game, ["WOW! YOU WIN!", "YOUR HIGH", "SCORE COULD",
                                          "NOT BE SAVED!"])
            self.assertFalse(os.path.exists(data.path("data/highscores.txt")))
            self.assert_logged_with_reason(game, "Could Not Write", errno.EACCES)
        finally:
            os.chmod(data.path("data"), 0o755)
        game.key("Escape")
        self.assert_clean_exit(game)

    def test_a_high_score_file_that_cannot_be_read_keeps_its_content(self):
        if UNDER_WINE:
            self.skipTest("a table the player may write but not read is a Unix permission")
        data = self.make_data()
        data.level(1, [[0]], [[1]], kinds=2, seconds=1)
        data.high_scores(50, 40, 30, 20, 10)
        path = data.path("data/highscores.txt")
        # The player's own table, which the player may write but not read.
        user = self.ordinary_user(data.folder, data.path("data"))
        if user is not None:
            os.chown(path, user, user)
        os.chmod(path, 0o200)
        game = self.start(data, user=user)
        self.wait_for_title(game)
        game.click(*START)
        game.click(*CONTINUE)
        # It counts as five zeros, as before, but is not rewritten with the new score alone.
        self.wait_for_text_box(game, ["OH NO! YOU", "LOST!"])
        self.assert_logged_with_reason(game, "Could Not Read", errno.EACCES)
        os.chmod(path, 0o600)
        self.assertEqual(data.read("data/highscores.txt"), "50\n40\n30\n20\n10\n")
        game.key("Escape")
        self.assert_clean_exit(game)


class BadLogFileTest(GameTest):

    def test_a_log_that_is_no_file_or_takes_nothing_leaves_the_game_playing(self):
        # Wine shows a FIFO to a Windows program as a file, and has no /dev/full.
        makes = {"FIFO": os.mkfifo, "folder": os.mkdir,
                 "/dev/full": lambda path: os.symlink("/dev/full", path)}
        for kind, make in makes.items():
            if UNDER_WINE and kind != "folder":
                continue
            with self.subTest(kind):
                data = self.make_data()
                make(data.path("debug.txt"))
                game = self.start(data)
                self.wait_for_title(game)
                game.key("Escape")
                self.assertEqual(game.wait_exit(), 0, game.diagnose(running=False))
                if not UNDER_WINE:
                    self.assertEqual(game.output().count("debug.txt is not a regular file"), 1,
                                     game.output())


if __name__ == "__main__":
    unittest.main()
