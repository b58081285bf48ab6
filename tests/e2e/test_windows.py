"""The Windows zip, unpacked as a player would, starting at its own title screen, or away from
its pictures; the setup program, installing, playing and uninstalling in fresh Wine prefixes,
with the game running, over an older build and into a folder it may not write; and the
executable's resources."""

import filecmp
import getpass
import glob
import hashlib
import os
import pwd
import re
import shutil
import subprocess
import tempfile
import time
import unittest
import zipfile

from harness import BINARY, PACKAGE, SETUP, DataSet, Folder, GameTest, Wine, read_shortcut

SOURCES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")


@unittest.skipUnless(PACKAGE, "only a Windows build is shipped as a zip")
class WindowsZipTest(GameTest):

    def test_the_unpacked_zip_holds_the_game_and_starts_at_its_title_screen(self):
        name = os.path.basename(PACKAGE)[:-len(".zip")]
        self.assertRegex(name, r"^zandorel-\d+\.\d+\.\d+-windows-x86_64$")
        folder = tempfile.mkdtemp(prefix="zandorel-e2e-")
        self.addCleanup(shutil.rmtree, folder, True)
        with zipfile.ZipFile(PACKAGE) as package:
            names = {n for n in package.namelist() if not n.endswith("/")}
            package.extractall(folder)
        # One folder named after the zip: every picture and level of the sources, the
        # shipped table when there is one, and nothing else.
        pictures = {f"graphics/{os.path.basename(p)[:-len('.pic')]}.bmp"
                    for p in glob.glob(os.path.join(SOURCES, "graphics", "*.pic"))}
        data = {f"data/{os.path.basename(p)}"
                for p in glob.glob(os.path.join(SOURCES, "data", "level*"))
                + glob.glob(os.path.join(SOURCES, "data", "highscores.txt"))}
        self.assertEqual(names, {f"{name}/{n}" for n in
                                 {"zandorel.exe", "README.txt", "LICENSE.txt"} | pictures | data})
        top = os.path.join(folder, name)
        with open(os.path.join(top, "README.txt"), "rb") as readme:
            text = readme.read()
        self.assertNotRegex(text, rb"[^\r]\n", "README.txt has a line end without CR")
        self.assertIn(b"stderr.txt", text)
        self.assertNotIn(b"@", text, "a placeholder was left in README.txt")

        play_to_the_title_and_quit(self, self.start(Folder(top)))

    def test_started_away_from_its_pictures_the_game_says_why_in_a_message_box(self):
        # A double-clicked game's standard error reaches only stderr.txt, which no player reads.
        # The folder's name, outside ASCII, comes to the log and the box in UTF-8.
        folder = tempfile.mkdtemp(prefix="zandorel-e2e-")
        self.addCleanup(shutil.rmtree, folder, True)
        data = DataSet(os.path.join(folder, "\u00c9t\u00e9"))
        shutil.rmtree(data.path("graphics"))
        game = self.start(data)
        # The box is the one window named Zandorel: the game's gets its caption after it. The
        # game's start waits for the player to close it, and then goes on.
        self.assertRegex(game.log()[-1],
                         r"^Core::Core\(\) - No Picture Folder: .*\\\u00c9t\u00e9\\graphics\\$",
                         "the game went on with no message box\n" + game.diagnose())
        game._xdotool(["mousemove", "--window", str(game.windows()[0]), "20", "20",
                       "key", "Return"])
        deadline = time.monotonic() + 30
        while "Core::Core() - Successful Completion" not in game.log():
            self.assertLess(time.monotonic(), deadline, "Return did not close the box\n"
                            + game.diagnose())
            time.sleep(0.1)


