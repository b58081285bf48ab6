"""The web build in a browser: the same roads as the X groups, on the small data set of the
end-to-end tests packed into a site of its own, served on 127.0.0.1 and driven through
tests/web/driver.js (puppeteer-core, from this folder's lock file). ZANDOREL_WEB_ENGINE names
the browser: chromium (headless), firefox (Firefox ESR, headless, over WebDriver BiDi) or webkit
(WebKitGTK's MiniBrowser over classic WebDriver, on an X server of its own)."""

import base64
import collections
import copy
import functools
import gzip
import http.server
import json
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import urllib.parse

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))

from harness import (CONTINUE, EXIT, HIGH_SCORES, MAGENTA, START, WAIT,  # noqa: E402
                     GameTest, Screen, XServer, grid, high_score_rows, logged_scores, rows_of,
                     scores_text, table_after, tile_centre)

# The table the sites start from, as the tests' data sets write it.
STORED = scores_text(90, 80, 10, 5, 1)
# The win's text box, after "WOW! YOU WIN!", when the browser's storage did not keep the score,
# and when it did.
UNSAVED = ["YOUR HIGH", "SCORE COULD", "NOT BE SAVED!"]
KEPT = ["AND YOU GOT A", "HIGH SCORE!"]

SITE = os.environ.get("ZANDOREL_WEB_SITE", "")
# The port the sites are served on (and the ports after it, while a test keeps several), so
# that suites sharing a machine are kept apart; unset, each site takes a free port.
PORT = int(os.environ.get("ZANDOREL_WEB_PORT", "0"))
_HELD_PORTS = set()
PACKER = os.environ.get("ZANDOREL_WEB_PACKER", "")
HERE = os.path.dirname(os.path.abspath(__file__))
SEAL = os.path.join(HERE, "..", "..", "tools", "web-seal.py")
TERMINATION = "Core::run() - Successful Game Termination"

ENGINE = os.environ.get("ZANDOREL_WEB_ENGINE", "chromium")
# What an engine's driver cannot do, and why: a case that needs it says so in a skip of its own
# and runs the rest.
CANNOT = {
    "chromium": {},
    "firefox": {
        "quota": "Firefox's driver cannot set a site's storage quota while it runs",
        "installability": "Firefox neither installs sites nor tells why one would not be",
        "fullscreen": "headless Firefox refuses every page full screen, a bare page's too",
        "activation": "keys sent by Firefox's driver press no focused button, a bare page's too",
    },
    "webkit": {
        "quota": "WebKit's driver cannot set a site's storage quota",
        "installability": "WebKitGTK neither installs sites nor tells why one would not be",
        "restart": "MiniBrowser under automation keeps no profile past its end: a reload instead",
        "touch": "WebKitGTK's driver has no touch screen and no device pixel ratio of its own",
        "host": "WebKit's driver cannot resolve a name of its choosing to 127.0.0.1",
        "once": "WebKitGTK's service worker finds none of the page's downloads in the "
                "browser's cache and downloads each file a second time",
    },
}[ENGINE]
# Classic WebDriver runs nothing before the page's own scripts: on WebKit the site's page runs
# first what the driver left in sessionStorage (tests/web/webkit.js).
BEFORE = "<script>eval(sessionStorage.getItem('zandorel-before') || '')</script>"


class CanvasScreen(Screen):
    """The game's canvas read back from the page: 256 x 240 pixels of red, green, blue, alpha."""

    def __init__(self, rgba):
        self.width, self.height = 256, 240
        self._rgba = rgba

    def pixel(self, x, y):
        at = 4 * (y * self.width + x)
        return tuple(self._rgba[at:at + 3])


