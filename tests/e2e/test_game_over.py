"""Running out of time: the game-over screen, its message and the high-score table."""

import unittest

from harness import (CONTINUE, START, GameTest, logged_scores, play_labels, scores_text,
                     table_after)


class GameOverTest(GameTest):

    def time_out(self, game, level, score):
        """From the level's transition screen through its countdown to the game-over screen."""
        game.click(*CONTINUE)
        screen = self.wait_for_play(game, level)
        self.assertEqual(play_labels(screen)["score"], f"SCORE {score}")
        seen = []

        def note_time(s):
            time = play_labels(s)["time"]
            if time and (not seen or seen[-1] != time):
                seen.append(time)
            return s.name(2, 2) == "mermaid"

        game.wait_for("the countdown to run out", note_time)
        # Two digits, counting down one a second; the time-out comes with the last fire,
        # so "00" never shows.
        self.assertTrue(seen and seen[0] == "03", f"times seen: {seen}")
        self.assertEqual(seen, ["03", "02", "01"][:len(seen)])

    def test_time_out_after_a_solve_carries_the_score_into_the_table(self):
        data = self.make_data()
        data.level(1, [[0]], [[1]], kinds=2, seconds=60)
        data.level(2, [[0, 0]], [[1, 1]], kinds=2, seconds=3)
        stored = scores_text(90, 80, 10, 5, 1)
        data.write("data/highscores.txt", stored)
        game = self.start(data)
        self.wait_for_title(game)
        self.solve_one_tile_level_one(game)
        score = logged_scores(game)[-1]
        self.assertTrue(40 < score <= 60, f"score {score}")
        self.time_out(game, 2, score)
        # "LOST! BUT YOU " fills its line to the last pixel that fits.
        screen = self.wait_for_text_box(game, ["OH NO! YOU", "LOST! BUT YOU", "GOT A HIGH",
                                               "SCORE!"])
        self.assertEqual(screen.name(*CONTINUE), "cont0")
        self.assertEqual(data.read("data/highscores.txt"), table_after(stored, score)[1])
        # Clicks on the message do nothing; continue leads to the title screen.
        game.click(150, 40)
        game.click(*CONTINUE)
        self.wait_for_title(game)
        game.key("Escape")
        self.assert_clean_exit(game)

    def test_each_game_over_updates_the_table_by_the_rules(self):
        data = self.make_data()
        data.level(1, [[0]], [[1]], kinds=2, seconds=3)
        game = self.start(data)
        # Each stored table (None: no file) against a game lost with a score of 0, held to the
        # game's own rule: the message and the table written must be what the rule says.
        cases = [
            None,
            # A tie with the last entry does not enter the table.
            "5\n4\n3\n2\n0\n",
            # Any entry below the score is beaten; the last one drops out.
            "5\n4\n-1\n-2\n-3\n",
            # Line ends written on Windows read the same; the table is rewritten with line feeds.
            "8\r\n6\r\n4\r\n2\r\n0\r\n",
            # A short file reads as zeros after its last entry; a bad entry costs only itself.
            "7 3\n",
            "9\nXYZ\n-5\n",
            "2147483648 900 800 700 600\n",
        ]
        for stored in cases:
            with self.subTest(stored=stored):
                entered, after = table_after(stored, 0)
                message = (["OH NO! YOU", "LOST! BUT YOU", "GOT A HIGH", "SCORE!"] if entered
                           else ["OH NO! YOU", "LOST!"])
                if stored is not None:
                    data.write("data/highscores.txt", stored)
                self.wait_for_title(game)
                # Every new game starts at level 1 with a score of 0.
                game.click(*START)
                self.wait_for_text_box(game, ["WOW! YOU MADE", "IT TO LEVEL", "1!"])
                self.time_out(game, 1, 0)
                self.wait_for_text_box(game, message)
                self.assertEqual(data.read("data/highscores.txt"), after)
                game.click(*CONTINUE)
        self.wait_for_title(game)
        game.close_window()
        self.assert_clean_exit(game)


if __name__ == "__main__":
    unittest.main()
