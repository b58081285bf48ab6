"""The window on screens larger than the game: it opens at the largest whole scale that takes
three quarters of the screen, every game pixel a square of one colour, follows a resize, and
the pointer reaches the game pixel under it."""

import unittest

from harness import (START, UNDER_WINE, GameTest, grid, play_labels, tile_centre)

FULL_HD = (1920, 1080)


class ScaledWindowTest(GameTest):

    def start_level(self, screen, start, solution, kinds):
        """A game on a screen of this size, its window expected at 3 x, at level 1 past its
        preview."""
        data = self.make_data()
        data.level(1, start, solution, kinds=kinds, seconds=60)
        game = self.start(data, screen=screen)
        game.expect_window(768, 720, (0, 0, 3))
        return game

    def play(self, game, rows, cols):
        title = self.wait_for_title(game)
        game.click(*START)
        game.click(174, 115)
        game.wait_for("level 1 after its preview",
                      lambda s: None not in sum(grid(s, rows, cols), [])
                      and play_labels(s)["time"])
        return title

    def test_a_full_hd_screen_shows_3_x_3_squares_and_a_tile_cycles_at_its_scaled_place(self):
        game = self.start_level(FULL_HD, [[0, 0]], [[1, 1]], kinds=3)
        title = self.play(game, 1, 2)
        self.assertEqual(title.unsquare_pixels(), [], "game pixels that are not 3 x 3 squares")
        game.click(*tile_centre(0, 1))
        self.wait_for_grid(game, [[0, 1]], "a click at the second tile's scaled place")
        self.assertEqual(game.wait_for("the tiles", lambda s: True).unsquare_pixels(), [])
        game.key("Escape")
        self.assert_clean_exit(game)

    @unittest.skipIf(UNDER_WINE, "resizing the window is the X server's, not Wine's")
    def test_a_resized_window_centres_the_picture_on_black_at_the_scale_that_fits(self):
        game = self.start_level(FULL_HD, [[0]], [[1]], kinds=2)
        self.wait_for_title(game)
        # 1000 x 700 holds the picture twice over, placed at ((1000 - 512) / 2, (700 - 480) / 2).
        for width, height, view in ((1000, 700, (244, 110, 2)), (200, 150, (0, 0, 1)),
                                    (1000, 760, (116, 20, 3)), (1600, 1000, (288, 20, 4))):
            game.resize(width, height)
            game.expect_window(width, height, view)
            screen = game.wait_for(f"the title at {view} in a {width} x {height} window",
                                   lambda s: s.name(10, 10) == "title" and s.border_is_black())
            self.assertEqual(screen.unsquare_pixels(), [], f"in a {width} x {height} window")
        # A click in the left border, where the start button would lie were the window not
        # scaled, lands on the picture's edge: on nothing.
        game._xdotool(["mousemove", "--window", str(game.window), *map(str, START), "click", "1"])
        game.hold("the title stays after a click in the border",
                  lambda s: s.name(10, 10) == "title", 1)
        game.key("Escape")
        self.assert_clean_exit(game)

    @unittest.skipIf(UNDER_WINE, "under Wine each click waits for the game to see its motion")
    def test_a_burst_of_quick_clicks_at_3_loses_none(self):
        game = self.start_level(FULL_HD, [[0, 0, 0]], [[1, 1, 1]], kinds=5)
        self.play(game, 1, 3)
        burst = []
        for col, clicks in ((0, 4), (1, 3), (2, 2)):
            x, y = game.window_point(*tile_centre(0, col))
            burst += ["mousemove", "--window", str(game.window), str(x), str(y),
                      "click", "--repeat", str(clicks), "--delay", "5", "1"]
        game._xdotool(burst)
        self.wait_for_grid(game, [[4, 3, 2]], "a burst of nine clicks")
        game.key("Escape")
        self.assert_clean_exit(game)


if __name__ == "__main__":
    unittest.main()