class Site:
    """The built page and game with a test's data set packed beside them, served on a free
    port of 127.0.0.1, or the pinned one, until stopped. compress: every answer gzipped where the browser accepts it,
    as a host that compresses everything, and sent without validators. late: seconds to wait
    before answering, by path, as a slow link would keep a file. requests counts the
    requests for each path that the page or its worker made; the browser's own fetches of the
    icons, once or twice on a schedule of its own, are not counted."""

    def __init__(self, data, folder, compress=False, late=None):
        # Every file of the built site but those made from its data set.
        for name in set(os.listdir(SITE)) - {"zandorel.data", "sw.js"}:
            shutil.copy(os.path.join(SITE, name), folder)
        if ENGINE == "webkit":
            with open(os.path.join(folder, "index.html"), "r+") as page:
                text = page.read().replace("<head>", "<head>\n" + BEFORE, 1)
                page.seek(0)
                page.write(text)
        files = []
        for sub in ("graphics", "data"):
            for name in sorted(os.listdir(data.path(sub))):
                files += ["--preload", f"{data.path(sub)}/{name}@/{sub}/{name}"]
        # Packed and sealed as the build does the site's: in its folder, by bare names, the
        # packer's script beside it.
        packer_script = folder + ".zandorel-data.js"
        subprocess.run([sys.executable, PACKER, "zandorel.data", "--no-node",
                        f"--js-output={packer_script}"] + files,
                       cwd=folder, check=True, capture_output=True, timeout=120)
        web = os.path.join(HERE, "..", "..", "web")
        subprocess.run([sys.executable, SEAL, folder, os.path.join(web, "sw.js"),
                        os.path.join(web, "loader.js"), packer_script], check=True, timeout=60)
        os.remove(packer_script)

        requests = self.requests = collections.Counter()

        class Handler(http.server.SimpleHTTPRequestHandler):
            extensions_map = dict(http.server.SimpleHTTPRequestHandler.extensions_map,
                                  **{".wasm": "application/wasm",
                                     ".webmanifest": "application/manifest+json"})

            # As common static hosts answer: the browser must ask again before it uses a copy,
            # so that only the site's own worker can make it work without the network.
            def end_headers(self):
                self.send_header("Cache-Control", "no-cache")
                super().end_headers()

            def log_message(self, *args):
                pass

            def do_GET(self):
                path = urllib.parse.urlsplit(self.path).path
                if self.headers.get("Sec-Fetch-Dest") != "image":
                    requests[path] += 1
                time.sleep((late or {}).get(path, 0))
                if not compress:
                    return super().do_GET()
                path = self.translate_path(self.path)
                if os.path.isdir(path):
                    path = os.path.join(path, "index.html")
                try:
                    with open(path, "rb") as f:
                        body = f.read()
                except OSError:
                    return self.send_error(404)
                zipped = "gzip" in self.headers.get("Accept-Encoding", "")
                if zipped:
                    body = gzip.compress(body)
                self.send_response(200)
                self.send_header("Content-Type", self.guess_type(path))
                if zipped:
                    self.send_header("Content-Encoding", "gzip")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

        self.port = PORT
        while PORT and self.port in _HELD_PORTS:
            self.port += 1
        try:
            self.server = http.server.ThreadingHTTPServer(
                ("127.0.0.1", self.port), functools.partial(Handler, directory=folder))
        except OSError as error:
            raise AssertionError(f"cannot serve the site on port {self.port} "
                                 f"(ZANDOREL_WEB_PORT): {error}") from None
        _HELD_PORTS.add(self.port)
        threading.Thread(target=self.server.serve_forever, daemon=True).start()
        self.port = self.server.server_port
        self.url = f"http://127.0.0.1:{self.port}/"
        self.folder = folder

    def stop(self):
        self.server.shutdown()
        self.server.server_close()
        _HELD_PORTS.discard(self.port)


