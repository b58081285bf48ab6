"""The road of a game: the tutorial, a level from preview to solve, the next level, the win."""

import unittest

from harness import (CONTINUE, HIGH_SCORES, START, GameTest, grid, high_score_rows,
                     logged_scores, play_labels, rows_of, scores_text, table_after, tile_centre)

TUTORIAL = ("WELCOME, TESTER! / / LEFT CLICK A TILE TO TURN IT INTO THE NEXT KIND. RIGHT CLICK "
            "SHOWS THE GOAL AND HIDES IT AGAIN. MATCH THE GOAL BEFORE THE CLOCK RUNS OUT!")
# Greedy wrap at 14 cells of 8 pixels (114 pixels), "/" alone forcing a break.
TUTORIAL_LINES = ["WELCOME,", "TESTER!", "", "LEFT CLICK A", "TILE TO TURN", "IT INTO THE",
                  "NEXT KIND.", "RIGHT CLICK", "SHOWS THE", "GOAL AND", "HIDES IT",
                  "AGAIN. MATCH", "THE GOAL", "BEFORE THE", "CLOCK RUNS", "OUT!"]

DOWN = (193, 103)      # scroll-down button at (185, 99), 16 x 8
UP = (193, 15)         # scroll-up button at (185, 11)


def visible(first):
    return TUTORIAL_LINES[first:first + 9]


