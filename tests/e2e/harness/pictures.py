"""The test data set (flat-coloured pictures in a coded palette, levels) and screenshots read
back from it: which palette colour, glyph or tile shows where."""

import os
import struct
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..",
                                "tools"))
import game_numbers  # noqa: E402

from .common import scores_text  # noqa: E402

WIDTH, HEIGHT = game_numbers.PICTURE_WIDTH, game_numbers.PICTURE_HEIGHT
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


def shipped_pictures():
    """The file names of the pictures cmake/DataSet.cmake ships, as CMake itself reads that
    list: the test data set has a picture under each of them, and under no other name."""
    script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "shipped_pictures.cmake")
    cmake = os.environ.get("ZANDOREL_CMAKE", "cmake")
    try:
        result = subprocess.run([cmake, "-P", script], capture_output=True, text=True,
                                timeout=60)
    except FileNotFoundError:
        raise AssertionError(f"no {cmake} to read the shipped pictures from "
                             "cmake/DataSet.cmake with") from None
    names = result.stderr.split()
    if result.returncode != 0 or not names:
        raise AssertionError(f"{cmake} -P {script} failed:\n{result.stderr[-2000:]}")
    return names


# Pictures with a layout of their own; every other shipped picture is one flat colour, named
# after it in the palette.
BACKGROUNDS = game_numbers.BACKGROUNDS
FONTS = ("fontwhite.bmp", "fontblack.bmp")
TILES = "tiles.bmp"
BUTTON_SIZES = {  # picture: (frame width, height, colour prefix)
    "buttonnormal.bmp": (96, 9, "start"),
    "buttonhs.bmp": (96, 9, "scores"),
    "buttonexit.bmp": (96, 9, "exit"),
    "buttondown.bmp": (16, 8, "down"),
    "buttonup.bmp": (16, 8, "up"),
    "buttoncontinue.bmp": (48, 12, "cont"),
}
SHIPPED = shipped_pictures()
_UNSHIPPED = sorted(set(BACKGROUNDS + FONTS + (TILES,) + tuple(BUTTON_SIZES)) - set(SHIPPED))
if _UNSHIPPED:
    raise AssertionError(f"the test data set lays out {', '.join(_UNSHIPPED)}, which "
                         "cmake/DataSet.cmake does not ship")
# Flat pictures by palette name: the backgrounds, the pop-ups and whatever is shipped next.
FLAT = [name[:-len(".bmp")] for name in SHIPPED
        if name not in FONTS and name != TILES and name not in BUTTON_SIZES]


