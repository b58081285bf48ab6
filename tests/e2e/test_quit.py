"""Escape and closing the window end the game with status 0 from every screen."""

import unittest

from harness import CONTINUE, HIGH_SCORES, START, GameTest, play_labels



def title(test, game):
    test.wait_for_title(game)


def high_scores(test, game):
    title(test, game)
    game.click(*HIGH_SCORES)
    game.wait_for("the high-score screen", lambda s: s.text(130, 11, 11) == "HIGH SCORES")


def level_transition(test, game):
    title(test, game)
    game.click(*START)
    test.wait_for_text_box(game, ["WOW! YOU MADE", "IT TO LEVEL", "1!"])


def play(test, game):
    level_transition(test, game)
    game.click(*CONTINUE)
    # Past the preview, so that the countdown's timer is running too.
    game.wait_for("the countdown", lambda s: play_labels(s)["time"] not in ("", "01"))


def game_over(test, game):
    level_transition(test, game)
    game.click(*CONTINUE)
    test.wait_for_text_box(game, ["OH NO! YOU", "LOST!"])


def win(test, game):
    title(test, game)
    game.click(*START)
    test.wait_for_text_box(game, ["WOW! YOU WIN!"])


SCREENS = {
    # screen: (how to get there, seconds of level 1 or None for no level at all)
    "title": (title, 60),
    "high_scores": (high_scores, 60),
    "level_transition": (level_transition, 60),
    "play": (play, 60),
    "game_over": (game_over, 1),
    "win": (win, None),
}


class QuitTest(GameTest):

    def start_at(self, screen):
        reach, seconds = SCREENS[screen]
        data = self.make_data()
        if seconds is not None:
            data.level(1, [[0]], [[1]], kinds=2, seconds=seconds)
        game = self.start(data)
        reach(self, game)
        return game

    def test_escape_acts_on_its_release(self):
        game = self.start_at("title")
        game.key_down("Escape")
        # Held down, Escape does nothing yet: the game still answers the pointer.
        game.move(*START)
        game.wait_for("the hover frame with Escape held", lambda s: s.name(*START) == "start1")
        game.key_up("Escape")
        self.assert_clean_exit(game)


def _quit_test(screen, how):
    def test(self):
        game = self.start_at(screen)
        if how == "escape":
            game.key("Escape")
        else:
            game.close_window()
        self.assert_clean_exit(game)
    return test


for _screen in SCREENS:
    setattr(QuitTest, f"test_escape_from_{_screen}", _quit_test(_screen, "escape"))
    setattr(QuitTest, f"test_window_close_from_{_screen}", _quit_test(_screen, "close"))


if __name__ == "__main__":
    unittest.main()
