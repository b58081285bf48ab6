"""The Windows zip, unpacked as a player would, starting at its own title screen."""

import glob
import os
import shutil
import tempfile
import unittest
import zipfile

from harness import PACKAGE, Folder, GameTest

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

        game = self.start(Folder(top))
        game.wait_for("the shipped title screen, not a black one",
                      lambda s: sum(s.pixel(x, y) != (0, 0, 0)
                                    for x in range(8, 256, 16) for y in range(8, 240, 16)) > 100)
        log = game.log()
        self.assertEqual([line for line in log if line.startswith("Load Failed")], [])
        self.assertIn("Loading Resource: ./graphics/title.bmp", log)
        game.key("Escape")
        self.assert_clean_exit(game)


if __name__ == "__main__":
    unittest.main()
