"""The game as a player gets it: installed into a prefix with cmake --install, and as a Debian
package unpacked into a folder; started through its launcher from a fresh home, on the real
pictures and levels it ships."""

import glob
import hashlib
import os
import re
import shutil
import stat
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile

from harness import (CONTINUE, START, WAIT, Folder, Game, GameTest, RealScreens, XServer,
                     logged_scores, read_level, table_after)
from harness.pictures import game_numbers

BUILD_DIR = os.environ.get("ZANDOREL_BUILD_DIR", "")
CMAKE = os.environ.get("ZANDOREL_CMAKE", "cmake")
CPACK = os.environ.get("ZANDOREL_CPACK", "cpack")
APP_ID = "io.github.zandorel.Zandorel"
SHARE = "share/games/zandorel"
SOURCE = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))


# The shipped levels, counted in the one list of what ships: the last, which must ship, and the
# one after it, which must not.
LEVELS = game_numbers.LEVEL_COUNT
LAST, BEYOND = f"level{LEVELS}", f"level{LEVELS + 1}"
# The table the game ships and writes when it finds none.
EMPTY_TABLE = "0\n" * game_numbers.TABLE_SIZE


# What a developer leaves in a build folder's data set beside what the build made: an editor's
# backup of a level, a level since dropped from the game, a picture no longer drawn, their own
# scores. None of it may ship. (The installing tests share the real build folder with the unit
# tests, which read every level file there: its strays are named so that no reader takes them
# for a level.)
STRAYS = {"data/level1.txt~": "3 3 2\n", "data/level1.tut.orig": "old\n",
          "graphics/mermaid-old.bmp": "BM", "data/highscores.txt": "99\n" * 5}
STALE = {f"data/{BEYOND}.txt": "1 1 2\n0\n1\n", f"data/{BEYOND}.tim": "9\n"}

# What the install lays out, relative to the prefix, and the mode of each.
LAYOUT = {
    "games/zandorel": "-rwxr-xr-x",
    "lib/games/zandorel/zandorel": "-rwxr-xr-x",
    f"{SHARE}/graphics/title.bmp": "-rw-r--r--",
    f"{SHARE}/graphics/tiles.bmp": "-rw-r--r--",
    f"{SHARE}/data/level1.txt": "-rw-r--r--",
    f"{SHARE}/data/{LAST}.tut": "-rw-r--r--",
    f"{SHARE}/data/highscores.txt": "-rw-r--r--",
    f"share/applications/{APP_ID}.desktop": "-rw-r--r--",
    f"share/metainfo/{APP_ID}.metainfo.xml": "-rw-r--r--",
    "share/icons/hicolor/32x32/apps/zandorel.png": "-rw-r--r--",
    "share/icons/hicolor/64x64/apps/zandorel.png": "-rw-r--r--",
    "share/icons/hicolor/128x128/apps/zandorel.png": "-rw-r--r--",
    "share/icons/hicolor/256x256/apps/zandorel.png": "-rw-r--r--",
    "share/man/man6/zandorel.6.gz": "-rw-r--r--",
    "share/doc/zandorel/copyright": "-rw-r--r--",
    "share/doc/zandorel/changelog.Debian.gz": "-rw-r--r--",
}


def run(command, **options):
    return subprocess.run(command, capture_output=True, text=True, timeout=180, **options)


def checked(command, **options):
    result = run(command, **options)
    if result.returncode != 0:
        raise AssertionError(f"{' '.join(command)} exited with {result.returncode}:\n"
                             f"{result.stdout[-3000:]}\n{result.stderr[-3000:]}")
    return result


def tree(root):
    """Every entry under root: its mode, and a file's checksum or a link's target."""
    entries = {}
    for folder, dirs, files in os.walk(root):
        for name in dirs + files:
            path = os.path.join(folder, name)
            info = os.lstat(path)
            if stat.S_ISLNK(info.st_mode):
                content = os.readlink(path)
            elif stat.S_ISREG(info.st_mode):
                with open(path, "rb") as file:
                    content = hashlib.sha256(file.read()).hexdigest()
            else:
                content = ""
            entries[os.path.relpath(path, root)] = (stat.filemode(info.st_mode), content)
    return entries


