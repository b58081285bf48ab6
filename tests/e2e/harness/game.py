"""The real game binary in a data set's folder on its own X server, driven with real input and
watched through screenshots; and the test case base that gives each test its own."""

import os
import shutil
import subprocess
import tempfile
import time
import unittest

from .common import (ARTIFACTS, BINARY, COMMAND_TIMEOUT, CONNECT_TRIES, EXPECTED_SDL, UNDER_WINE,
                     WAIT, _die_with_parent, _stop)
from .diagnostics import backtrace, describe_load, describe_machine, describe_threads, stretch
from .pictures import (CONTINUE, HEIGHT, START, WIDTH, DataSet, Screen, button_at, grid,
                       placement, play_labels, tile_centre)
from .wine import OUTPUT_FILES, REFUSED, WINE_INPUT_PAUSE, WINE_PREFIX, Wine
from .xserver import WindowManager, XServer, close_window, x_client, xdotool

# What the game logs each time its display refuses it and it tries again.
RETRY_LINE = "GraphicsSystem::GraphicsSystem(...) - No Display Yet, Trying Again: "


class Game:
    """The real zandorel binary, run in a data set's folder on an X display.

    An installed game is started through its launcher instead (command), and runs in the
    player's folder (workdir) that the launcher makes. A Windows build runs under Wine, in the
    build tree's prefix or the one given (wine)."""

    def __init__(self, data, xserver, user=None, env=None, command=None, workdir=None,
                 wine=None, window_manager=None):
        if command is None and (not BINARY or not os.access(BINARY, os.X_OK)):
            raise AssertionError(f"ZANDOREL_BINARY does not name the game binary: {BINARY!r}")
        self.data = data
        self.workdir = workdir or data.folder
        self.xserver = xserver
        self.display = xserver.display
        # Asked to present through OpenGL, the compatibility layer's software driver keeps a
        # shader cache: each game gets its own, so that no test writes outside its folder and
        # no two games share a cache file.
        self.env = dict(os.environ, DISPLAY=self.display, SDL_VIDEODRIVER="x11",
                        SDL_AUDIODRIVER="dummy", XDG_CACHE_HOME=data.path("cache"))
        self.wine = wine or (Wine(WINE_PREFIX) if UNDER_WINE else None)
        if self.wine:
            self.env = self.wine.environment(self.env)
        # None removes a variable: a player's desktop, say, names no video driver.
        for name, value in (env or {}).items():
            if value is None:
                self.env.pop(name, None)
            else:
                self.env[name] = value
        # In the sanitizer build, what X and the media library keep until exit is theirs.
        suppressions = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                                    "lsan.supp")
        self.env["LSAN_OPTIONS"] = ":".join(
            filter(None, [os.environ.get("LSAN_OPTIONS"), f"suppressions={suppressions}"]))
        if self.wine:
            self.wine.prepare()
        self._out = open(data.path("game.out"), "wb")
        self.process = None
        self.window = None
        self.last_screen = None
        self._pointer = None  # where the last input put the pointer in the window
        self.window_manager = window_manager  # the WindowManager framing the window, if any
        # The window's size and where the game's picture lies in it, (x, y, scale): at its own
        # size on the suite's screen, larger on a larger one (expect_window).
        self.window_size = (WIDTH, HEIGHT)
        self.view = (0, 0, 1)
        if self.wine:
            self._start_under_wine(user)
            return
        # Run as another user, the player's files can be made read-only for the game even
        # when these tests run as root.
        command = command or [BINARY]
        as_user = {}
        if user is not None:
            as_user = {"user": user, "group": user, "extra_groups": []}
            command = [self._stage_runtime(suppressions)]
        self.process = subprocess.Popen(command, cwd=data.folder, env=self.env,
                                        stdin=subprocess.DEVNULL, stdout=self._out,
                                        stderr=subprocess.STDOUT, preexec_fn=_die_with_parent,
                                        **as_user)
        try:
            self.window = self._find_window()
            self._check_library()
        except BaseException:
            self.stop()
            raise

    # -- start-up -------------------------------------------------------------------------

    def _start_under_wine(self, user):
        if user is not None:
            raise AssertionError("under Wine the game runs as the user running the tests")
        self.binary = self.wine.place(BINARY, self.workdir)
        for attempt in range(1, CONNECT_TRIES + 1):
            self.process = self.wine.start(self.binary, self.workdir, self.env, self._out)
            try:
                self.window = self._find_window()
                self._check_library()
                return
            except AssertionError:
                # Refused its display, the game cannot start SDL's Windows drivers and says so.
                # Any other failure, or this one every time, is the test's.
                refused = self.process.poll() == 1 and REFUSED in self.output()
                if not refused or attempt == CONNECT_TRIES:
                    self.stop()
                    raise
                self._end()
            except BaseException:
                self.stop()
                raise
            time.sleep(0.1 * attempt)

    def _stage_runtime(self, suppressions):
        """Copies the binary, the library folders it is told to use and the leak
        suppressions into the data set's folder, which another user can reach while a
        private build tree may be closed to it. Returns the binary's copy."""
        runtime = self.data.path("runtime")
        os.mkdir(runtime)
        binary = shutil.copy2(BINARY, runtime)
        folders = []
        for i, folder in enumerate(filter(None, self.env.get("LD_LIBRARY_PATH", "").split(":"))):
            if os.path.isdir(folder):
                folders.append(shutil.copytree(folder, os.path.join(runtime, f"lib{i}"),
                                               symlinks=True))
        if folders:
            self.env["LD_LIBRARY_PATH"] = ":".join(folders)
        copy = shutil.copy2(suppressions, runtime)
        self.env["LSAN_OPTIONS"] = self.env["LSAN_OPTIONS"].replace(suppressions, copy)
        for root, dirs, files in os.walk(runtime):
            for name in dirs + files:
                path = os.path.join(root, name)
                if not os.path.islink(path):
                    os.chmod(path, os.stat(path).st_mode | 0o555)
        os.chmod(runtime, 0o755)
        return binary

    def _find_window(self):
        started = time.monotonic()
        while time.monotonic() - started < WAIT * stretch():
            self._check_alive("while opening its window")
            ids = self.windows()
            if ids:
                return ids[0]
            time.sleep(0.05)
        raise AssertionError(f"no window named Zandorel appeared within "
                             f"{time.monotonic() - started:.0f} s ({describe_load()})\n"
                             + self.diagnose())

    def windows(self):
        """The ids of the windows named Zandorel: the game's, and any message box it shows."""
        found = self._xdotool(["search", "--name", "^Zandorel$"], check=False)
        return [int(w) for w in found.split()]

    def _check_library(self):
        """Makes sure the game runs on the SDL 1.2 this run is meant for."""
        with open(f"/proc/{self.process.pid}/maps") as maps:
            mapped = {line.split()[-1] for line in maps if "/" in line}
        paths = {p for p in mapped if "libSDL" in p}
        if self.wine:
            # Wine maps the executable it runs as a file; SDL is linked into it.
            wine = {p for p in mapped if os.path.basename(p) in ("ntdll.so", "ntdll.dll")}
            exe = os.path.realpath(self.binary)
            if exe not in mapped or not wine or paths:
                seen = sorted(p for p in mapped if "wine" in p or p.endswith(".exe"))
                seen += sorted(paths)
                raise AssertionError(f"expected Wine running {exe} with SDL linked in, but the "
                                     f"process maps {seen}")
            return
        compat = any("sdl12-compat" in p for p in paths) or any("libSDL2" in p for p in paths)
        if (EXPECTED_SDL == "compat") != compat:
            raise AssertionError(f"expected the {EXPECTED_SDL} SDL 1.2, but the game loaded "
                                 f"{sorted(paths)}")

    # -- looking --------------------------------------------------------------------------

    def screen(self):
        """A screenshot, or None while the window cannot be read yet."""
        try:
            result = subprocess.run(["xwd", "-silent", "-id", str(self.window)], env=self.env,
                                    capture_output=True, timeout=COMMAND_TIMEOUT)
        except subprocess.TimeoutExpired:
            raise AssertionError(f"the X server gave no screenshot within {COMMAND_TIMEOUT:.0f} s"
                                 "\n" + self.diagnose()) from None
        if result.returncode != 0 or not result.stdout:
            return None
        try:
            screen = Screen(result.stdout, self.view)
        except ValueError:
            return None
        if (screen.window_width, screen.window_height) != self.window_size:
            return None
        self.last_screen = screen
        return screen

    def wait_for(self, what, condition, timeout=None):
        """Takes screenshots until condition(screen) holds; returns that screen. The wait
        lasts longer on a loaded machine (diagnostics.stretch), judged again when it runs out."""
        timeout = WAIT if timeout is None else timeout
        started = time.monotonic()
        while True:
            self._check_alive(f"while waiting for {what}")
            screen = self.screen()
            if screen is not None and condition(screen):
                return screen
            waited = time.monotonic() - started
            if waited > timeout * stretch():
                raise AssertionError(f"timed out after {waited:.0f} s waiting for {what} "
                                     f"({describe_load()}; the wait is {timeout:.0f} s on an "
                                     "idle machine)\n" + self.diagnose())
            time.sleep(0.03)

    def hold(self, what, condition, seconds):
        """Checks that condition(screen) stays true on every screenshot for a while."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            self._check_alive(f"while checking that {what}")
            screen = self.screen()
            if screen is not None and not condition(screen):
                raise AssertionError(f"it stopped being true that {what}\n" + self.diagnose())
            time.sleep(0.03)

    def log(self):
        path = os.path.join(self.workdir, "debug.txt")
        if not os.path.isfile(path):  # a FIFO in its place would hold this reader
            return []
        with open(path, "rb") as file:
            return file.read().decode().splitlines()

    # -- input ----------------------------------------------------------------------------

    def _xdotool(self, args, check=True):
        try:
            result = xdotool(self.env, args)
        except subprocess.TimeoutExpired:
            raise AssertionError(f"xdotool {' '.join(args)} got no answer from the X server "
                                 f"within {COMMAND_TIMEOUT:.0f} s\n" + self.diagnose()) from None
        if check and result.returncode != 0:
            raise AssertionError(f"xdotool {' '.join(args)} failed: {result.stderr.decode()}")
        return result.stdout.decode()

    def expect_window(self, width, height, view):
        """From now on screenshots count only at this window size, and read and click the game's
        picture where view = (x, y, scale) puts it."""
        self.window_size = (width, height)
        self.view = view

    def follow_window(self):
        """Reads the window's size now, which a window manager may have chosen, and from then
        on expects the picture where the game places it in a window of that size. Returns the
        size."""
        shell = self._xdotool(["getwindowgeometry", "--shell", str(self.window)])
        geometry = dict(line.split("=", 1) for line in shell.split())
        width, height = int(geometry["WIDTH"]), int(geometry["HEIGHT"])
        self.expect_window(width, height, placement(width, height))
        return width, height

    def icon(self):
        """The window's first _NET_WM_ICON picture as (width, height, [0xAARRGGBB, ...]), rows
        top down; None when the window has none."""
        result = x_client(self.env, ["xprop", "-id", str(self.window), "-notype", "32c",
                                     "_NET_WM_ICON"])
        said = result.stdout.decode()
        if result.returncode != 0 or "=" not in said:
            return None
        items = [int(item) for item in said.split("=", 1)[1].replace(",", " ").split()]
        width, height = items[0], items[1]
        return width, height, items[2:2 + width * height]

    def window_point(self, x, y):
        """The window position at the middle of the game pixel (x, y)."""
        left, top, scale = self.view
        return left + x * scale + scale // 2, top + y * scale + scale // 2

    def resize(self, width, height):
        """Resizes the window as a player would, with no window manager to ask. It goes to the
        screen's corner first, so that it stays on the screen, where xwd can read it all."""
        self._xdotool(["windowmove", str(self.window), "0", "0",
                       "windowsize", str(self.window), str(width), str(height)])

    def _at(self, x, y, *actions):
        """Moves the pointer to the game pixel (x, y), then performs the xdotool actions."""
        args = ["mousemove", "--window", str(self.window), *map(str, self.window_point(x, y))]
        if actions and self.wine:
            # Wine lets a button sent right behind a pointer motion reach the game ahead of
            # that motion (a click sent with the move onto the start button pressed where the
            # pointer had been before), and the game puts a press or release where it last saw
            # the pointer move. So the button waits until the game has seen the motion. A
            # pointer already there makes none (Wine reports only a change of position), and
            # the game knows where it is.
            if self._pointer != (x, y):
                self._xdotool(args)
                self._pointer = (x, y)
                self._motion_seen(x, y)
            args = []
        self._xdotool(args + list(actions))
        self._pointer = (x, y)

    def _motion_seen(self, x, y):
        """Waits until the game shows that it took in the pointer's motion to (x, y): over a
        button, its hover look (or its pressed one); elsewhere nothing shows it, and a pause
        that grows with the machine's load stands in (without one a press landed on the old
        spot every time here, after 20 ms never)."""
        screen = self.screen()
        button = button_at(screen, x, y) if screen is not None else None
        if button is None:
            time.sleep(WINE_INPUT_PAUSE * stretch())
            return
        self.wait_for(f"the {button} button's hover look once the pointer is on it",
                      lambda s: s.name(x, y) in (f"{button}1", f"{button}2"))

    def move(self, x, y):
        self._at(x, y)

    def click(self, x, y, button=1):
        """Moves there, then presses and releases the button."""
        self._at(x, y, "click", str(button))

    def press(self, x, y, button=1):
        self._at(x, y, "mousedown", str(button))

    def release(self, x, y, button=1):
        self._at(x, y, "mouseup", str(button))

    def key(self, name, action="key"):
        # Keys go to the window under the pointer: there is no window manager to give focus.
        self._at(128, 230, action, name)

    def key_down(self, name):
        self.key(name, "keydown")

    def key_up(self, name):
        self.key(name, "keyup")

    def close_window(self):
        """Asks the window to close, as a window manager's close button does."""
        close_window(self.display, self.window)

    # -- the end --------------------------------------------------------------------------

    def wait_exit(self, timeout=None):
        timeout = (WAIT if timeout is None else timeout) * stretch()
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError(f"the game did not exit within {timeout:.0f} s "
                                 f"({describe_load()})\n" + self.diagnose()) from None

    def _check_alive(self, when):
        status = self.process.poll()
        if status is not None:
            raise AssertionError(f"the game exited with status {status} {when}\n"
                                 + self.diagnose(running=False))

    def output(self):
        """What the game wrote to standard output and error (under Wine: with Wine's own)."""
        out = ""
        for path in [self.data.path("game.out")] + [os.path.join(self.workdir, name) for name
                                                    in (OUTPUT_FILES if self.wine else ())]:
            try:
                with open(path, "rb") as file:
                    out += file.read().decode(errors="replace")
            except FileNotFoundError:
                pass
        return out

    def diagnose(self, running=True):
        """What a reader of a failure needs: output, log tail, threads and a backtrace."""
        parts = [f"game output:\n{self.output()[-2000:]}",
                 "debug.txt (last lines):\n" + "\n".join(self.log()[-15:]),
                 describe_machine()]
        if running and self.process is not None and self.process.poll() is None:
            parts.append(describe_threads(self.process.pid))
            parts.append(backtrace(self.process.pid))
        parts.append(f"X server output:\n{self.xserver.said()}")
        if self.window_manager is not None:
            parts.append(self.window_manager.describe())
        # A game that holds the X server grabbed stops every other client too.
        if self.xserver.process.poll() is None:
            parts.append("X server " + describe_threads(self.xserver.process.pid))
            parts.append("X server " + backtrace(self.xserver.process.pid))
        if ARTIFACTS and self.last_screen is not None:
            os.makedirs(ARTIFACTS, exist_ok=True)
            path = os.path.join(ARTIFACTS, f"last-screen-{os.getpid()}-{time.time():.0f}.ppm")
            self.last_screen.save_ppm(path)
            parts.append(f"last screenshot: {path}")
        return "\n".join(parts)

    def _end(self):
        _stop(self.process)
        if self.wine:
            # Wine's own processes (the server, its services, the desktop) would outlive the
            # game and hold on to this test's X server.
            self.wine.stop_server()

    def stop(self):
        self._end()
        self._out.close()


