"""The game and its display: it waits a moment for a display that does not answer at once,
and it ends by itself, with a status that says it failed, when its display goes away."""

import time
import unittest

from harness import RETRY_LINE, Game, GameTest, LateXServer
from harness.screenshots import save_png


class DisplayTest(GameTest):

    def test_a_display_that_answers_late_still_gets_the_window(self):
        data = self.make_data()
        xserver = LateXServer(data.path("xvfb.log"), delay=0.7)
        self.addCleanup(xserver.stop)
        game = Game(data, xserver, env={"SDL_VIDEODRIVER": None})
        self.addCleanup(game.stop)
        self.wait_for_title(game)
        log = game.log()
        self.assertTrue(any(line.startswith(RETRY_LINE) for line in log),
                        "the game found a display that was not there yet without trying again")
        self.assertIn("GraphicsSystem::GraphicsSystem(...) - Screen Created", log)
        game.key("Escape")
        self.assert_clean_exit(game)

    def test_game_ends_within_seconds_when_its_x_server_stops(self):
        data = self.make_data()
        game = self.start(data)
        self.wait_for_title(game)
        game.xserver.stop()
        stopped = time.monotonic()
        status = game.wait_exit(timeout=5)
        self.assertNotEqual(status, 0, "the game reported success without its display")
        print(f"the game ended {time.monotonic() - stopped:.2f} s after its X server, "
              f"with status {status}")

    def test_a_readme_picture_taken_again_is_the_same_file(self):
        data = self.make_data()
        game = self.start(data)
        self.wait_for_title(game).save_ppm(data.path("title.ppm"))
        game.key("Escape")
        self.assert_clean_exit(game)
        pictures = []
        for run in range(2):
            if run:
                time.sleep(1.1)  # a time stamp inside would now differ
            pictures.append(data.path(f"title{run}.png"))
            save_png(data.path("title.ppm"), pictures[-1])
        contents = []
        for picture in pictures:
            with open(picture, "rb") as file:
                contents.append(file.read())
        self.assertEqual(contents[0], contents[1])


if __name__ == "__main__":
    unittest.main()
