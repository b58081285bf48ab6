"""What the end-to-end tests share: a virtual X server, the real game binary in a fresh
working folder, a small data set of flat-coloured pictures, real input through xdotool, and
screenshots read back pixel by pixel.

A Windows build (a binary whose name ends in .exe) is played the same way under Wine.

Every wait is bounded and says what it waited for. Every process started here is killed when
its test ends, and dies with this driver if the driver itself is killed (PR_SET_PDEATHSIG);
under Wine, the Wine server of the prefix is stopped with the game.
"""

import ctypes
import ctypes.util
import os
import select
import shlex
import shutil
import signal
import struct
import subprocess
import tempfile
import time
import unittest

BINARY = os.environ.get("ZANDOREL_BINARY", "")
# Where a failed wait leaves the last screenshot it saw (as a PPM picture).
ARTIFACTS = os.environ.get("ZANDOREL_E2E_ARTIFACTS", "")
# "classic" (the default) or "compat": which SDL 1.2 the game must have loaded, so that a run
# meant for the compatibility layer cannot pass on the classic library by mistake.
EXPECTED_SDL = os.environ.get("ZANDOREL_E2E_SDL", "classic")
# Upper bound of every wait for something the game should show or do.
WAIT = float(os.environ.get("ZANDOREL_E2E_WAIT", "30"))
COMMAND_TIMEOUT = 20.0
# How often an X client of the tests tries to connect before a refusal fails the test.
CONNECT_TRIES = 6

# A Windows build runs under the runner the cross build names (Wine, as a shell would split
# the command), in a Wine prefix of the build tree, made once before the first game.
UNDER_WINE = BINARY.lower().endswith(".exe")
RUNNER = shlex.split(os.environ.get("ZANDOREL_E2E_RUNNER", ""))
WINE_PREFIX = os.environ.get("ZANDOREL_E2E_WINEPREFIX", "")
# No first-run dialogs offering to fetch .NET or a browser engine, no menu entries written
# into the home folder, and none of Wine's own chatter in the game's output.
WINE_ENV = {"WINEPREFIX": WINE_PREFIX, "WINEDEBUG": "-all",
            "WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d"}
# The zip a Windows build is shipped in, when the run has one.
PACKAGE = os.environ.get("ZANDOREL_E2E_PACKAGE", "")
# See Game._at: the pause Wine needs between a pointer motion and a button.
WINE_INPUT_PAUSE = 0.1

WIDTH, HEIGHT = 256, 240
GLYPH = 8
CHARSET = "ABCDEFGHIJKLMNOPQRSTUVWXYZ!,.?1234567890"
MAGENTA = (255, 0, 255)

# Flat colours from five levels per channel: far enough apart that the 5-6-5 rounding of a
# 16-bit screen (at most 7 per channel) cannot turn one into another.
_LEVELS = (0, 64, 128, 192, 255)
_TOLERANCE = 12


def _palette_colours():
    for r in _LEVELS:
        for g in _LEVELS:
            for b in _LEVELS:
                if (r, g, b) not in ((0, 0, 0), MAGENTA):
                    yield (r, g, b)


def _build_palette():
    names = (["title", "mermaid"]
             + [f"{button}{frame}" for button in ("start", "scores", "exit", "down", "up", "cont")
                for frame in range(3)]
             + [f"tile{k}" for k in range(5)]
             + ["clocksmall", "clockbig", "bombsmall", "bombbig"]
             + [f"glyph{c}" for c in CHARSET])
    colours = list(_palette_colours())
    assert len(names) <= len(colours)
    # Spread the picks over the whole cube rather than taking neighbours.
    step = len(colours) // len(names)
    return {name: colours[i * step] for i, name in enumerate(names)}


PALETTE = _build_palette()
# Black is what the game clears the screen to, where no picture is drawn.
_NAMED = dict(PALETTE, black=(0, 0, 0))


def colour_name(rgb):
    """The palette name of a screen colour, "black", or None for anything else."""
    for name, colour in _NAMED.items():
        if all(abs(a - b) <= _TOLERANCE for a, b in zip(rgb, colour)):
            return name
    return None


# ---------------------------------------------------------------------------------------------
# Pictures and levels


