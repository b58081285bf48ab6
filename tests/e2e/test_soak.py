"""Game after game on one long-lived X server, with the machine busy: every start shows its
window. Such a server refuses a connection now and then; the game must try again rather
than run on without a window."""

import os
import subprocess
import time
import unittest

from harness import RETRY_LINE, Game, GameTest, XServer, _die_with_parent, _stop

STARTS = int(os.environ.get("ZANDOREL_E2E_SOAK_STARTS", "100"))


class StartSoakTest(GameTest):

    def test_every_start_on_a_busy_display_shows_its_window(self):
        data = self.make_data()
        xserver = XServer(data.path("xvfb.log"))
        self.addCleanup(xserver.stop)
        for _ in range(2):
            burner = subprocess.Popen(["sh", "-c", "while :; do :; done"],
                                      preexec_fn=_die_with_parent)
            self.addCleanup(_stop, burner)
        retries = 0
        started = time.monotonic()
        for start in range(1, STARTS + 1):
            try:
                game = Game(data, xserver, env={"SDL_VIDEODRIVER": None})
            except AssertionError as error:
                self.fail(f"start {start} of {STARTS} showed no window: {error}")
            try:
                self.wait_for_title(game)
                game.key("Escape")
                self.assert_clean_exit(game)
                retries += sum(line.startswith(RETRY_LINE) for line in game.log())
            finally:
                game.stop()
        print(f"{STARTS} starts in {time.monotonic() - started:.0f} s, every one with its "
              f"window; the games logged {retries} connection retries")


if __name__ == "__main__":
    unittest.main()