class Browser:
    """One browser of ENGINE on one profile, showing the game's page. Offers what the X groups'
    Game offers (screen, wait_for, click, key, log), so that their helpers play it the same
    way."""

    def __init__(self, profile, url, host=None, **options):
        self._err = tempfile.TemporaryFile()
        env = dict(os.environ)
        self.x = None
        if ENGINE == "webkit":
            # Room for the largest window a case asks for, with its frame.
            self.x = XServer(os.path.join(profile, "xvfb.log"), screen=(1800, 1200))
            env["DISPLAY"] = self.x.display
        self.driver = subprocess.Popen(["node", os.path.join(HERE, "driver.js")], cwd=HERE,
                                       stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                       stderr=self._err, text=True, env=env)
        self.last = {}
        self.tab = 0
        if host:
            url = url.replace("127.0.0.1", host)
        self.url = url
        self._call("launch", engine=ENGINE, profile=profile, host=host, **options)
        self._call("open", url=url)

    def open_tab(self):
        """Another tab of this browser on the same page, offering the same."""
        tab = copy.copy(self)
        tab.tab = self._call("openTab", url=self.url)["tab"]
        return tab

    def _call(self, op, **args):
        self.driver.stdin.write(json.dumps(dict(args, op=op, tab=self.tab)) + "\n")
        self.driver.stdin.flush()
        answer = json.loads(self.driver.stdout.readline() or '{"ok": false, "error": "no answer"}')
        if not answer["ok"]:
            raise AssertionError(f"{op} failed: {answer['error']}\n" + self.said())
        return answer["result"]

    def said(self):
        self._err.seek(0)
        return "browser and page said:\n" + self._err.read().decode(errors="replace")[-3000:]

    def page(self):
        """What the page shows: its messages, and the canvas as a screen (None while hidden)."""
        state = self._call("look")
        pixels = state.pop("pixels")
        self.last = state
        state["screen"] = CanvasScreen(base64.b64decode(pixels)) if pixels else None
        return state

    def screen(self):
        return self.page()["screen"]

    def wait_for_page(self, what, condition, timeout=None):
        deadline = time.monotonic() + (WAIT if timeout is None else timeout)
        while True:
            state = self.page()
            if condition(state):
                return state
            if time.monotonic() > deadline:
                raise AssertionError(f"timed out waiting for {what}\n" + self.diagnose())
            time.sleep(0.03)

    def wait_for(self, what, condition, timeout=None):
        return self.wait_for_page(
            what, lambda s: s["screen"] is not None and condition(s["screen"]), timeout)["screen"]

    def click(self, x, y):
        self._call("click", x=x, y=y)

    def tap(self, x, y):
        self._call("tap", x=x, y=y)

    def tap_peek(self):
        self._call("tapPeek")

    def key(self, name):
        self._call("key", name=name)

    def read(self, path):
        return self._call("file", path=path)["text"]

    def stored(self, text=None):
        return self._call("stored", text=text)["text"]

    def log(self):
        return (self.read("/debug.txt") or "").splitlines()

    def diagnose(self):
        return "\n".join([f"page: {self.last}",
                          "debug.txt (last lines):\n" + "\n".join(self.log()[-15:]), self.said()])

    def stop(self):
        if self.driver.poll() is None:
            self.driver.stdin.close()  # the driver closes the browser and ends
            try:
                self.driver.wait(timeout=30)
            except subprocess.TimeoutExpired:
                self.driver.kill()
                self.driver.wait()
            self.driver.stdout.close()
            self._err.close()
        if self.x:
            self.x.stop()
            self.x = None


@unittest.skipUnless(SITE and PACKER, "ZANDOREL_WEB_SITE and ZANDOREL_WEB_PACKER name the "
                     "web build (ctest -L web in build-web sets them)")