def bmp_bytes(width, height, colour_at):
    """A 24-bit Windows BMP; colour_at(x, y) gives each pixel, top row first."""
    row_size = (width * 3 + 3) & ~3
    pixels = bytearray()
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            r, g, b = colour_at(x, y)
            row += bytes((b, g, r))
        row += b"\0" * (row_size - len(row))
        pixels += row
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return header + info + bytes(pixels)


def strip(cell_width, height, colours, transparent_left_column=False):
    """Cells side by side, each one flat colour; optionally each cell's first column magenta."""
    def colour_at(x, _y):
        if transparent_left_column and x % cell_width == 0:
            return MAGENTA
        return colours[x // cell_width]
    return bmp_bytes(cell_width * len(colours), height, colour_at)


# Sizes of the test pictures: the positions are the game's, the sizes are chosen here.
BUTTON_SIZES = {  # picture: (frame width, height, colour prefix)
    "buttonnormal.bmp": (96, 9, "start"),
    "buttonhs.bmp": (96, 9, "scores"),
    "buttonexit.bmp": (96, 9, "exit"),
    "buttondown.bmp": (16, 8, "down"),
    "buttonup.bmp": (16, 8, "up"),
    "buttoncontinue.bmp": (48, 12, "cont"),
}
TILE = 20
POPUPS = ("clocksmall", "clockbig", "bombsmall", "bombbig")


def standard_pictures():
    """Every picture the game loads, by file name."""
    pictures = {
        "title.bmp": strip(WIDTH, HEIGHT, [PALETTE["title"]]),
        "mermaid.bmp": strip(WIDTH, HEIGHT, [PALETTE["mermaid"]]),
        "tiles.bmp": strip(TILE, TILE, [PALETTE[f"tile{k}"] for k in range(5)]),
    }
    # The first column of every frame is magenta, so that the colour key shows on screen.
    for name, (width, height, prefix) in BUTTON_SIZES.items():
        pictures[name] = strip(width, height, [PALETTE[f"{prefix}{k}"] for k in range(3)],
                               transparent_left_column=True)
    for popup in POPUPS:
        pictures[popup + ".bmp"] = strip(16, 16, [PALETTE[popup]])
    # Coded fonts: every glyph cell is one flat colour of its own, so text reads back.
    glyphs = [PALETTE[f"glyph{c}"] for c in CHARSET]
    pictures["fontwhite.bmp"] = strip(GLYPH, GLYPH, glyphs)
    pictures["fontblack.bmp"] = strip(GLYPH, GLYPH, glyphs)
    return pictures


def level_text(rows, cols, kinds, start, solution):
    def grid(cells):
        return "\n".join(" ".join(str(v) for v in row) for row in cells)
    return f"{rows} {cols} {kinds}\n\n{grid(start)}\n\n{grid(solution)}\n"


class Folder:
    """A folder whose files a test writes and reads back."""

    def __init__(self, folder):
        self.folder = folder

    def path(self, relative):
        return os.path.join(self.folder, relative)

    def write(self, relative, content):
        if isinstance(content, str):
            content = content.encode()
        with open(self.path(relative), "wb") as file:
            file.write(content)

    def remove(self, relative):
        os.remove(self.path(relative))

    def level(self, number, start, solution, kinds, seconds=None, tutorial=None, newline="\n"):
        """Writes levelN.txt and, when given, levelN.tim and levelN.tut, with these line ends."""
        rows, cols = len(start), len(start[0])
        text = level_text(rows, cols, kinds, start, solution)
        self.write(f"data/level{number}.txt", text.replace("\n", newline))
        if seconds is not None:
            self.write(f"data/level{number}.tim", f"{seconds}{newline}")
        if tutorial is not None:
            self.write(f"data/level{number}.tut", tutorial + newline)

    def high_scores(self, *scores):
        self.write("data/highscores.txt", "".join(f"{s}\n" for s in scores))

    def read(self, relative):
        with open(self.path(relative), "rb") as file:
            return file.read().decode()


class DataSet(Folder):
    """A fresh working folder with graphics/ and data/."""

    def __init__(self, folder):
        super().__init__(folder)
        os.makedirs(os.path.join(folder, "graphics"), exist_ok=True)
        os.makedirs(os.path.join(folder, "data"), exist_ok=True)
        for name, content in standard_pictures().items():
            self.write(os.path.join("graphics", name), content)


# ---------------------------------------------------------------------------------------------
# Screenshots


class Screen:
    """One screenshot of the game window, decoded from xwd's output."""

    def __init__(self, data):
        (header_size, _version, pixmap_format, _depth, width, height, _xoffset, byte_order,
         _unit, _bit_order, _pad, bits_per_pixel, bytes_per_line, visual_class, red_mask,
         green_mask, blue_mask, _bits_rgb, _cmap_entries, ncolors) = struct.unpack(
            ">20I", data[:80])
        if pixmap_format != 2 or bits_per_pixel not in (16, 24, 32):
            raise ValueError(f"unsupported screenshot: format {pixmap_format}, "
                             f"{bits_per_pixel} bits per pixel")
        self.width, self.height = width, height
        self._bytes_per_pixel = bits_per_pixel // 8
        self._bytes_per_line = bytes_per_line
        self._order = "little" if byte_order == 0 else "big"
        self._masks = (red_mask, green_mask, blue_mask)
        colours = []
        for i in range(ncolors):
            _pixel, r, g, b, _flags, _pad = struct.unpack_from(">IHHHBB", data, header_size + 12 * i)
            colours.append((r >> 8, g >> 8, b >> 8))
        # A DirectColor window maps each channel through its colour map; TrueColor does not.
        self._colour_map = colours if visual_class == 5 and colours else None
        self._pixels = data[header_size + 12 * ncolors:]
        expected = bytes_per_line * height
        if len(self._pixels) < expected:
            raise ValueError(f"screenshot cut short: {len(self._pixels)} of {expected} bytes")

    def pixel(self, x, y):
        if not (0 <= x < self.width and 0 <= y < self.height):
            raise IndexError(f"({x}, {y}) lies outside the {self.width} x {self.height} window")
        at = y * self._bytes_per_line + x * self._bytes_per_pixel
        value = int.from_bytes(self._pixels[at:at + self._bytes_per_pixel], self._order)
        channels = []
        for channel, mask in enumerate(self._masks):
            shift = (mask & -mask).bit_length() - 1
            top = mask >> shift
            level = (value & mask) >> shift
            if self._colour_map is not None:
                channels.append(self._colour_map[level][channel])
            else:
                channels.append(level * 255 // top)
        return tuple(channels)

    def name(self, x, y):
        return colour_name(self.pixel(x, y))

    def text(self, x, y, cells, glyph=GLYPH):
        """Reads a coded-font string; a cell without a glyph colour is a blank."""
        out = ""
        for i in range(cells):
            name = self.name(x + i * glyph + glyph // 2, y + glyph // 2)
            out += name[len("glyph"):] if name and name.startswith("glyph") else " "
        return out.rstrip()

    def text_box(self, lines=9):
        """The game's text box at (130, 20): up to nine lines of 14 cells in an 8 x 8 font."""
        return [self.text(130, 20 + GLYPH * i, 14) for i in range(lines)]

    def save_ppm(self, path):
        with open(path, "wb") as file:
            file.write(f"P6 {self.width} {self.height} 255\n".encode())
            for y in range(self.height):
                file.write(bytes(c for x in range(self.width) for c in self.pixel(x, y)))


# ---------------------------------------------------------------------------------------------
# Processes


def _die_with_parent():
    # Runs in the child between fork and exec: if the driver dies, so does the child.
    libc = ctypes.CDLL(None, use_errno=True)
    libc.prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG


def _stop(process, grace=5.0):
    if process is None or process.poll() is not None:
        return
    process.terminate()
    try:
        process.wait(timeout=grace)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait(timeout=grace)


# Wine places a window as if a window manager framed it, a title bar's height down the screen;
# the screen must hold it all, or screenshots come out cut short.
SCREEN = "640x480x24" if UNDER_WINE else "320x256x24"
XVFB_OPTIONS = ["-screen", "0", SCREEN, "-nolisten", "tcp", "-noreset"]


def free_display_number():
    """A display number that no X server uses now."""
    number = 60
    while os.path.exists(f"/tmp/.X11-unix/X{number}") or os.path.exists(f"/tmp/.X{number}-lock"):
        number += 1
    return number


class XServer:
    """Xvfb on a free display number, 24 bits per pixel."""

    def __init__(self, log_path):
        reader, writer = os.pipe()
        self._log = open(log_path, "wb")
        try:
            self.process = subprocess.Popen(
                ["Xvfb", "-displayfd", str(writer)] + XVFB_OPTIONS,
                pass_fds=(writer,), stdin=subprocess.DEVNULL, stdout=self._log,
                stderr=subprocess.STDOUT, preexec_fn=_die_with_parent)
        except FileNotFoundError:
            os.close(reader)
            os.close(writer)
            self._log.close()
            raise AssertionError("Xvfb is not installed: tools/setup.sh installs it") from None
        os.close(writer)
        number = b""
        deadline = time.monotonic() + WAIT
        try:
            while not number.endswith(b"\n"):
                left = deadline - time.monotonic()
                ready, _, _ = select.select([reader], [], [], max(left, 0))
                if not ready:
                    raise AssertionError(f"Xvfb gave no display number within {WAIT:.0f} s")
                chunk = os.read(reader, 16)
                if not chunk:
                    status = self.process.wait(timeout=5)
                    with open(log_path, "rb") as log:
                        said = log.read().decode(errors="replace")[-2000:]
                    raise AssertionError(f"Xvfb exited at start-up with status {status}:\n{said}")
                number += chunk
        except BaseException:
            self.stop()
            raise
        finally:
            os.close(reader)
        self.display = ":" + number.decode().strip()

    def said(self):
        """The last lines the X server wrote."""
        with open(self._log.name, "rb") as log:
            return log.read().decode(errors="replace")[-1500:]

    def stop(self):
        _stop(self.process)
        self._log.close()


class LateXServer(XServer):
    """Xvfb that comes up on a free display number only after a delay, for a game that
    begins to look for its display before there is one."""

    def __init__(self, log_path, delay):
        self._log = open(log_path, "wb")
        self.display = f":{free_display_number()}"
        self.process = subprocess.Popen(
            ["sh", "-c", 'sleep "$0" && exec "$@"', str(delay), "Xvfb", self.display]
            + XVFB_OPTIONS,
            stdin=subprocess.DEVNULL, stdout=self._log, stderr=subprocess.STDOUT,
            preexec_fn=_die_with_parent)


def xdotool(env, args):
    """Runs xdotool on env's display; a busy X server now and then refuses a connection
    outright, and a few tries get through. Raises TimeoutExpired on a server that stays
    silent."""
    for attempt in range(CONNECT_TRIES):
        result = subprocess.run(["xdotool"] + list(args), env=env, capture_output=True,
                                timeout=COMMAND_TIMEOUT)
        if b"Can't open display" not in result.stderr:
            break
        time.sleep(0.1 * (attempt + 1))
    return result


# What the game logs each time its display refuses it and it tries again.
RETRY_LINE = "GraphicsSystem::GraphicsSystem(...) - No Display Yet, Trying Again: "


class Game:
    """The real zandorel binary, run in a data set's folder on an X display.

    An installed game is started through its launcher instead (command), and runs in the
    player's folder (workdir) that the launcher makes."""

    def __init__(self, data, xserver, user=None, env=None, command=None, workdir=None):
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
        if UNDER_WINE:
            # SDL picks its Windows video driver as it would on a player's machine.
            del self.env["SDL_VIDEODRIVER"]
            self.env.update(WINE_ENV)
        # None removes a variable: a player's desktop, say, names no video driver.
        for name, value in (env or {}).items():
            if value is None:
                self.env.pop(name, None)
            else:
                self.env[name] = value
        # In the sanitizer build, what X and the media library keep until exit is theirs.
        suppressions = os.path.join(os.path.dirname(os.path.abspath(__file__)), "lsan.supp")
        self.env["LSAN_OPTIONS"] = ":".join(
            filter(None, [os.environ.get("LSAN_OPTIONS"), f"suppressions={suppressions}"]))
        if UNDER_WINE:
            prepare_wine_prefix()
        self._out = open(data.path("game.out"), "wb")
        self.process = None
        self.window = None
        self.last_screen = None
        if UNDER_WINE:
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
        if not RUNNER or not WINE_PREFIX:
            raise AssertionError("a Windows build needs ZANDOREL_E2E_RUNNER (Wine) and "
                                 "ZANDOREL_E2E_WINEPREFIX; the cross build's tests set both")
        if user is not None:
            raise AssertionError("under Wine the game runs as the user running the tests")
        # Beside the pictures and levels, as a player unpacks it: SDL's start-up module writes
        # stdout.txt and stderr.txt beside the executable, so they land in the test's folder.
        # An unpacked zip brings its own.
        self.binary = self.data.path(os.path.basename(BINARY))
        if not os.path.exists(self.binary):
            shutil.copy2(BINARY, self.binary)
        # Whatever ran before in the prefix, the game gets a Wine server of its own display.
        stop_wine_server()
        for attempt in range(1, CONNECT_TRIES + 1):
            self.process = subprocess.Popen(RUNNER + [self.binary], cwd=self.data.folder,
                                            env=self.env, stdin=subprocess.DEVNULL,
                                            stdout=self._out, stderr=subprocess.STDOUT,
                                            preexec_fn=_die_with_parent)
            try:
                self.window = self._find_window()
                self._check_library()
                return
            except AssertionError:
                # Wine opens its display once per process; refused, SDL's Windows drivers cannot
                # start and the game says so. Any other failure, or this one every time, is the
                # test's.
                refused = (self.process.poll() == 1
                           and "none of SDL's Windows drivers started" in self.output())
                if not refused or attempt == CONNECT_TRIES:
                    self.stop()
                    raise
                self._end()
            except BaseException:
                self.stop()
                raise
            for name in ("stdout.txt", "stderr.txt"):
                if os.path.exists(self.data.path(name)):
                    os.remove(self.data.path(name))
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
        deadline = time.monotonic() + WAIT
        while time.monotonic() < deadline:
            self._check_alive("while opening its window")
            found = self._xdotool(["search", "--name", "^Zandorel$"], check=False)
            ids = [int(w) for w in found.split()]
            if ids:
                return ids[0]
            time.sleep(0.05)
        raise AssertionError(f"no window named Zandorel appeared within {WAIT:.0f} s\n"
                             + self.diagnose())

    def _check_library(self):
        """Makes sure the game runs on the SDL 1.2 this run is meant for."""
        with open(f"/proc/{self.process.pid}/maps") as maps:
            mapped = {line.split()[-1] for line in maps if "/" in line}
        paths = {p for p in mapped if "libSDL" in p}
        if UNDER_WINE:
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
            screen = Screen(result.stdout)
        except ValueError:
            return None
        if (screen.width, screen.height) != (WIDTH, HEIGHT):
            return None
        self.last_screen = screen
        return screen

    def wait_for(self, what, condition, timeout=None):
        """Takes screenshots until condition(screen) holds; returns that screen."""
        timeout = WAIT if timeout is None else timeout
        deadline = time.monotonic() + timeout
        while True:
            self._check_alive(f"while waiting for {what}")
            screen = self.screen()
            if screen is not None and condition(screen):
                return screen
            if time.monotonic() > deadline:
                raise AssertionError(f"timed out after {timeout:.0f} s waiting for {what}\n"
                                     + self.diagnose())
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
        try:
            with open(os.path.join(self.workdir, "debug.txt"), "rb") as file:
                return file.read().decode().splitlines()
        except FileNotFoundError:
            return []

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

    def _at(self, x, y, *actions):
        """Moves the pointer to (x, y) in the window, then performs the xdotool actions."""
        args = ["mousemove", "--window", str(self.window), str(x), str(y)]
        if actions and UNDER_WINE:
            # Wine lets a button sent right behind a pointer motion reach the game ahead of
            # that motion (a click sent with the move onto the start button pressed where the
            # pointer had been before), and the game puts a press or release where it last saw
            # the pointer move. A pause after the motion lets Wine pass it on first: without
            # one the press landed on the old spot every time here, after 20 ms never; 0.1 s
            # leaves room for a busy machine.
            args += ["sleep", str(WINE_INPUT_PAUSE)]
        self._xdotool(args + list(actions))

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
        timeout = WAIT if timeout is None else timeout
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError(f"the game did not exit within {timeout:.0f} s\n"
                                 + self.diagnose()) from None

    def _check_alive(self, when):
        status = self.process.poll()
        if status is not None:
            raise AssertionError(f"the game exited with status {status} {when}\n"
                                 + self.diagnose(running=False))

    def output(self):
        """What the game wrote to standard output and error (under Wine: with Wine's own)."""
        out = ""
        names = ("game.out", "stdout.txt", "stderr.txt") if UNDER_WINE else ("game.out",)
        for name in names:
            try:
                out += self.data.read(name)
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
        if UNDER_WINE:
            # Wine's own processes (the server, its services, the desktop) would outlive the
            # game and hold on to this test's X server.
            stop_wine_server()

    def stop(self):
        self._end()
        self._out.close()


# ---------------------------------------------------------------------------------------------
# Wine


def _wine_server():
    beside = os.path.join(os.path.dirname(RUNNER[0]), "wineserver")
    return beside if os.path.exists(beside) else "wineserver"


def prepare_wine_prefix():
    """Creates the Wine prefix once; later games find it ready. Needs no X server."""
    if os.path.exists(os.path.join(WINE_PREFIX, "system.reg")):
        return
    env = dict(os.environ, **WINE_ENV)
    env.pop("DISPLAY", None)
    try:
        result = subprocess.run(RUNNER + ["wineboot", "--init"], env=env, capture_output=True,
                                timeout=300)
        subprocess.run([_wine_server(), "--wait"], env=env, capture_output=True, timeout=300)
    except subprocess.TimeoutExpired:
        raise AssertionError(f"Wine did not set up {WINE_PREFIX} within 300 s") from None
    if result.returncode != 0 or not os.path.exists(os.path.join(WINE_PREFIX, "system.reg")):
        raise AssertionError(f"Wine could not set up {WINE_PREFIX}:\n"
                             + result.stderr.decode(errors="replace")[-2000:])


def stop_wine_server():
    env = dict(os.environ, **WINE_ENV)
    try:
        subprocess.run([_wine_server(), "--kill"], env=env, capture_output=True,
                       timeout=COMMAND_TIMEOUT)
        subprocess.run([_wine_server(), "--wait"], env=env, capture_output=True,
                       timeout=COMMAND_TIMEOUT)
    except subprocess.TimeoutExpired:
        raise AssertionError(f"the Wine server of {WINE_PREFIX} did not stop within "
                             f"{COMMAND_TIMEOUT:.0f} s") from None


def _cpu_times():
    with open("/proc/stat") as stat:
        fields = stat.readline().split()[1:]
    return [int(f) / os.sysconf("SC_CLK_TCK") for f in fields]


_CPU_AT_START = _cpu_times()
_STARTED = time.monotonic()


def describe_machine():
    """Whether the whole machine was starved: load, and CPU time stolen by the host."""
    now = _cpu_times()
    steal = now[7] - _CPU_AT_START[7] if len(now) > 7 else float("nan")
    with open("/proc/loadavg") as loadavg:
        load = " ".join(loadavg.read().split()[:3])
    return (f"machine: load {load}; {steal:.1f} s of CPU stolen by the host in the "
            f"{time.monotonic() - _STARTED:.0f} s since the tests started")


def describe_threads(pid):
    lines = ["threads (id, state, kernel wait channel):"]
    try:
        for tid in sorted(os.listdir(f"/proc/{pid}/task"), key=int):
            with open(f"/proc/{pid}/task/{tid}/stat") as stat:
                fields = stat.read().rsplit(")", 1)[1].split()
            with open(f"/proc/{pid}/task/{tid}/comm") as comm:
                name = comm.read().strip()
            try:
                with open(f"/proc/{pid}/task/{tid}/wchan") as wchan:
                    channel = wchan.read().strip()
            except OSError:
                channel = "?"
            lines.append(f"  {tid} {name}: {fields[0]} {channel}")
    except OSError as error:
        lines.append(f"  unreadable: {error}")
    return "\n".join(lines)


def backtrace(pid):
    if shutil.which("gdb") is None:
        return "no gdb for a backtrace"
    try:
        result = subprocess.run(["gdb", "-p", str(pid), "-batch", "-nx",
                                 "-ex", "thread apply all bt 25"],
                                capture_output=True, timeout=60)
    except subprocess.TimeoutExpired:
        return "gdb timed out"
    text = result.stdout.decode(errors="replace")
    keep = [line for line in text.splitlines() if line.startswith(("Thread", "#"))]
    return "backtrace:\n" + "\n".join(keep[:120])


# ---------------------------------------------------------------------------------------------
# Closing a window the way a window manager does: a WM_DELETE_WINDOW client message.


class _ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]


class _XEvent(ctypes.Union):
    _fields_ = [("xclient", _ClientMessage), ("pad", ctypes.c_long * 24)]


def close_window(display_name, window):
    library = ctypes.util.find_library("X11")
    if library is None:
        raise AssertionError("libX11 not found: cannot send the close request")
    x11 = ctypes.CDLL(library)
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                               ctypes.POINTER(_XEvent)]
    x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    for attempt in range(CONNECT_TRIES):
        display = x11.XOpenDisplay(display_name.encode())
        if display:
            break
        time.sleep(0.1 * (attempt + 1))
    else:
        raise AssertionError(f"cannot open display {display_name}")
    try:
        event = _XEvent()
        event.xclient.type = 33  # ClientMessage
        event.xclient.display = display
        event.xclient.window = window
        event.xclient.message_type = x11.XInternAtom(display, b"WM_PROTOCOLS", 0)
        event.xclient.format = 32
        event.xclient.data[0] = x11.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
        event.xclient.data[1] = 0  # CurrentTime
        if not x11.XSendEvent(display, window, 0, 0, ctypes.byref(event)):
            raise AssertionError("XSendEvent refused the close request")
        x11.XSync(display, 0)
    finally:
        x11.XCloseDisplay(display)


# ---------------------------------------------------------------------------------------------
# Reading the play screen: tiles of 20 x 20 with 3-pixel gaps from (10, 29), labels in row 5.


# Points well inside the buttons: the title's three, and the continue button of the other
# screens, at (150, 109) and 48 x 12.
START = (120, 134)
HIGH_SCORES = (120, 144)
EXIT = (120, 154)
CONTINUE = (174, 115)


def tile_centre(row, col):
    return 10 + 23 * col + TILE // 2, 29 + 23 * row + TILE // 2


def grid(screen, rows, cols):
    """The tile values on screen, None where no tile picture shows."""
    values = []
    for r in range(rows):
        row = []
        for c in range(cols):
            name = screen.name(*tile_centre(r, c))
            row.append(int(name[4:]) if name and name.startswith("tile") else None)
        values.append(row)
    return values


def logged_scores(game):
    """The scores the level-transition screens wrote to debug.txt, in order."""
    log = game.log()
    return [int(log[i + 1]) for i, line in enumerate(log[:-1]) if line == "SCORE"]


def play_labels(screen):
    return {"score": screen.text(10, 5, 12), "time": screen.text(123, 5, 3),
            "level": screen.text(166, 5, 11)}


# ---------------------------------------------------------------------------------------------
# The test case base


class GameTest(unittest.TestCase):
    """Each test gets its own folder, X server and game; all are gone when it ends."""

    maxDiff = None

    def make_data(self):
        folder = tempfile.mkdtemp(prefix="zandorel-e2e-")
        self.addCleanup(shutil.rmtree, folder, True)
        return DataSet(folder)

    def start(self, data, user=None):
        xserver = XServer(data.path("xvfb.log"))
        self.addCleanup(xserver.stop)
        game = Game(data, xserver, user)
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

    def wait_for_play(self, game, level):
        return game.wait_for(f"the play screen of level {level}",
                             lambda s: play_labels(s)["level"] == f"LEVEL {level}")

    def wait_for_text_box(self, game, lines, what=None, background="mermaid"):
        """Waits until the text box shows exactly these lines (blank lines after them)."""
        expected = list(lines) + [""] * (9 - len(lines))
        return game.wait_for(what or f"the text box to read {lines}",
                             lambda s: s.name(2, 2) == background and s.text_box() == expected)