def play_to_the_title_and_quit(test, game, meanwhile=None):
    """The game shows the shipped title screen, having loaded every picture, and ends on
    Escape; meanwhile, if given, is called while it shows."""
    game.wait_for("the shipped title screen, not a black one",
                  lambda s: sum(s.pixel(x, y) != (0, 0, 0)
                                for x in range(8, 256, 16) for y in range(8, 240, 16)) > 100)
    log = game.log()
    test.assertEqual([line for line in log if line.startswith("Load Failed")], [])
    test.assertIn("Loading Resource: ./graphics/title.bmp", log)
    if meanwhile:
        meanwhile()
    game.key("Escape")
    test.assert_clean_exit(game)


def shipped_files():
    """The zip's files, relative to its one folder, as a Windows path."""
    with zipfile.ZipFile(PACKAGE) as package:
        return {n.split("/", 1)[1].replace("/", "\\") for n in package.namelist()
                if not n.endswith("/")}


def installed_files(folder):
    return {os.path.relpath(os.path.join(root, name), folder).replace("/", "\\")
            for root, _, names in os.walk(folder) for name in names}


def snapshot(folder):
    """Each installed file's bytes (their digest) and time, to the 100 ns Windows keeps, but for
    what the running game itself writes."""
    result = {}
    for name in installed_files(folder) - {"debug.txt", "stdout.txt", "stderr.txt"}:
        path = os.path.join(folder, name.replace("\\", "/"))
        result[name] = (hashlib.sha256(read_bytes(path)).hexdigest(),
                        os.stat(path).st_mtime_ns // 100)
    return result


def read_bytes(path):
    with open(path, "rb") as file:
        return file.read()


KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zandorel"


def wine_entry(wine):
    """The list entry, once the server has written it out."""
    wine.stop_server()
    return wine.user_registry(KEY)
START_MENU = "\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs"


_PRISTINE = []


def fresh_wine(test, user=None):
    """A Wine prefix of the test's own, removed after it. For the tests' own account it is a
    copy of one made once and never run in, which is what a new one would be, in a fraction of
    the time."""
    home = tempfile.mkdtemp(prefix="zandorel-wine-")
    test.addCleanup(shutil.rmtree, home, True)
    if user is not None:
        os.chown(home, pwd.getpwnam(user).pw_uid, pwd.getpwnam(user).pw_gid)
    elif not _PRISTINE:
        _PRISTINE.append(tempfile.mkdtemp(prefix="zandorel-wine-"))
        Wine(os.path.join(_PRISTINE[0], "prefix")).prepare()
    if user is None:
        shutil.copytree(os.path.join(_PRISTINE[0], "prefix"), os.path.join(home, "prefix"),
                        symlinks=True)
    wine = Wine(os.path.join(home, "prefix"), user)
    test.addCleanup(wine.stop_server)
    wine.prepare()
    return wine


def setup_with_one_more_level(folder):
    """This build's setup program made again, cheaply, as an older build that shipped one level
    more: the last level's files once more under the next number."""
    build = os.path.dirname(SETUP)
    last = max(int(m.group(1)) for m in
               (re.fullmatch(r"data\\level(\d+)\.txt", name) for name in shipped_files()) if m)
    listing = []
    with open(os.path.join(build, "setup-files.nsh"), encoding="utf-8") as files:
        for line in files:
            listing.append(line)
            found = re.fullmatch(rf'(File|Delete) "(.*[/\\])level{last}(\.\w+)"\n', line)
            if found and found.group(1) == "File":
                listing.append(f'File "/oname=level{last + 1}{found.group(3)}" '
                               f'"{found.group(2)}level{last}{found.group(3)}"\n')
            elif found:
                listing.append(f'Delete "{found.group(2)}level{last + 1}{found.group(3)}"\n')
    with open(os.path.join(folder, "setup-files.nsh"), "w", encoding="utf-8") as files:
        files.writelines(listing)
    version = re.search(r"zandorel-(.+)-setup\.exe$", SETUP).group(1)
    stage = os.path.join(build, "package", os.path.basename(PACKAGE)[:-len(".zip")])
    older = os.path.join(folder, "older-setup.exe")
    subprocess.run(["makensis", "-V1", f"-DVERSION={version}", "-DPUBLISHER=Zandorel",
                    "-DCOPYRIGHT=Copyright (c) Zandorel", f"-DICON={build}/zandorel.ico",
                    f"-DSTAGE={stage}", f"-DFILES={folder}/setup-files.nsh", f"-DOUTFILE={older}",
                    f"-DMERGE={build}/zandorel-merge-scores.exe",
                    os.path.join(SOURCES, "dist", "windows", "setup.nsi")],
                   check=True, capture_output=True, timeout=120)
    return older, f"data\\level{last + 1}.txt"


@unittest.skipUnless(SETUP and PACKAGE, "only a Windows build has a setup program")
class WindowsSetupTest(GameTest):

    def test_a_silent_install_plays_and_keeps_the_table_through_a_reinstall_and_the_uninstall(self):
        with open(SETUP, "rb") as program:  # a 64-bit Windows program, as the game is
            head = program.read(4096)
        at = int.from_bytes(head[0x3c:0x40], "little")
        self.assertEqual(head[at:at + 6], b"PE\0\0\x64\x86")
        wine = fresh_wine(self)
        self.assertEqual(wine.run(SETUP, "/S"), 0)
        # The user's own programs folder, the files of the zip and the uninstaller, and the
        # shipped table.
        home = f"C:\\users\\{getpass.getuser()}"
        place = home + "\\AppData\\Local\\Programs\\Zandorel"
        folder = wine.path(place)
        self.assertEqual(installed_files(folder), shipped_files() | {"uninstall.exe"})
        self.assertTrue(filecmp.cmp(os.path.join(folder, "zandorel.exe"), BINARY, shallow=False))
        sources = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
        self.assertTrue(filecmp.cmp(os.path.join(folder, "data", "highscores.txt"),
                                    os.path.join(sources, "data", "highscores.txt"), shallow=False))
        version = re.search(r"zandorel-(.+)-setup\.exe$", SETUP).group(1)
        key = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zandorel"
        entry = wine.user_registry(key)
        size = entry.pop("EstimatedSize")
        self.assertEqual(entry, {
            "DisplayName": "Zandorel", "DisplayVersion": version,
            "Publisher": "The Zandorel developers", "DisplayIcon": place + "\\zandorel.exe,0",
            "InstallLocation": place, "UninstallString": f'"{place}\\uninstall.exe"',
            "QuietUninstallString": f'"{place}\\uninstall.exe" /S', "NoModify": 1, "NoRepair": 1})
        total = sum(os.path.getsize(os.path.join(folder, f.replace("\\", "/")))
                    for f in installed_files(folder))
        self.assertAlmostEqual(size, total / 1024, delta=total / 1024 / 20)
        menu = wine.path(home + "\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs")
        target, start_in = read_shortcut(os.path.join(menu, "Zandorel.lnk"))
        self.assertEqual((target, start_in), (place + "\\zandorel.exe", place))

        version_info = subprocess.run(
            ["wrestool", "-x", "--raw", "--type=version", os.path.join(folder, "uninstall.exe")],
            capture_output=True, check=True, timeout=30).stdout.decode("utf-16-le", "replace")
        self.assertRegex(version_info, f"FileDescription\0+Zandorel {re.escape(version)} "
                                       "uninstaller\0")

        def while_it_runs():
            # The game's files cannot be replaced while it runs: the setup, and the uninstaller
            # run in place (as one that waits for it gets its exit status), stop with status 3
            # and change nothing.
            before = snapshot(folder)
            self.assertEqual(wine.run(SETUP, "/S", wait=False), 3)
            self.assertEqual(wine.run(place + "\\uninstall.exe", "/S", f"_?={place}",
                                      wait=False), 3)
            self.assertEqual(snapshot(folder), before)

        # Started as the menu entry starts it, the installed game plays from its folder.
        game = self.start(self.make_data(), wine=wine, workdir=wine.path(start_in))
        play_to_the_title_and_quit(self, game, while_it_runs)
        game.stop()
        self.assertEqual(wine.user_registry(key), dict(entry, EstimatedSize=size))
        self.assertTrue(os.path.exists(os.path.join(menu, "Zandorel.lnk")))

        # Installed again, the files are renewed and the player's table stays.
        scores = b"4321\n321\n21\n1\n0\n"
        with open(os.path.join(folder, "data", "highscores.txt"), "wb") as table:
            table.write(scores)
        os.remove(os.path.join(folder, "data", "level1.txt"))
        self.assertEqual(wine.run(SETUP, "/S"), 0)
        self.assertTrue(os.path.exists(os.path.join(folder, "data", "level1.txt")))
        with open(os.path.join(folder, "data", "highscores.txt"), "rb") as table:
            self.assertEqual(table.read(), scores)

        # Uninstalled, only the table is left, and a later install finds it.
        self.assertEqual(wine.run(place + "\\uninstall.exe", "/S"), 0)
        self.assertEqual(installed_files(folder), {"data\\highscores.txt"})
        self.assertFalse(os.path.exists(os.path.join(menu, "Zandorel.lnk")))
        self.assertIsNone(wine.user_registry(key))
        self.assertEqual(wine.run(SETUP, "/S"), 0)
        with open(os.path.join(folder, "data", "highscores.txt"), "rb") as table:
            self.assertEqual(table.read(), scores)

    def test_an_upgrade_keeps_the_game_and_the_scores_whatever_happens(self):
        # Each case in a fresh prefix: the first setup installs into the first folder with the
        # player's table, the second into the second (None: where the list entry says), after
        # spoil has done its worst; then the second folder holds the table expected, or, where
        # the second setup fails, everything is as it was before it.
        with_level, extra = setup_with_one_more_level(tempfile.mkdtemp(prefix="zandorel-e2e-"))
        self.addCleanup(shutil.rmtree, os.path.dirname(with_level), True)
        default = f"C:\\users\\{getpass.getuser()}\\AppData\\Local\\Programs\\Zandorel"
        games, french = "C:\\Games\\Zandorel", "C:\\Jeux\\\u00c9t\u00e9\\Zandorel"
        scores, theirs = b"999\n500\n400\n300\n200\n", b"600\n450\n100\n0\n0\n"

        def block(path):  # a folder standing where the second setup writes a file
            return lambda wine: os.makedirs(wine.path(path))

        def read_only(wine):
            os.chmod(wine.path(games + "\\zandorel.exe"), 0o444)

        def unpacked_zip(wine, place):  # as a player unpacks it, and plays from it
            with zipfile.ZipFile(PACKAGE) as package:
                package.extractall(wine.path(place))
            top = os.path.join(wine.path(place), os.path.basename(PACKAGE)[:-len(".zip")])
            for name in os.listdir(top):
                os.rename(os.path.join(top, name), os.path.join(wine.path(place), name))
            os.rmdir(top)
            return 0

        def data_unwritable(wine):  # to the setup's account, which may write its files: only
            block(games + "\\uninstall.exe")(wine)  # the undo needs to remove some there
            return lambda: (os.geteuid() == 0 and os.chown(wine.path(games + "\\data"), 0, 0),
                            os.chmod(wine.path(games + "\\data"), 0o555))

        def table_there(wine, mode=0o644):
            os.makedirs(wine.path(french + "\\data"))
            with open(wine.path(french + "\\data\\highscores.txt"), "wb") as table:
                table.write(theirs)
            os.chmod(wine.path(french + "\\data\\highscores.txt"), mode)

        cases = [
            # the older build's files go, and none of its own (a level this one lacks) stays
            ("an upgrade in place", with_level, games, SETUP, None, None, 0, scores),
            ("a write failing after the old version went", SETUP, games, with_level, None,
             block(games + "\\" + extra[:-len(".txt")] + ".tim"), 4, None),
            ("a write failing in another folder", SETUP, default, SETUP, games,
             block(games + "\\graphics\\tiles.bmp"), 4, None),
            ("another folder", SETUP, default, SETUP, games, None, 0, scores),
            ("another folder holding a table", SETUP, games, SETUP, french, table_there, 0,
             b"999\n600\n500\n450\n400\n"),
            # the merge cannot write: the table moved in goes back (read-only files, run by
            # another account, as root writes them, in Wine as anywhere)
            ("a read-only table there", SETUP, games, SETUP, french,
             lambda wine: table_there(wine, 0o444), 4, None),
            # the zip's files, which no uninstaller names, are set aside and come back
            ("a write failing over an unpacked zip", None, games, SETUP, games,
             block(games + "\\uninstall.exe"), 4, None),
            # an undo that cannot be made is said, and its copy kept, with a status of its own
            ("an unwritable data folder over an unpacked zip", None, games, SETUP, games,
             data_unwritable, 5, None),
            ("a read-only zandorel.exe", SETUP, games, SETUP, None, read_only, 0, scores),
        ]
        for name, first, first_place, second, second_place, spoil, status, table in cases:
            with self.subTest(name):
                user = ("nobody" if os.geteuid() == 0 and ("read-only" in name
                                                            or "unwritable" in name) else None)
                wine = fresh_wine(self, user)
                if user:  # copies the other account may reach
                    home = os.path.dirname(wine.prefix)
                    first = first and shutil.copy(first, os.path.join(home, "first.exe"))
                    second = shutil.copy(second, os.path.join(home, "second.exe"))
                self.assertEqual(wine.run(first, "/S", "/D=" + first_place) if first
                                 else unpacked_zip(wine, first_place), 0)
                folder = wine.path(first_place)
                with open(os.path.join(folder, "data", "highscores.txt"), "wb") as file:
                    file.write(scores)
                later = spoil and spoil(wine)
                if user:
                    subprocess.run(["chown", "-R", user, wine.prefix], check=True)
                if later:
                    later()
                menu = os.path.join(wine.path(f"C:\\users\\{user or getpass.getuser()}"
                                              + START_MENU), "Zandorel.lnk")
                place = second_place or first_place
                before = (snapshot(folder), snapshot(wine.path(place)), wine_entry(wine),
                          os.path.exists(menu) and read_bytes(menu))
                where = ["/D=" + place] if second_place else []
                self.assertEqual(wine.run(second, "/S", *where), status)
                if status == 5:
                    home = wine.path(f"C:\\users\\{user or getpass.getuser()}")
                    kept = [found for temp in ("Temp", "AppData/Local/Temp")  # Wine's, Windows'
                            for found in glob.glob(f"{home}/{temp}/Zandorel setup */")]
                    self.assertEqual(len(kept), 1, kept)
                    with open(os.path.join(kept[0], "What could not be put back.txt"),
                              encoding="utf-8", errors="replace") as note:
                        self.assertIn(f"The files this setup wrote in {place} could not be put "
                                      f"back as it was", note.read())
                    self.assertEqual(snapshot(os.path.join(kept[0], "here")), before[0])
                    continue
                if status != 0:
                    self.assertEqual((snapshot(folder), snapshot(wine.path(place)), wine_entry(wine),
                                      os.path.exists(menu) and read_bytes(menu)), before)
                    continue
                self.assertEqual(installed_files(wine.path(place)),
                                 shipped_files() | {"uninstall.exe"})
                self.assertTrue(filecmp.cmp(wine.path(place + "\\zandorel.exe"), BINARY, False))
                self.assertEqual(read_bytes(wine.path(place + "\\data\\highscores.txt")), table)
                if second_place:  # nothing of the game's left where it was
                    self.assertFalse(os.path.exists(folder))
                self.assertEqual(wine.user_registry(KEY)["InstallLocation"], place)
                self.assertEqual(read_shortcut(menu), (place + "\\zandorel.exe", place))
        # The last case's game, read-only again, is removed by its uninstaller too.
        read_only(wine)
        self.assertEqual(wine.run(games + "\\uninstall.exe", "/S"), 0)
        self.assertEqual(installed_files(wine.path(games)), {"data\\highscores.txt"})

    def test_a_folder_the_account_may_not_write_stops_the_setup_with_no_entry_or_shortcut(self):
        # Run by root, the tests run the setup as another account, in a folder root owns; run by
        # anyone else, as themselves, in a folder made read-only.
        user = "nobody" if os.geteuid() == 0 else None
        wine = fresh_wine(self, user)
        locked = wine.path("C:\\Locked")
        os.mkdir(locked, 0o755 if user else 0o555)
        self.addCleanup(os.chmod, locked, 0o755)
        # The other account may not reach the build folder (a checkout in a private folder).
        setup = shutil.copy(SETUP, os.path.dirname(wine.prefix))
        os.chmod(setup, 0o755)
        self.assertEqual(wine.run(setup, "/S", "/D=C:\\Locked\\Zandorel"), 4)
        self.assertEqual(os.listdir(locked), [])
        self.assertIsNone(wine.user_registry(KEY))
        menu = wine.path(f"C:\\users\\{user or getpass.getuser()}" + START_MENU)
        self.assertFalse(os.path.exists(os.path.join(menu, "Zandorel.lnk")))


@unittest.skipUnless(PACKAGE, "only a Windows build has resources")
class WindowsResourcesTest(unittest.TestCase):

    def resource(self, kind):
        return subprocess.run(["wrestool", "-x", "--raw", f"--type={kind}", BINARY],
                              capture_output=True, check=True, timeout=30).stdout

    def test_the_executable_carries_its_icon_and_its_version(self):
        # The icon group SDL gives its window, at the sizes Windows shows, 16 to 256 pixels
        # (256 written as 0); each an icon of 32 bits.
        names = subprocess.run(["wrestool", "-l", "--type=group_icon", BINARY],
                               capture_output=True, check=True, timeout=30).stdout.decode()
        self.assertIn("--name='SDL_APP'", names)
        group = self.resource("group_icon")
        count = int.from_bytes(group[4:6], "little")
        entries = [group[6 + 14 * i:20 + 14 * i] for i in range(count)]
        self.assertEqual([e[0] or 256 for e in entries], [16, 24, 32, 48, 64, 256])
        self.assertEqual({int.from_bytes(e[6:8], "little") for e in entries}, {32})
        version = self.resource("version").decode("utf-16-le", errors="replace")
        release = re.search(r"zandorel-(\d+\.\d+\.\d+)-", os.path.basename(PACKAGE)).group(1)
        for name, value in (("ProductName", "Zandorel"), ("ProductVersion", release),
                            ("FileVersion", release), ("OriginalFilename", "zandorel.exe")):
            self.assertRegex(version, f"{name}\0+{re.escape(value)}\0")
        self.assertRegex(version, r"LegalCopyright\0+Copyright \(c\) \d{4} The Zandorel "
                                  r"developers\. Released under the MIT licence\.\0")

    def test_the_executable_states_its_windows_versions_and_its_dpi_choice(self):
        manifest = self.resource(24).decode()
        for windows in ("35138b9a-5d96-4fbd-8e2d-a2440225f93a", "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"):
            self.assertIn(f'<supportedOS Id="{{{windows}}}"/>', manifest)  # 7, and 10 and 11
        self.assertRegex(manifest, r">true/pm</dpiAware>")
        self.assertRegex(manifest, r">PerMonitorV2, PerMonitor</dpiAwareness>")


def tearDownModule():
    for folder in _PRISTINE:
        shutil.rmtree(folder, True)


if __name__ == "__main__":
    unittest.main()