def player_env(home):
    """The environment of a player whose home is home, with no data folder of their own set."""
    env = {k: v for k, v in os.environ.items() if not k.startswith(("XDG_", "ZANDOREL_"))}
    env["HOME"] = home
    return env


def launch_without_window(launcher, env, **options):
    """Runs the launcher where the game cannot open a window: the launcher does all its work,
    then the game says so on standard error and exits with status 1."""
    return run([launcher], env=dict(env, SDL_VIDEODRIVER="no-such-driver"), **options)


class InstalledGameTest(GameTest):
    """Starting an installed game through its launcher, on a private X server."""

    def make_folder(self, mode=0o755):
        folder = tempfile.mkdtemp(prefix="zandorel-install-")
        self.addCleanup(shutil.rmtree, folder, True)
        # Another user must reach what lies inside, for the read-only home case.
        os.chmod(folder, mode)
        return folder

    def launch(self, launcher, home):
        outside = Folder(self.make_folder())
        xserver = XServer(outside.path("xvfb.log"))
        self.addCleanup(xserver.stop)
        game = Game(outside, xserver, command=[launcher],
                    env={"HOME": home, "XDG_DATA_HOME": None},
                    workdir=os.path.join(home, ".local", "share", "zandorel"))
        self.addCleanup(game.stop)
        return game

    def wait_for_real_title(self, game, screens):
        return game.wait_for("the title screen", screens.is_title)


def place(folder, files):
    """Writes files into folder, keeping what was there; returns a function that puts it back."""
    kept = {}
    for name, content in files.items():
        path = os.path.join(folder, name)
        if os.path.exists(path):
            with open(path, "rb") as file:
                kept[path] = file.read()
        with open(path, "w") as file:
            file.write(content)

    def restore():
        for name in files:
            path = os.path.join(folder, name)
            if path in kept:
                with open(path, "wb") as file:
                    file.write(kept[path])
            else:
                os.remove(path)
    return restore


def install_prefix():
    if not os.path.isdir(BUILD_DIR):
        raise AssertionError(f"ZANDOREL_BUILD_DIR does not name the build folder: {BUILD_DIR!r}")
    # A space in the path, as in many a home folder: the menu entry must quote it.
    root = tempfile.mkdtemp(prefix="zandorel prefix-")
    os.chmod(root, 0o755)
    prefix = os.path.join(root, "usr")
    restore = place(BUILD_DIR, STRAYS)
    try:
        checked([CMAKE, "--install", BUILD_DIR, "--prefix", prefix])
    finally:
        restore()
    return root, prefix

# The launcher's cases: (case, how, the player's links planted, what it says, exit status). A
# first start from an "old" install makes the folder, then one from a "new" install elsewhere
# with one more level: "pair" two at once, the second run to its end just before the first
# renames a level link; "pid1" as process 1 of a PID namespace, so that its scratch name is
# known; "full" on a file system with no inode left. "~" is the home, "{old}" the old data.
LAUNCHER_CASES = (
    ("the player chose the window scaling", "scaling", {}, "", 0),
    ("the player's own links stay", "", {"graphics": "~", "data/level1.txt": "~/1",
                                         f"data/{BEYOND}.tut": f"~/{LEVELS + 1}",
                                         "data/level1.tim": "/"},
     "", 0),
    ("two starts at once", "pair", {}, "", 0),
    ("a link to a folder at the scratch name", "pid1",
     {".new1": "{old}/graphics", "graphics.new1": "{old}/graphics"}, "", 0),
    ("a full disk", "full", {}, r"cannot renew graphics( data/level\S+)+ in {folder}: "
                                r"no space left; the game starts with what is there\n", 0),
    ("a read-only folder", "readonly", {},
     r"cannot write in {folder}: your scores could not be kept\n", 1),
)

def shipped(root):
    """The data set under root: the files in its graphics/ and data/."""
    return {os.path.relpath(os.path.join(folder, name), root)
            for part in ("graphics", "data")
            for folder, _, names in os.walk(os.path.join(root, part)) for name in names}