def logged_scores(game):
    """The scores the level-transition screens wrote to debug.txt, in order."""
    log = game.log()
    return [int(log[i + 1]) for i, line in enumerate(log[:-1]) if line == "SCORE"]



class GameTest(unittest.TestCase):
    """Each test gets its own folder, X server and game; all are gone when it ends."""

    maxDiff = None

    def make_data(self):
        folder = tempfile.mkdtemp(prefix="zandorel-e2e-")
        self.addCleanup(shutil.rmtree, folder, True)
        return DataSet(folder)

    def start(self, data, user=None, wine=None, workdir=None, screen=None,
              window_manager=False):
        """The game on its own X server, framed by openbox there if window_manager (the
        game's .window_manager then)."""
        xserver = XServer(data.path("xvfb.log"), screen)
        self.addCleanup(xserver.stop)
        manager = None
        if window_manager:
            folder = data.path("openbox")
            os.mkdir(folder)
            manager = WindowManager(xserver, folder)
            self.addCleanup(manager.stop)
        game = Game(data, xserver, user, workdir=workdir, wine=wine, window_manager=manager)
        self.addCleanup(game.stop)
        return game

    def assert_clean_exit(self, game):
        status = game.wait_exit()
        if status != 0:
            self.fail(f"exit status {status}\n" + game.diagnose(running=False))
        log = game.log()
        self.assertTrue(log, "debug.txt is empty")
        self.assertEqual(log[-1], "Core::run() - Successful Game Termination",
                         "the log does not end with the game's own termination line")

    # -- screens --------------------------------------------------------------------------

    def wait_for_title(self, game):
        return game.wait_for("the title screen", lambda s: s.name(10, 10) == "title"
                             and s.name(*START) in ("start0", "start1", "start2"))

    def wait_for_grid(self, game, expected, what):
        rows, cols = len(expected), len(expected[0])
        return game.wait_for(f"{what}: the grid to show {expected}",
                             lambda s: grid(s, rows, cols) == expected)

    def solve_by_looking(self, game, solution, done, clicks=40):
        """Clicks tiles that differ from the solution, one at a time, reading the grid anew
        each time, until done(screen): from level 2 on a click may bring up a bomb that
        scrambles tiles. Returns the screen that satisfied done."""
        rows, cols = len(solution), len(solution[0])
        for _ in range(clicks):
            screen = game.wait_for("the grid or the next screen",
                                   lambda s: done(s) or None not in sum(grid(s, rows, cols), []))
            if done(screen):
                return screen
            shown = grid(screen, rows, cols)
            wrong = [(r, c) for r in range(rows) for c in range(cols)
                     if shown[r][c] != solution[r][c]]
            if not wrong:
                return game.wait_for("the solved level to end", done)
            r, c = wrong[0]
            game.click(*tile_centre(r, c))
            game.wait_for(f"tile ({r}, {c}) to change or the level to end",
                          lambda s: done(s) or grid(s, rows, cols)[r][c] != shown[r][c])
        self.fail(f"{clicks} clicks did not solve {solution}\n" + game.diagnose())

    def solve_one_tile_level_one(self, game):
        """From the title screen through a level 1 of one tile, [[0]] to [[1]], to the message
        that leads to level 2."""
        game.click(*START)
        game.click(*CONTINUE)
        game.wait_for("level 1 after its preview",
                      lambda s: grid(s, 1, 1) == [[0]] and play_labels(s)["time"])
        game.click(*tile_centre(0, 0))
        self.wait_for_text_box(game, ["WOW! YOU MADE", "IT TO LEVEL", "2!"])

    def wait_for_play(self, game, level):
        return game.wait_for(f"the play screen of level {level}",
                             lambda s: play_labels(s)["level"] == f"LEVEL {level}")

    def wait_for_text_box(self, game, lines, what=None, background="mermaid"):
        """Waits until the text box shows exactly these lines (blank lines after them)."""
        expected = list(lines) + [""] * (9 - len(lines))
        return game.wait_for(what or f"the text box to read {lines}",
                             lambda s: s.name(2, 2) == background and s.text_box() == expected)