def _build_palette():
    names = (FLAT
             + [f"{prefix}{frame}" for _, _, prefix in BUTTON_SIZES.values() for frame in range(3)]
             + [f"tile{k}" for k in range(5)]
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
TILE = 20
FLAT_SIZE = 16


def button_at(screen, x, y):
    """The colour prefix of the test button whose frame shows at (x, y), or None."""
    name = screen.name(x, y) or ""
    prefixes = {prefix for _, _, prefix in BUTTON_SIZES.values()}
    return name[:-1] if name[:-1] in prefixes and name[-1:] in ("0", "1", "2") else None


def standard_pictures():
    """Every picture the game ships, by file name."""
    pictures = {TILES: strip(TILE, TILE, [PALETTE[f"tile{k}"] for k in range(5)])}
    for name in FLAT:
        size = (WIDTH, HEIGHT) if f"{name}.bmp" in BACKGROUNDS else (FLAT_SIZE, FLAT_SIZE)
        pictures[f"{name}.bmp"] = strip(size[0], size[1], [PALETTE[name]])
    # The first column of every frame is magenta, so that the colour key shows on screen.
    for name, (width, height, prefix) in BUTTON_SIZES.items():
        pictures[name] = strip(width, height, [PALETTE[f"{prefix}{k}"] for k in range(3)],
                               transparent_left_column=True)
    # Coded fonts: every glyph cell is one flat colour of its own, so text reads back.
    glyphs = [PALETTE[f"glyph{c}"] for c in CHARSET]
    for name in FONTS:
        pictures[name] = strip(GLYPH, GLYPH, glyphs)
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
        self.write("data/highscores.txt", scores_text(*scores))

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


class Screen:
    """One screenshot of the game window, decoded from xwd's output. Its pixels are the game's:
    view is where the game's picture lies in the window and how many times enlarged, (x, y,
    scale); width and height are those of the picture as far as the window shows it."""

    def __init__(self, data, view=(0, 0, 1)):
        (header_size, _version, pixmap_format, _depth, width, height, _xoffset, byte_order,
         _unit, _bit_order, _pad, bits_per_pixel, bytes_per_line, visual_class, red_mask,
         green_mask, blue_mask, _bits_rgb, _cmap_entries, ncolors) = struct.unpack(
            ">20I", data[:80])
        if pixmap_format != 2 or bits_per_pixel not in (16, 24, 32):
            raise ValueError(f"unsupported screenshot: format {pixmap_format}, "
                             f"{bits_per_pixel} bits per pixel")
        self.window_width, self.window_height = width, height
        self.view = view
        x, y, scale = view
        self.width = max(0, min(WIDTH, (width - x) // scale))
        self.height = max(0, min(HEIGHT, (height - y) // scale))
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
            raise IndexError(f"({x}, {y}) lies outside the {self.width} x {self.height} picture")
        left, top, scale = self.view
        return self.window_pixel(left + x * scale, top + y * scale)

    def window_pixel(self, x, y):
        if not (0 <= x < self.window_width and 0 <= y < self.window_height):
            raise IndexError(f"({x}, {y}) lies outside the {self.window_width} x "
                             f"{self.window_height} window")
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

    def _row(self, y, x=0, width=None):
        """The bytes of part of a window row."""
        width = self.window_width - x if width is None else width
        at = y * self._bytes_per_line + x * self._bytes_per_pixel
        return self._pixels[at:at + width * self._bytes_per_pixel]

    def unsquare_pixels(self):
        """The game pixels shown as anything but a scale x scale square of one colour: the
        first of each row that has one."""
        left, top, scale = self.view
        size = self._bytes_per_pixel
        found = []
        for y in range(self.height):
            rows = [self._row(top + y * scale + k, left, self.width * scale) for k in range(scale)]
            for x in range(self.width):
                cell = rows[0][x * scale * size:(x + 1) * scale * size]
                if cell != cell[:size] * scale or any(
                        row[x * scale * size:(x + 1) * scale * size] != cell for row in rows[1:]):
                    found.append((x, y))
                    break
        return found

    def border_is_black(self):
        """Whether every window pixel beside the picture is black."""
        left, top, scale = self.view
        right, bottom = left + self.width * scale, top + self.height * scale
        for y in range(self.window_height):
            parts = ([self._row(y, 0, left), self._row(y, right)] if top <= y < bottom
                     else [self._row(y)])
            if any(part.strip(b"\0") for part in parts):
                return False
        return True

    def save_ppm(self, path):
        with open(path, "wb") as file:
            file.write(f"P6 {self.width} {self.height} 255\n".encode())
            for y in range(self.height):
                file.write(bytes(c for x in range(self.width) for c in self.pixel(x, y)))


# Reading the play screen: the test pictures' tiles with the game's gaps from where the game
# puts the grid, labels in row 5.

# Points well inside the buttons: the title's three, and the continue button of the other
# screens at (150, 109), whose frame is 48 x 12 in the test pictures (BUTTON_SIZES) and 72 x 10
# in the shipped ones, which the install tests play: each point lies inside both.
START = (120, 134)
HIGH_SCORES = (120, 144)
EXIT = (120, 154)
CONTINUE = (174, 115)


def placement(width, height):
    """Where the game's picture lies in a window of this size, (x, y, scale): enlarged by the
    largest whole number that fits, centred; at 1 from the corner in a smaller window."""
    scale = max(1, min(width // WIDTH, height // HEIGHT))
    return max(0, (width - WIDTH * scale) // 2), max(0, (height - HEIGHT * scale) // 2), scale


def png_pixels(path):
    """A PNG (the desktop icons) as (width, height, [(r, g, b, a), ...]), rows top down, read
    by ImageMagick."""
    size = subprocess.run(["identify", "-format", "%w %h", path], capture_output=True,
                          check=True).stdout.split()
    raw = subprocess.run(["convert", path, "-depth", "8", "rgba:-"], capture_output=True,
                         check=True).stdout
    return int(size[0]), int(size[1]), [tuple(raw[i:i + 4]) for i in range(0, len(raw), 4)]


def tile_centre(row, col):
    step = game_numbers.tile_step(TILE)
    return game_numbers.GRID_X + step * col + TILE // 2, game_numbers.GRID_Y + step * row + TILE // 2


def high_score_rows(screen, cells):
    """The rows of the high-score screen, one for each entry the game's table holds."""
    return [screen.text(game_numbers.TEXT_X, game_numbers.FIRST_ROW_Y + game_numbers.ROW_STEP * i,
                        cells) for i in range(game_numbers.TABLE_SIZE)]


def rows_of(*entries):
    """The rows that show a table holding entries: the first that fit, then empty ones."""
    return (list(entries) + [""] * game_numbers.TABLE_SIZE)[:game_numbers.TABLE_SIZE]


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


def play_labels(screen):
    return {"score": screen.text(10, 5, 12), "time": screen.text(123, 5, 3),
            "level": screen.text(166, 5, 11)}