class WebTest(GameTest):

    def can(self, what):
        """Whether this engine's driver can do what, a skip of its own saying why not."""
        if what in CANNOT:
            with self.subTest(what):
                self.skipTest(f"{ENGINE}: {CANNOT[what]}")
        return what not in CANNOT

    def profile(self, prefix="zandorel-web-profile-"):
        folder = tempfile.mkdtemp(prefix=prefix)
        self.addCleanup(shutil.rmtree, folder, True)
        return folder

    def serve(self, data, **options):
        site = Site(data, self.profile("zandorel-web-site-"), **options)
        self.addCleanup(site.stop)
        return site

    def browse(self, site, profile=None, **options):
        browser = Browser(profile or self.profile(), site.url, **options)
        self.addCleanup(browser.stop)
        return browser

    def wait_for_title(self, browser):
        """The title screen, once the page has the stored table or has said it goes without."""
        screen = super().wait_for_title(browser)
        browser.wait_for_page("the store to answer", lambda s: s["storage"]["loaded"] or s["note"])
        return screen

    def assert_ended(self, browser):
        state = browser.wait_for_page("the page to say the game has ended",
                                      lambda s: s["ended"] and not s["game"])
        self.assertEqual(browser.log()[-1], TERMINATION)
        return state

    def test_the_same_data_set_makes_the_same_site_in_another_folder_and_later(self):
        # Neither the folder it is packed in nor the packer's random package UUID may reach
        # the site: the service worker's cache name follows every file's hash.
        if ENGINE != "chromium":
            self.skipTest("no browser makes the site: web_chromium checks it once")
        data = self.make_data()
        data.level(1, [[0, 1], [2, 0]], [[1, 1], [2, 2]], kinds=3, seconds=60)
        first = self.serve(data)
        time.sleep(1.1)
        second = self.serve(data)
        self.assertNotEqual(first.folder, second.folder)
        for name in sorted(os.listdir(first.folder)):
            with open(os.path.join(first.folder, name), "rb") as one, \
                    open(os.path.join(second.folder, name), "rb") as other:
                self.assertTrue(one.read() == other.read(), f"{name} differs")

    def test_tutorial_a_level_solved_and_the_win_at_three_times_the_size(self):
        data = self.make_data()
        data.level(1, [[0, 1], [2, 0]], [[1, 1], [2, 2]], kinds=3, seconds=60,
                   tutorial="SHORT AND SWEET")
        data.write("data/highscores.txt", STORED)
        browser = self.browse(self.serve(data), width=1024, height=768)
        title = self.wait_for_title(browser)
        # The colour key holds: no magenta anywhere (every button's first column is magenta).
        self.assertNotIn(MAGENTA, {title.pixel(x, y) for x in range(256) for y in range(240)})
        state = browser.page()
        # Whole-number scale, crisp pixels, and the right button's menu kept off the game.
        self.assertEqual((state["scale"], state["rendering"]), (3, "pixelated"))
        self.assertTrue(browser._call("contextMenu")["blocked"])
        browser.click(*START)
        self.wait_for_text_box(browser, ["SHORT AND", "SWEET"])
        browser.click(*CONTINUE)
        play = self.wait_for_grid(browser, [[0, 1], [2, 0]], "level 1 after its preview")
        # Each frame starts from black: the gap between tiles shows no earlier screen.
        self.assertEqual(play.name(31, 39), "black")
        # Every click at 3x lands on the tile it was aimed at.
        self.solve_by_looking(browser, [[1, 1], [2, 2]],
                              lambda s: s.name(2, 2) == "mermaid")
        self.wait_for_text_box(browser, ["WOW! YOU WIN!", "AND YOU GOT A", "HIGH SCORE!"])
        score = logged_scores(browser)[-1]
        self.assertEqual(browser.read("/data/highscores.txt"), table_after(STORED, score)[1])
        browser.click(*CONTINUE)
        self.wait_for_title(browser)
        browser.key("Escape")
        self.assert_ended(browser)

    def test_a_solve_then_a_loss_and_the_table_is_kept_when_the_browser_starts_again(self):
        data = self.make_data()
        data.level(1, [[0]], [[1]], kinds=2, seconds=60)
        data.level(2, [[0, 0]], [[1, 1]], kinds=2, seconds=2)
        data.write("data/highscores.txt", STORED)
        site = self.serve(data)
        profile = self.profile()
        browser = self.browse(site, profile)
        self.wait_for_title(browser)
        first = browser.page()["storage"]
        self.assertTrue(first["persistent"], first)
        self.solve_one_tile_level_one(browser)
        score = logged_scores(browser)[-1]
        browser.click(*CONTINUE)
        self.wait_for_play(browser, 2)
        browser.wait_for("the countdown to run out", lambda s: s.name(2, 2) == "mermaid")
        self.wait_for_text_box(browser, ["OH NO! YOU", "LOST! BUT YOU", "GOT A HIGH", "SCORE!"])
        # The game's own rewrite, stored byte for byte.
        table = table_after(STORED, score)[1]
        browser.wait_for_page("the new table to be saved",
                              lambda s: s["storage"]["saved"] > first["saved"]
                              and not s["storage"]["saving"])
        self.assertEqual(browser.stored(), table)
        if self.can("restart"):
            browser.stop()
            again = self.browse(site, profile)
        else:
            again = browser
            again._call("open", url=site.url)
        self.wait_for_title(again)
        again.click(*HIGH_SCORES)
        screen = again.wait_for("the high-score screen",
                                lambda s: s.text(130, 11, 11) == "HIGH SCORES")
        self.assertEqual(high_score_rows(screen, 6), rows_of("90", "80", str(score), "10", "5"))
        self.assertEqual(again.read("/data/highscores.txt"), table)
        self.assertFalse(again.page()["note"])

    def test_without_indexeddb_the_game_plays_and_the_page_says_so(self):
        # Storage refused, and a store that never answers: the game starts all the same.
        for storage in ("noStorage", "hungStorage"):
            with self.subTest(storage):
                self.play_without_storage(**{storage: True})

    def play_without_storage(self, **options):
        data = self.make_data()
        data.level(1, [[0]], [[1]], kinds=2, seconds=5)
        browser = self.browse(self.serve(data), **options)
        self.wait_for_title(browser)
        browser.wait_for_page("the page to give up on the store", lambda s: s["note"], timeout=10)
        state = browser.page()
        self.assertTrue(state["note"], "the page does not say the scores last this visit only")
        self.assertFalse(state["storage"]["persistent"])
        browser.click(*START)
        browser.click(*CONTINUE)
        self.wait_for_play(browser, 1)
        browser.wait_for("the countdown to run out", lambda s: s.name(2, 2) == "mermaid")
        self.wait_for_text_box(browser, ["OH NO! YOU", "LOST!"])
        # Without a shipped table the game starts from an empty one, as on the desktop.
        self.assertEqual(browser.read("/data/highscores.txt"), table_after(None, 0)[1])
        browser.click(*CONTINUE)
        self.wait_for_title(browser)
        browser.click(*EXIT)
        self.assert_ended(browser)
        self.assertGreaterEqual(min(browser._call("playAgain")["size"]), 48)
        self.wait_for_title(browser)
        # The new game hears the mouse and the keys as the first did, and calls no score kept
        # that nothing keeps.
        browser.click(*START)
        browser.click(*CONTINUE)
        self.wait_for_grid(browser, [[0]], "level 1 after its preview")
        browser.click(*tile_centre(0, 0))
        self.wait_for_text_box(browser, ["WOW! YOU WIN!", *UNSAVED])
        browser.key("Escape")
        self.assert_ended(browser)

    def assert_fits(self, browser, per_game_pixel, peek_below):
        fit = browser._call("fit")
        # Every game pixel a square of whole device pixels, all of one size.
        self.assertAlmostEqual(fit["perGamePixel"], per_game_pixel, places=3, msg=fit)
        self.assertEqual(fit["split"], 0, fit)
        self.assertTrue(fit["inside"], f"something is cut off: {fit}")
        self.assertEqual(fit["peekBelow"], peek_below, fit)
        self.assertGreaterEqual(min(fit["peek"]), 48, fit)
        return fit

    def test_a_tap_is_a_left_click_and_the_peek_control_is_the_right_one(self):
        if not self.can("touch"):
            return
        data = self.make_data()
        data.level(1, [[0, 0, 0]], [[1, 0, 1]], kinds=2, seconds=60)
        # A phone held upright at three device pixels to the CSS pixel: four to the game pixel,
        # with the peek control under the game.
        browser = self.browse(self.serve(data), width=390, height=844, touch=True, ratio=3)
        self.wait_for_title(browser)
        self.assertAlmostEqual(self.assert_fits(browser, 4, True)["cssWidth"], 1024 / 3, places=1)
        browser.tap(*START)
        browser.tap(*CONTINUE)
        self.wait_for_grid(browser, [[0, 0, 0]], "level 1 after its preview")
        # Taps far apart: each lands where it touches, not where the last one did.
        browser.tap(*tile_centre(0, 2))
        self.wait_for_grid(browser, [[0, 0, 1]], "the tapped tile")
        browser.tap_peek()
        self.wait_for_grid(browser, [[1, 0, 1]], "the solution after the peek control")
        browser.tap_peek()
        self.wait_for_grid(browser, [[0, 0, 1]], "the grid again")
        browser.tap(*tile_centre(0, 0))
        browser.wait_for("the win after the last tap",
                         lambda s: s.name(2, 2) == "mermaid" and s.text_box()[0] == "WOW! YOU WIN!")

    def test_whole_device_pixels_on_a_small_phone_a_phone_on_its_side_and_at_125_percent(self):
        if not self.can("touch"):
            return
        data = self.make_data()
        data.level(1, [[0]], [[1]], kinds=2, seconds=60)
        site = self.serve(data)
        for width, height, ratio, touch, per_game_pixel, peek_below, storage in [
                (320, 568, 2, True, 2, True, {}),
                (844, 390, 3, True, 4, False, {}),  # the height decides
                # The store refused before the game shows: its line takes room from the game.
                (844, 390, 3, True, 3, False, {"noStorage": True}),
                (1536, 864, 1.25, False, 4, False, {})]:
            with self.subTest(width=width, height=height, ratio=ratio, **storage):
                browser = self.browse(site, width=width, height=height, touch=touch, ratio=ratio,
                                      **storage)
                self.wait_for_title(browser)
                self.assert_fits(browser, per_game_pixel, peek_below)
                if self.can("fullscreen"):
                    self.assertTrue(browser._call("fullScreen")["full"], "no full screen")
                browser.stop()

    def test_the_browsers_keys_stay_the_browsers_and_escape_still_ends_the_game(self):
        data = self.make_data()
        data.level(1, [[0, 0]], [[1, 1]], kinds=2, seconds=60)
        browser = self.browse(self.serve(data))
        self.wait_for_title(browser)
        browser.click(*START)
        browser.click(*CONTINUE)
        self.wait_for_grid(browser, [[0, 0]], "level 1 after its preview")
        for keys in (["Control", "Equal"], ["Control", "KeyP"], ["F5"]):
            self.assertFalse(browser._call("keyCancelled", keys=keys)["cancelled"], keys)
        # Tab reaches the peek control, and Enter and Space use it.
        self.assertFalse(browser._call("keyCancelled", keys=["Tab"])["cancelled"])
        self.assertEqual(browser.page()["focus"], "peek")
        if self.can("activation"):
            browser.key("Enter")
            self.wait_for_grid(browser, [[1, 1]], "the solution after Enter on the peek control")
            browser.key("Space")
            self.wait_for_grid(browser, [[0, 0]], "the grid after Space on the peek control")
        self.assertTrue(browser._call("keyCancelled", keys=["Escape"])["cancelled"])
        self.assertEqual(self.assert_ended(browser)["focus"], "again")

    def test_a_page_that_cannot_load_the_game_says_so(self):
        def truncate(path):
            os.truncate(path, os.path.getsize(path) // 2)

        def change_a_byte(path):
            with open(path, "r+b") as f:
                f.seek(100)
                byte = f.read(1)[0]
                f.seek(100)
                f.write(bytes([byte ^ 0xff]))

        def change_an_unpacked_byte(path):
            # Still a whole gzip stream of the right size: only the hash can tell.
            with open(path, "rb") as f:
                package = bytearray(gzip.decompress(f.read()))
            package[100] ^= 0xff
            with open(path, "wb") as f:
                f.write(gzip.compress(bytes(package)))

        def nothing(path):
            pass

        # A name of 127.0.0.1 is not a secure origin: no crypto.subtle there, the page's own
        # SHA-256 checks the package, and the page says what is lost.
        insecure = "zandorel.test"
        for name, damage, says, host in (
                ("zandorel.wasm", os.remove, "could not", None),
                ("zandorel.data", truncate, "damaged", None),
                ("zandorel.data", change_a_byte, "damaged", None),
                ("zandorel.data", change_an_unpacked_byte, "damaged", None),
                ("zandorel.data", change_an_unpacked_byte, "damaged", insecure),
                ("zandorel.data", nothing, None, insecure)):
            if host and not self.can("host"):
                continue
            with self.subTest(f"{name}: {damage.__name__}", host=host):
                site = self.serve(self.make_data())
                damage(os.path.join(site.folder, name))
                browser = self.browse(site, host=host)
                if says is None:
                    self.wait_for_title(browser)
                    self.assertTrue(browser.page()["insecure"])
                    continue
                state = browser.wait_for_page("a sentence instead of the game",
                                              lambda s: s["status"] and says in s["statusText"])
                self.assertFalse(state["game"])
                self.assertEqual(state["insecure"], host is not None)
                # No game was started on the damaged files.
                self.assertEqual(browser.log(), [])

    def win_a_one_tile_game(self, browser, says=KEPT):
        """From the title screen through the only level, [[0]] to [[1]], to the win; the score.
        says None: either answer, and the score with whether it was told kept."""
        browser.click(*START)
        browser.click(*CONTINUE)
        self.wait_for_grid(browser, [[0]], "level 1 after its preview")
        browser.click(*tile_centre(0, 0))
        if says is None:
            boxes = [["WOW! YOU WIN!", *lines] + [""] * (8 - len(lines))
                     for lines in (KEPT, UNSAVED)]
            box = browser.wait_for("the win to tell of the score",
                                   lambda s: s.name(2, 2) == "mermaid"
                                   and s.text_box() in boxes).text_box()
            return logged_scores(browser)[-1], box == boxes[0]
        self.wait_for_text_box(browser, ["WOW! YOU WIN!", *says])
        return logged_scores(browser)[-1]

    def wait_saved(self, browser, saved=0):
        return browser.wait_for_page("the table to be saved",
                                     lambda s: s["storage"]["saved"] > saved
                                     and not s["storage"]["saving"])["storage"]

    def test_two_tabs_each_win_and_a_hidden_idle_tab_overwrites_neither(self):
        # Tabs that tell each other of a save, and tabs that cannot (the idle tab's game then
        # reads its own copy, and its save puts its score into the newer stored table).
        for options in ({}, {"noBroadcast": True}):
            with self.subTest(**options):
                self.two_tabs_each_win(**options)

    def two_tabs_each_win(self, **options):
        playing = self.browse(self.one_level_site(), **options)
        self.wait_for_title(playing)
        idle = playing.open_tab()
        self.wait_for_title(idle)
        # Hidden for good: coming to the front does not make it load the table again.
        idle._call("hide")
        first = self.win_a_one_tile_game(playing)
        self.wait_saved(playing)
        # Hidden again after the other tab's save, it writes nothing over the newer table.
        idle._call("hide")
        time.sleep(0.5)
        self.assertEqual(playing.stored(), table_after(STORED, first)[1])
        # Its game reads the stored table, not the copy it loaded.
        second = self.win_a_one_tile_game(idle)
        self.wait_saved(idle)
        third = playing.open_tab()
        self.wait_for_title(third)
        table = table_after(table_after(STORED, first)[1], second)[1]
        self.assertEqual(third.read("/data/highscores.txt"), table)
        self.assertEqual(third.stored(), table)

    def test_a_full_store_is_told_and_the_next_save_keeps_the_score(self):
        if not self.can("quota"):
            return
        site = self.one_level_site()
        browser = self.browse(site)
        self.wait_for_title(browser)
        browser._call("quota", size=1)
        # The game announces no high score the store refused, and its log says why.
        score = self.win_a_one_tile_game(browser, UNSAVED)
        self.assertIn("Could Not Write ./data/highscores.txt: QuotaExceededError",
                      "\n".join(browser.log()))
        state = browser.wait_for_page("the page to say the scores were not saved",
                                      lambda s: s["unsaved"])
        self.assertEqual(state["storage"]["saved"], 0)
        self.assertNotEqual(browser.stored(), table_after(STORED, score)[1])
        # Room again: the next save (here, on hiding the page) is not stuck behind the failed one.
        browser._call("quota", size=None)
        browser._call("hide")
        browser.wait_for_page("the page to take back the sentence", lambda s: not s["unsaved"])
        self.assertEqual(browser.stored(), table_after(STORED, score)[1])

    def test_a_save_the_store_never_answers_is_not_told_as_kept(self):
        browser = self.browse(self.one_level_site(), hungSaves=True)
        self.wait_for_title(browser)
        self.win_a_one_tile_game(browser, UNSAVED)
        self.assertIn("Could Not Write ./data/highscores.txt: the store did not answer",
                      "\n".join(browser.log()))

    def test_a_score_that_another_tabs_higher_scores_push_out_is_not_told_as_kept(self):
        browser = self.browse(self.one_level_site())
        self.wait_for_title(browser)
        higher = scores_text(9000, 8000, 7000, 6000, 5000)
        browser.stored(higher)
        self.win_a_one_tile_game(browser, UNSAVED)
        self.assertIn("Could Not Write ./data/highscores.txt: another tab saved higher scores first",
                      "\n".join(browser.log()))
        self.assertEqual((browser.stored(), browser.read("/data/highscores.txt")), (higher, higher))
        self.assertFalse(browser.page()["unsaved"])

    def test_late_and_failed_saves_are_told_what_became_of_each_score_stored_once(self):
        # Writes heard past the page's patience: told kept only when the store holds the score,
        # which the saves on hiding and showing the tab, and the next game's, do not add again.
        late = self.browse(self.one_level_site(), lateSaves=True)
        self.wait_for_title(late)
        table = STORED
        for game in range(2):
            score, kept = self.win_a_one_tile_game(late, None)
            told = table_after(table, score)[1] if kept else table
            self.assertEqual(late.stored(), told, f"game {game + 1} told kept: {kept}")
            late.key("Escape")
            self.assert_ended(late)
            late._call("hide")
            late._call("show")
            late.wait_for_page("the saves to be over", lambda s: not s["storage"]["saving"])
            table = table_after(table, score)[1]
            self.assertEqual(late.stored(), table, f"game {game + 1}")
            late._call("playAgain")
            self.wait_for_title(late)

        # An older score the store refused, then a newer one as high, after another tab's
        # higher scores: the older one falls off, and the newer is told kept.
        if not self.can("quota"):
            return
        browser = self.browse(self.one_level_site())
        self.wait_for_title(browser)
        browser._call("quota", size=1)
        older = self.win_a_one_tile_game(browser, UNSAVED)
        browser.key("Escape")
        self.assert_ended(browser)
        browser.wait_for_page("the retry to fail", lambda s: not s["storage"]["saving"])
        browser._call("quota", size=None)
        higher = scores_text(9000, 8000, 7000, 6000, 1)
        browser.stored(higher)
        browser._call("playAgain")
        self.wait_for_title(browser)
        newer, kept = self.win_a_one_tile_game(browser, None)
        self.assertEqual(kept, newer >= older, (older, newer))
        browser.wait_for_page("the save to be over", lambda s: not s["storage"]["saving"])
        self.assertEqual(browser.stored(), table_after(higher, max(older, newer))[1])

    def one_level_site(self, **options):
        data = self.make_data()
        data.level(1, [[0]], [[1]], kinds=2, seconds=60)
        data.write("data/highscores.txt", STORED)
        return self.serve(data, **options)

    def test_after_one_visit_the_site_is_installable_and_plays_with_the_server_gone(self):
        # A host that sends no validators: the worker's copies are the ones the page fetched.
        site = self.one_level_site(compress=True)
        profile = self.profile()
        browser = self.browse(site, profile)
        self.wait_for_title(browser)
        browser._call("kept")
        paths = ["/" + (name if name != "index.html" else "") for name in os.listdir(site.folder)]
        # Every file once; an icon the browser fetched for itself the worker takes from there,
        # or fetches once.
        fetched = dict(site.requests)
        icons = {path for path in paths if path.endswith(".png")}
        if self.can("once"):
            self.assertEqual({path: n for path, n in fetched.items() if path not in icons},
                             {path: 1 for path in paths if path not in icons})
            self.assertLessEqual(max([fetched.get(path, 0) for path in icons], default=0), 1,
                                 fetched)
        else:
            # The page still downloads each file once: the worker's copy is the only other.
            self.assertLessEqual(max(fetched.values()), 2, fetched)
        if self.can("installability"):
            self.assertEqual(browser._call("installability")["errors"], [])
        # A new game on the files the page has; the ended one holds nothing, not even a screen.
        browser.key("Escape")
        self.assertEqual(self.assert_ended(browser)["surfaces"], 0)
        browser._call("playAgain")
        self.wait_for_title(browser)
        self.assertEqual(dict(site.requests), fetched)
        restart = self.can("restart")
        if restart:
            browser.stop()
        site.stop()

        if restart:
            again = self.browse(site, profile)
        else:
            again = browser
            again._call("open", url=site.url)
        self.wait_for_title(again)
        again.key("Escape")
        self.assert_ended(again)
        again._call("playAgain")
        self.wait_for_title(again)

    def test_with_a_compressing_host_the_bar_is_full_only_when_the_game_starts(self):
        # The module comes late, as on a slow link: long enough for the loading line to show.
        site = self.one_level_site(compress=True, late={"/zandorel.wasm": 1})
        with open(os.path.join(site.folder, "zandorel.data"), "rb") as f:
            self.assertEqual(f.read(2), b"\x1f\x8b", "the package is not shipped compressed")
        browser = self.browse(site, watchBar=True)
        self.wait_for_title(browser)
        bar = browser.page()["bar"]
        loading = [share for share, started, _ in bar if not started]
        self.assertTrue(loading, bar)
        self.assertLess(max(loading), 1, bar)
        # Every file counted, in the bytes the page read: all but the start's part by then.
        self.assertGreater(max(loading), 0.9, bar)
        # The module's bytes were counted under a loading line that showed, which the game's
        # start then hid.
        self.assertTrue(any(shown for _, started, shown in bar if not started), bar)
        self.assertEqual(bar[-1], [1, True, False], bar)
        # The compressed package plays: the level, solved, and the win.
        self.win_a_one_tile_game(browser)


if __name__ == "__main__":
    unittest.main()