class PlayTest(GameTest):

    def test_tutorial_text_is_wrapped_and_scrolls_line_by_line(self):
        data = self.make_data()
        # Only the first line counts, its carriage return included in the line end.
        data.level(1, [[0]], [[1]], kinds=2, seconds=30,
                   tutorial=TUTORIAL + "\r\nA SECOND LINE NOBODY SEES")
        game = self.start(data)
        self.wait_for_title(game)
        game.click(*START)
        screen = self.wait_for_text_box(game, visible(0), "the tutorial of level 1")
        self.assertEqual((screen.name(*DOWN), screen.name(*UP), screen.name(*CONTINUE)),
                         ("down0", "up0", "cont0"))
        last = len(TUTORIAL_LINES) - 1
        for first in range(1, last + 1):
            game.click(*DOWN)
            self.wait_for_text_box(game, visible(first), f"scrolling down to line {first}")
        # Scrolling stops with the last line at the top: one more click changes nothing,
        # which shows when the next click up lands one line above the last.
        game.click(*DOWN)
        game.click(*UP)
        self.wait_for_text_box(game, visible(last - 1), "one line up from the end")
        for first in range(last - 2, -1, -1):
            game.click(*UP)
            self.wait_for_text_box(game, visible(first), f"scrolling up to line {first}")
        game.click(*UP)
        game.click(*DOWN)
        self.wait_for_text_box(game, visible(1), "one line down from the top")
        self.assertEqual(logged_scores(game), [0])
        game.click(*CONTINUE)
        screen = self.wait_for_play(game, 1)
        self.assertEqual(play_labels(screen)["score"], "SCORE 0")
        game.key("Escape")
        self.assert_clean_exit(game)

    def test_a_level_is_previewed_played_and_solved_and_the_last_one_wins(self):
        data = self.make_data()
        start = [[0, 0, 0], [0, 0, 0]]
        solution = [[2, 2, 1], [1, 2, 0]]
        # Written on Windows: every line ends in a carriage return and a line feed.
        data.level(1, start, solution, kinds=3, seconds=60, tutorial="SHORT AND SWEET",
                   newline="\r\n")
        # A time limit of 0 never counts down: the level adds nothing to the score.
        data.level(2, [[0, 1]], [[1, 1]], kinds=2, seconds=0)
        data.high_scores(90, 80, 10, 5, 1)
        game = self.start(data)
        self.wait_for_title(game)
        game.click(*START)
        self.wait_for_text_box(game, ["SHORT AND", "SWEET"])
        game.click(*CONTINUE)

        # The solution shows first, with no time yet.
        screen = self.wait_for_play(game, 1)
        self.assertEqual(grid(screen, 2, 3), solution, "the preview shows the solution")
        self.assertEqual(play_labels(screen), {"score": "SCORE 0", "time": "", "level": "LEVEL 1"})

        # Two seconds later the player's grid and the countdown show, one second at a time.
        screen = game.wait_for("the end of the preview",
                               lambda s: grid(s, 2, 3) == start and play_labels(s)["time"])
        seconds = int(play_labels(screen)["time"])
        self.assertTrue(50 <= seconds <= 60, f"countdown starts at {seconds}")
        game.wait_for("the countdown to go down by one",
                      lambda s: play_labels(s)["time"] == str(seconds - 1))

        # Clicks on the first column, the first row and just past the grid hit nothing; the
        # gap after a tile counts for that tile, the last column's and row's gaps included.
        model = [row[:] for row in start]
        for x, y in ((10, 39), (20, 29), (79, 39), (20, 75)):
            game.click(x, y)
        for (x, y), (r, c) in (((11, 30), (0, 0)), ((32, 40), (0, 0)),
                               ((78, 74), (1, 2)), ((33, 52), (1, 1))):
            game.click(x, y)
            model[r][c] += 1
            self.wait_for_grid(game, model, f"a click at ({x}, {y})")
        self.assertEqual(model, [[2, 0, 0], [0, 1, 1]])

        # A right click anywhere shows the solution; left and middle clicks then do nothing,
        # and a second right click shows the player's grid again, unchanged.
        game.click(200, 200, button=3)
        self.wait_for_grid(game, solution, "the first right click")
        game.click(*tile_centre(0, 1))
        game.click(*tile_centre(0, 2), button=2)
        game.click(200, 200, button=3)
        game.click(*tile_centre(0, 1), button=2)
        # Press on one tile, drag to another, release: the click belongs to the release point.
        game.press(*tile_centre(0, 0))
        game.release(*tile_centre(0, 2))
        model[0][2] += 1
        self.wait_for_grid(game, model, "the second right click and the drag")

        # Finish it, cycling tile (1, 2) from the last kind round to the first.
        for r, c in ((0, 1), (0, 1), (1, 0), (1, 1), (1, 2)):
            game.click(*tile_centre(r, c))
            model[r][c] = (model[r][c] + 1) % 3
            self.wait_for_grid(game, model, f"a click on tile ({r}, {c})")
        self.assertEqual(model, [[2, 2, 1], [1, 2, 2]])
        before = int(play_labels(game.last_screen)["time"])
        game.click(*tile_centre(1, 2))
        self.wait_for_text_box(game, ["WOW! YOU MADE", "IT TO LEVEL", "2!"],
                               "the level-2 screen after the solve")
        scores = logged_scores(game)
        self.assertEqual(len(scores), 2, game.log())
        score = scores[1]
        # The seconds left at the solve: what the label showed just before, or a little less.
        self.assertTrue(before - 3 <= score <= before, f"score {score}, time shown {before}")

        game.click(*CONTINUE)
        screen = self.wait_for_play(game, 2)
        self.assertEqual(play_labels(screen)["score"], f"SCORE {score}")
        game.wait_for("level 2 after its preview", lambda s: grid(s, 1, 2) == [[0, 1]])
        self.assertEqual(play_labels(game.last_screen)["time"], "")
        level_two = len(game.log())
        # From level 2 on a click may bring up a pop-up: a bomb scrambles tiles, a clock adds
        # seconds to the countdown, which here had none.
        self.solve_by_looking(game, [[1, 1]], lambda s: s.name(2, 2) == "mermaid")

        # No level 3: the game is won, and the score enters the table by the rules.
        self.wait_for_text_box(game, ["WOW! YOU WIN!", "AND YOU GOT A", "HIGH SCORE!"])
        final = logged_scores(game)[-1]
        clocks = [line for line in game.log()[level_two:]
                  if line.startswith("Loading Resource: ./graphics/clock")]
        if clocks:
            self.assertTrue(0 <= final - score <= 10 * len(clocks), f"{score} -> {final}")
        else:
            self.assertEqual(final, score, "without a clock, level 2 adds nothing")
        self.assertEqual(data.read("data/highscores.txt"),
                         table_after(scores_text(90, 80, 10, 5, 1), final)[1])
        game.click(*CONTINUE)
        self.wait_for_title(game)
        game.click(*HIGH_SCORES)
        screen = game.wait_for("the high-score screen", lambda s: s.text(130, 11, 11) == "HIGH SCORES")
        self.assertEqual(high_score_rows(screen, 6), rows_of("90", "80", str(final), "10", "5"))
        game.key("Escape")
        self.assert_clean_exit(game)

    def test_solving_during_the_preview_adds_no_seconds(self):
        data = self.make_data()
        data.level(1, [[0, 0]], [[1, 0]], kinds=2, seconds=60)
        game = self.start(data)
        self.wait_for_title(game)
        game.click(*START)
        self.wait_for_text_box(game, ["WOW! YOU MADE", "IT TO LEVEL", "1!"])
        game.click(*CONTINUE)
        self.wait_for_play(game, 1)
        game.click(200, 200, button=3)
        screen = self.wait_for_grid(game, [[0, 0]], "the player's grid during the preview")
        self.assertEqual(play_labels(screen)["time"], "", "the preview was over too soon")
        game.click(*tile_centre(0, 0))
        self.wait_for_text_box(game, ["WOW! YOU WIN!"])
        self.assertEqual(logged_scores(game), [0, 0])
        self.assertEqual(data.read("data/highscores.txt"), table_after(None, 0)[1])
        game.close_window()
        self.assert_clean_exit(game)


if __name__ == "__main__":
    unittest.main()