class InstallTest(InstalledGameTest):
    """cmake --install into a fresh prefix, then everything a player and a desktop see."""

    @classmethod
    def setUpClass(cls):
        cls.root, cls.prefix = install_prefix()
        cls.launcher = os.path.join(cls.prefix, "games", "zandorel")
        cls.share = os.path.join(cls.prefix, SHARE)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.root, True)

    def test_layout_and_what_desktops_and_man_read_of_it(self):
        listing = tree(self.prefix)
        for path, mode in LAYOUT.items():
            self.assertIn(path, listing)
            self.assertEqual(listing[path][0], mode, path)
        # A player's scores from the build folder are never shipped; the table that is, is empty.
        with open(os.path.join(self.share, "data", "highscores.txt")) as file:
            self.assertEqual(file.read(), EMPTY_TABLE)
        # Every icon is the smallest one with each pixel a sharp square, transparent around
        # the rounded corners.
        icons = {}
        for size in (32, 64, 128, 256):
            path = os.path.join(self.prefix, f"share/icons/hicolor/{size}x{size}/apps/zandorel.png")
            with open(path, "rb") as file:
                head = file.read(24)
            self.assertEqual(head[:8], b"\x89PNG\r\n\x1a\n")
            self.assertEqual(struct.unpack(">II", head[16:24]), (size, size))
            icons[size] = subprocess.run(["convert", path, "rgba:-"], capture_output=True,
                                         check=True).stdout
        small = icons[32]
        self.assertEqual(small[3], 0, "the corner is not transparent")
        self.assertEqual(small[(16 * 32 + 16) * 4 + 3], 255, "the middle is not opaque")
        for size, pixels in icons.items():
            scale = size // 32
            for y in range(size):
                for x in range(size):
                    at, source = (y * size + x) * 4, ((y // scale) * 32 + x // scale) * 4
                    if pixels[at:at + 4] != small[source:source + 4]:
                        self.fail(f"the {size} px icon differs from the 32 px one at ({x}, {y})")
        entry = os.path.join(self.prefix, f"share/applications/{APP_ID}.desktop")
        validated = checked(["desktop-file-validate", entry])
        self.assertEqual(validated.stdout + validated.stderr, "")
        # The menu starts the game though Debian's PATH holds the games folder of no prefix
        # but /usr and /usr/local.
        home = self.make_folder()
        checked(["gio", "launch", entry], env={"HOME": home, "SDL_VIDEODRIVER": "no-such-driver",
                                               "PATH": "/usr/bin:/bin:/usr/local/games:/usr/games"})
        log, deadline = f"{home}/.local/share/zandorel/debug.txt", time.monotonic() + 20
        while not os.path.exists(log) and time.monotonic() < deadline:
            time.sleep(0.1)
        self.assertTrue(os.path.exists(log), "the menu entry did not start the game")
        metainfo = os.path.join(self.prefix, f"share/metainfo/{APP_ID}.metainfo.xml")
        checked(["appstreamcli", "validate", "--no-net", metainfo])
        # The level count in words agrees with the list wherever a player reads it: the build
        # writes the metainfo's, CPack takes the package description from debian/control.
        with open(metainfo) as file, open(os.path.join(BUILD_DIR, "CPackConfig.cmake")) as cpack:
            said = {"the installed metainfo": file.read(),
                    "the package description, from debian/control": cpack.read()}
        for where, text in said.items():
            self.assertIn(f"{game_numbers.in_words(LEVELS).capitalize()} levels", text,
                          f"{where} does not follow ZANDOREL_LEVEL_COUNT in cmake/DataSet.cmake")
        page = checked(["man", "--warnings", "-l",
                        os.path.join(self.prefix, "share/man/man6/zandorel.6.gz")],
                       env=dict(os.environ, MANWIDTH="80"))
        self.assertEqual(page.stderr, "")
        text = re.sub(".\b", "", page.stdout)  # bold and underline are overstruck
        self.assertIn("XDG_DATA_HOME", text)
        self.assertNotIn("@", text, "a placeholder was left in the page")

    def test_the_install_and_the_zip_ship_one_data_set_whatever_the_build_folder_holds(self):
        installed = shipped(self.share)
        self.assertIn(f"data/{LAST}.tut", installed)
        self.assertEqual(installed & set(STRAYS), {"data/highscores.txt"})
        # The Windows zip, packed from a build folder holding the same data set, the same
        # strays and a level left from an earlier version.
        build = self.make_folder()
        for part in ("graphics", "data"):
            shutil.copytree(os.path.join(BUILD_DIR, part), os.path.join(build, part))
        place(build, dict(STRAYS, **STALE, **{"README.txt": "", "LICENSE.txt": ""}))
        epoch = 1700000000

        def pack():
            checked([CMAKE, "-D", "NAME=zip", "-D", f"BUILD={build}", "-D", f"SOURCE={SOURCE}",
                     "-D", f"EXECUTABLE={os.path.join(BUILD_DIR, 'zandorel')}",
                     "-D", f"PYTHON={sys.executable}", "-D", f"EPOCH={epoch}",
                     "-P", os.path.join(SOURCE, "cmake", "WindowsZip.cmake")])
            with open(os.path.join(build, "zip.zip"), "rb") as file:
                return file.read()

        first = pack()
        with zipfile.ZipFile(os.path.join(build, "zip.zip")) as package:
            names = package.namelist()
            packed = {n[len("zip/"):] for n in names if not n.endswith("/")}
            table = package.read("zip/data/highscores.txt").decode()
            times = {info.date_time for info in package.infolist()}
        self.assertEqual(packed - shipped(self.share),
                         {"zandorel", "README.txt", "LICENSE.txt"})
        self.assertEqual(shipped(self.share) - packed, set())
        self.assertEqual(table, EMPTY_TABLE)
        # The same files make the same bytes: entries in sorted order, each with the given
        # time, whatever the files' own times or the order the folder lists them in; and the
        # staged files, which the setup program is made from, get that time too.
        self.assertEqual(names, sorted(names))
        self.assertEqual(times, {time.gmtime(epoch)[:6]})
        staged = os.path.join(build, "package", "zip", "data", "level1.txt")
        self.assertEqual(os.stat(staged).st_mtime, epoch)
        for name in ("README.txt", "data/level1.txt", "graphics/title.bmp"):
            os.utime(os.path.join(build, name))
        self.assertEqual(pack(), first, "packing again later made another zip")

    def test_launcher_refuses_what_it_cannot_do_and_leaves_nothing_behind(self):
        before = tree(self.prefix)
        home = self.make_folder()
        result = run([self.launcher, "--help"], env=player_env(home))
        self.assertEqual(result.returncode, 2, result.stderr)
        self.assertIn("takes no arguments", result.stderr)
        self.assertEqual(os.listdir(home), [])

        # No HOME and no XDG_DATA_HOME: nowhere to keep the scores.
        env = player_env(home)
        del env["HOME"]
        result = launch_without_window(self.launcher, env, cwd=home)
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertIn("HOME is not set", result.stderr)
        self.assertEqual(os.listdir(home), [])

        # A home the player cannot write in: as root, the launcher runs as another user.
        as_user = {}
        if os.geteuid() == 0:
            as_user = {"user": "nobody", "group": "nogroup", "extra_groups": []}
        else:
            os.chmod(home, 0o555)
        result = launch_without_window(self.launcher, player_env(home), **as_user)
        os.chmod(home, 0o755)
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertIn("zandorel: cannot create", result.stderr)
        self.assertNotIn("window", result.stderr, "the game was started all the same")
        self.assertEqual(os.listdir(home), [])
        self.assertEqual(tree(self.prefix), before)

    def test_a_new_version_reaches_the_player_who_keeps_their_scores(self):
        home = self.make_folder()
        folder = os.path.join(home, ".local", "share", "zandorel")
        result = launch_without_window(self.launcher, player_env(home))
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertIn("there is no display to open a window on", result.stderr)
        self.assertTrue(os.path.isfile(os.path.join(folder, "debug.txt")),
                        "the game did not run in the player's folder")
        self.assertEqual(os.path.realpath(os.path.join(folder, "graphics")),
                         os.path.realpath(os.path.join(self.share, "graphics")))
        with open(os.path.join(folder, "data", "highscores.txt")) as file:
            self.assertEqual(file.read(), EMPTY_TABLE)
        player = Folder(folder)
        player.high_scores(70, 60, 50, 40, 30)
        # A level of the player's own, put in place of an installed one.
        player.remove("data/level2.txt")
        player.level(2, [[0]], [[1]], kinds=2)

        # The next version, installed somewhere else: level 1 changed, the last level gone, and a
        # different table shipped.
        root = self.make_folder()
        prefix = os.path.join(root, "opt")
        shutil.copytree(self.prefix, prefix, symlinks=True)
        share = Folder(os.path.join(prefix, SHARE))
        share.write("data/level1.tim", "33\n")
        for name in glob.glob(share.path(f"data/{LAST}.*")):
            os.remove(name)
        share.high_scores(99, 99, 99, 99, 99)
        result = launch_without_window(os.path.join(prefix, "games", "zandorel"),
                                       player_env(home))
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertIn("there is no display to open a window on", result.stderr)

        self.assertEqual(player.read("data/level1.tim"), "33\n")
        self.assertEqual(os.path.realpath(player.path("data/level1.tim")),
                         os.path.realpath(share.path("data/level1.tim")))
        self.assertEqual(os.path.realpath(player.path("graphics")),
                         os.path.realpath(share.path("graphics")))
        self.assertEqual(glob.glob(player.path(f"data/{LAST}.*")), [])
        self.assertEqual(player.read("data/highscores.txt"), "70\n60\n50\n40\n30\n")
        self.assertFalse(os.path.islink(player.path("data/level2.txt")))
        # Nothing half-made is left beside the folder or in it.
        self.assertEqual(os.listdir(os.path.dirname(folder)), ["zandorel"])
        self.assertEqual([n for n in os.listdir(player.path("data")) if ".new" in n], [])

    def test_the_launcher_renews_only_its_own_links_and_plays_on_where_it_can(self):
        user = {} if os.geteuid() else {"user": "nobody", "group": "nogroup", "extra_groups": []}
        old, new = (os.path.join(self.make_folder(), "usr") for _ in range(2))
        for prefix in (old, new):
            # Levels 1 and 10 on, and a game that says where it started and how scaled.
            shutil.copytree(self.prefix, prefix, symlinks=True)
            for name in glob.glob(f"{prefix}/{SHARE}/data/level[2-9].*"):
                os.remove(name)
            with open(f"{prefix}/lib/games/zandorel/zandorel", "w") as game:
                game.write('#!/bin/sh\nprintf "in %s at %s\\n" "$PWD" '
                           '"$SDL12COMPAT_WINDOW_SCALING"')
        shutil.copy(f"{new}/{SHARE}/data/{LAST}.txt", f"{new}/{SHARE}/data/{BEYOND}.txt")
        hold = Folder(self.make_folder(0o777))
        hold.write("mv", '#!/bin/sh\ncase "$*" in */data/level*) mkdir "$0.1" 2>/dev/null &&\n'
                         '    { "$SECOND" >"$0.out" 2>"$0.err"; echo $? >"$0.code"; }; esac\n'
                         'exec /bin/mv "$@"\n')
        os.chmod(hold.path("mv"), 0o755)

        for case, how, plant, said, code in LAUNCHER_CASES:
            with self.subTest(case):
                top, wrap = self.make_folder(), []
                if how == "pid1":  # an ordinary user needs a user namespace for one
                    wrap = ["unshare", "--pid", "--fork", "setpriv", "--reuid=nobody",
                            "--regid=nogroup", "--clear-groups", "--"] if user else \
                        ["unshare", "--user", "--map-root-user", "--pid", "--fork", "--"]
                if wrap and run(wrap + ["true"]).returncode or how == "full" and run(
                        ["mount", "-t", "tmpfs", "-o", "nr_inodes=80", "none", top]).returncode:
                    self.skipTest("no namespace or file system of its own to be had")
                if how == "full":
                    self.addCleanup(run, ["umount", top])
                home = os.path.join(top, "a player\\n\\c")  # escapes to echo under dash
                os.mkdir(home)
                if user:
                    shutil.chown(home, "nobody")
                env = dict(player_env(home), SDL12COMPAT_WINDOW_SCALING="1") \
                    if how == "scaling" else player_env(home)
                self.assertEqual(run([f"{old}/games/zandorel"], env=env, **user).stderr, "")
                folder = f"{home}/.local/share/zandorel"
                fill = lambda target: target.replace("~", home).replace("{old}", f"{old}/{SHARE}")
                for name, target in plant.items():
                    if os.path.lexists(f"{folder}/{name}"):
                        os.remove(f"{folder}/{name}")
                    os.symlink(fill(target), f"{folder}/{name}")
                for path in (folder, f"{folder}/data") if how == "readonly" else ():
                    os.chmod(path, 0o555)
                    self.addCleanup(os.chmod, path, 0o755)
                if how == "full":
                    run(["sh", "-c", 'i=0; while : >"$i"; do i=$((i+1)); done'], cwd=top)

                if how == "pair":
                    env.update(PATH=f"{hold.folder}:{env['PATH']}", SECOND=f"{new}/games/zandorel")
                started = run(wrap + [f"{new}/games/zandorel"], env=env, **({} if wrap else user))
                results = [(started.returncode, started.stdout, started.stderr)]
                if how == "pair":
                    results.append([hold.read(f"mv.{name}") for name in ("code", "out", "err")])
                said = said and "zandorel: " + said.replace("{folder}", re.escape(folder))
                # The game scales its window itself: the launcher leaves the layer's own
                # scaling to the player.
                scaling = env.get("SDL12COMPAT_WINDOW_SCALING", "")
                for returncode, out, err in results:
                    self.assertEqual((int(returncode), out),
                                     (code, f"in {folder} at {scaling}\n" if code == 0 else ""))
                    self.assertRegex(err, f"\\A{said}\\Z")
                share = f"{new if code == 0 and how != 'full' else old}/{SHARE}"
                expected = {"data": None, "data/highscores.txt": None,
                            "graphics": f"{share}/graphics"}
                expected.update({f"data/{n}": f"{share}/data/{n}"
                                 for n in os.listdir(f"{share}/data") if n.startswith("level")})
                expected.update({n: fill(t) for n, t in plant.items() if n != ".new1"})
                names = os.listdir(folder) + ["data/" + n for n in os.listdir(f"{folder}/data")]
                self.assertEqual({n: os.readlink(f"{folder}/{n}")
                                  if os.path.islink(f"{folder}/{n}") else None for n in names},
                                 expected)

    def test_a_game_from_a_fresh_home_lands_in_that_homes_table(self):
        before = tree(self.prefix)
        screens = RealScreens(self.share)
        home = self.make_folder()
        game = self.launch(self.launcher, home)
        self.wait_for_real_title(game, screens)
        game.click(*START)
        game.wait_for("the first level's tutorial", screens.is_message)
        game.click(*CONTINUE)

        # Level 1, solved by clicks once its goal has been shown.
        kinds, start, goal = read_level(os.path.join(self.share, "data", "level1.txt"))
        rows, cols = len(start), len(start[0])
        game.wait_for(f"level 1 to start from {start}",
                      lambda s: screens.grid(s, rows, cols) == start)
        shown = start
        for _ in range(rows * cols * kinds):
            wrong = [(r, c) for r in range(rows) for c in range(cols)
                     if shown[r][c] != goal[r][c]]
            if not wrong:
                break
            r, c = wrong[0]
            game.click(*screens.tile_centre(r, c))
            before_click = shown[r][c]
            screen = game.wait_for(f"tile ({r}, {c}) to change or the level to end",
                                   lambda s: screens.is_message(s)
                                   or screens.grid(s, rows, cols)[r][c] not in (None, before_click))
            if screens.is_message(screen):
                break
            shown = screens.grid(screen, rows, cols)
        game.wait_for("the transition to level 2", screens.is_message)
        score = logged_scores(game)[-1]
        with open(os.path.join(self.share, "data", "level1.tim")) as file:
            seconds = int(file.read())
        self.assertTrue(0 < score <= seconds, f"score {score}")

        # Level 2 runs out of time.
        game.click(*CONTINUE)
        _, start, _ = read_level(os.path.join(self.share, "data", "level2.txt"))
        game.wait_for("level 2 to start",
                      lambda s: screens.grid(s, len(start), len(start[0])) == start)
        game.wait_for("the game-over screen", screens.is_message, timeout=WAIT + 30)
        table = os.path.join(home, ".local", "share", "zandorel", "data", "highscores.txt")
        with open(table) as file:
            self.assertEqual(file.read(), table_after(None, score)[1])
        game.key("Escape")
        self.assert_clean_exit(game)
        self.assertEqual(tree(self.prefix), before, "playing changed the installed game")


class PackageTest(InstalledGameTest):
    """The Debian package that CPack builds from the same install; or the one the source
    package builds (ZANDOREL_DEB, as tools/debian.sh runs these)."""

    @classmethod
    def setUpClass(cls):
        cls.root = tempfile.mkdtemp(prefix="zandorel-package-")
        os.chmod(cls.root, 0o755)
        if os.environ.get("ZANDOREL_DEB"):
            shutil.copy(os.environ["ZANDOREL_DEB"], cls.root)
        else:
            checked([CPACK, "-G", "DEB", "-B", cls.root], cwd=BUILD_DIR)
        packages = glob.glob(os.path.join(cls.root, "zandorel_*.deb"))
        if len(packages) != 1:
            raise AssertionError(f"cpack made {packages}, not one package")
        cls.package = packages[0]
        cls.packed_at = time.time()

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.root, True)

    def test_lintian_finds_no_error_and_no_warning(self):
        result = run(["lintian", "--fail-on", "error,warning", self.package])
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)

    def test_packed_again_later_the_package_is_the_same_bytes(self):
        if os.environ.get("ZANDOREL_DEB"):
            self.skipTest("tools/debian.sh compares two builds of the source package")
        # Every time in the package is the build's (the last commit's), not when cpack ran.
        while time.time() < self.packed_at + 1.5:
            time.sleep(0.25)
        again = self.make_folder()
        checked([CPACK, "-G", "DEB", "-B", again], cwd=BUILD_DIR)
        with open(self.package, "rb") as first, \
                open(os.path.join(again, os.path.basename(self.package)), "rb") as second:
            self.assertTrue(first.read() == second.read(), "cpack made another package")

    def test_control_fields_and_layout(self):
        fields = checked(["dpkg-deb", "-f", self.package]).stdout
        self.assertIn("Section: games", fields)
        self.assertIn("Priority: optional", fields)
        # Filled in from the libraries the game links, not written by hand.
        depends = checked(["dpkg-deb", "-f", self.package, "Depends"]).stdout
        self.assertRegex(depends, r"libsdl1\.2debian \(>= [0-9.]+\)")
        self.assertRegex(depends, r"libc6 \(>= [0-9.]+\)")

        contents = {}
        for line in checked(["dpkg-deb", "-c", self.package]).stdout.splitlines():
            mode, owner, _size, _date, _time, path = line.split(None, 5)
            contents[path.split(" -> ")[0]] = (mode, owner)
        for path, mode in LAYOUT.items():
            self.assertEqual(contents.get(f"./usr/{path}"), (mode, "root/root"), path)
        self.assertEqual({owner for _, owner in contents.values()}, {"root/root"})
        # Stripped: the debugging information of the build stays out of the package.
        root = self.make_folder()
        checked(["dpkg", "-x", self.package, root])
        described = checked(["file", "-b", os.path.join(root, "usr/lib/games/zandorel/zandorel")])
        self.assertIn("stripped", described.stdout)
        self.assertNotIn("not stripped", described.stdout)
        # The menu entry names the launcher where the package puts it.
        with open(os.path.join(root, f"usr/share/applications/{APP_ID}.desktop")) as file:
            self.assertIn("\nExec=/usr/games/zandorel\nTryExec=/usr/games/zandorel\n", file.read())

    def test_unpacked_anywhere_the_launcher_starts_the_game(self):
        root = self.make_folder()
        checked(["dpkg", "-x", self.package, root])
        screens = RealScreens(os.path.join(root, "usr", SHARE))
        home = self.make_folder()
        game = self.launch(os.path.join(root, "usr", "games", "zandorel"), home)
        self.wait_for_real_title(game, screens)
        game.key("Escape")
        self.assert_clean_exit(game)
        table = os.path.join(home, ".local", "share", "zandorel", "data", "highscores.txt")
        with open(table) as file:
            self.assertEqual(file.read(), EMPTY_TABLE)


if __name__ == "__main__":
    unittest.main()
