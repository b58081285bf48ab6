"""The title screen, its three buttons and the high-score screen, driven with real input."""

import unittest

from harness import CONTINUE, EXIT, HIGH_SCORES, START, GameTest, high_score_rows, rows_of

# Title buttons: 96 x 9 frames at x = 80; a point is inside when 80 < x < 176 and y < py < y + 9.
BUTTONS = {"start": 130, "scores": 140, "exit": 150}


def frames(screen):
    """The frame each title button shows, read from a pixel well inside it."""
    return {name: screen.name(120, top + 4) for name, top in BUTTONS.items()}


class TitleScreenTest(GameTest):

    def setUp(self):
        self.data = self.make_data()
        self.data.level(1, [[0]], [[1]], kinds=2, seconds=30)
        self.game = self.start(self.data)
        screen = self.wait_for_title(self.game)
        self.assertEqual(frames(screen), {"start": "start0", "scores": "scores0", "exit": "exit0"})

    def hover(self, x, y, expected, what):
        self.game.move(x, y)
        return self.game.wait_for(f"{what}: frames {expected} with the pointer at ({x}, {y})",
                                  lambda s: frames(s) == expected)

    def test_buttons_show_hover_only_strictly_inside_their_frames(self):
        none = {"start": "start0", "scores": "scores0", "exit": "exit0"}
        for name, top in BUTTONS.items():
            over = dict(none, **{name: name + "1"})
            self.hover(120, top + 4, over, "inside")
            # The left column and top row belong to the outside, as do x + width and y + height.
            self.hover(80, top + 4, none, "left edge")
            self.hover(81, top + 4, over, "first column inside")
            self.hover(176, top + 4, none, "right edge")
            self.hover(175, top + 4, over, "last column inside")
            self.hover(120, top, none, "top edge")
            self.hover(120, top + 1, over, "first row inside")
            self.hover(120, top + 9, none, "bottom edge")
            self.hover(120, top + 8, over, "last row inside")
        # The magenta first column of each frame is transparent: the title shows through.
        screen = self.game.last_screen
        for top in BUTTONS.values():
            self.assertEqual(screen.name(80, top + 4), "title")

    def test_a_press_shows_the_pressed_frame_and_dragging_off_cancels_it(self):
        game = self.game
        none = {"start": "start0", "scores": "scores0", "exit": "exit0"}
        for name, top in BUTTONS.items():
            pressed = dict(none, **{name: name + "2"})
            game.press(120, top + 4)
            game.wait_for(f"the pressed frame of {name}", lambda s: frames(s) == pressed)
            game.move(120, 200)
            game.wait_for(f"{name} normal again after dragging off", lambda s: frames(s) == none)
            # Released off the button: no click, not even for the exit button.
            game.release(120, 200)
        hover = {"start": "start1", "scores": "scores0", "exit": "exit0"}
        game.press(*START)
        game.wait_for("the pressed frame", lambda s: frames(s)["start"] == "start2")
        game.move(120, 200)
        game.wait_for("the normal frame after dragging off", lambda s: frames(s)["start"] == "start0")
        game.move(*START)
        game.wait_for("hover, not pressed, back over the button", lambda s: frames(s) == hover)
        game.release(*START)
        # A right press over the button neither presses it nor, on release, clicks it; nor
        # does a middle click.
        game.press(121, 134, button=3)
        game.release(121, 134, button=3)
        game.click(122, 134, button=2)
        # Input is handled in order: once this motion shows, the releases before it were
        # handled too, and the game is still on the title screen.
        self.hover(*HIGH_SCORES, {"start": "start0", "scores": "scores1", "exit": "exit0"},
                   "after the cancelled and right-button presses")
        self.assertEqual(game.last_screen.name(10, 10), "title")

    def test_high_score_screen_lists_the_file_as_stored_and_leads_back(self):
        # Tokens are shown as stored, whatever they hold; only a table's worth count, and a
        # character outside the font (the minus, a Ctrl-Z) is a blank cell. Line ends may be a
        # carriage return and a line feed.
        stored = "120\r\n95   60\r\n\r\nA\x1aC\n-4\n3\n99\n"
        self.data.write("data/highscores.txt", stored)
        game = self.game
        for visit in range(2):
            game.click(*HIGH_SCORES)
            screen = game.wait_for("the high-score screen",
                                   lambda s: s.name(2, 2) == "mermaid"
                                   and s.text(130, 11, 11) == "HIGH SCORES")
            self.assertEqual(high_score_rows(screen, 8),
                             rows_of("120", "95", "60", "A C", " 4", "3", "99"), f"visit {visit + 1}")
            self.assertEqual(screen.name(*CONTINUE), "cont0")
            game.press(*CONTINUE)
            game.wait_for("the pressed continue frame", lambda s: s.name(*CONTINUE) == "cont2")
            game.release(*CONTINUE)
            self.wait_for_title(game)
        self.assertEqual(self.data.read("data/highscores.txt"), stored, "the screen wrote the file")
        self.assertEqual(game.log().count("Core::onEvent(...) - Attempting to Change State"), 4)

    def test_exit_button_ends_the_game_with_status_0(self):
        self.game.click(*EXIT)
        self.assert_clean_exit(self.game)


if __name__ == "__main__":
    unittest.main()
