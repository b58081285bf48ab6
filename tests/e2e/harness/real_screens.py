"""The screens of the game as it ships, recognised from its own pictures rather than from the
test data set's coded colours: what the install tests play, on the real pictures and levels."""

import os
import struct

from .pictures import game_numbers


class Picture:
    """A 24-bit BMP as the build draws it."""

    def __init__(self, path):
        with open(path, "rb") as file:
            self._data = file.read()
        offset, = struct.unpack_from("<I", self._data, 10)
        width, height, _planes, bits = struct.unpack_from("<iiHH", self._data, 18)
        if bits != 24:
            raise AssertionError(f"{path}: {bits} bits per pixel, not 24")
        self.width, self.height = width, abs(height)
        self._offset, self._bottom_up = offset, height > 0
        self._row = (width * 3 + 3) & ~3

    def pixel(self, x, y):
        row = self.height - 1 - y if self._bottom_up else y
        at = self._offset + row * self._row + x * 3
        blue, green, red = self._data[at:at + 3]
        return red, green, blue


# A 16-bit screen moves each channel by up to 7.
TOLERANCE = 10


def shows(screen, picture, x, y, width, height, at=None, step=3):
    """Whether the screen shows the picture's area (x, y, width, height) at `at` (by default
    where it lies in the picture), transparent magenta aside."""
    ax, ay = at or (x, y)
    for dy in range(0, height, step):
        for dx in range(0, width, step):
            want = picture.pixel(x + dx, y + dy)
            if want == (255, 0, 255):
                continue
            got = screen.pixel(ax + dx, ay + dy)
            if any(abs(a - b) > TOLERANCE for a, b in zip(want, got)):
                return False
    return True


def read_level(path):
    """(kinds, start grid, goal grid) of a level file."""
    with open(path) as file:
        numbers = [int(word) for word in file.read().split()]
    rows, cols, kinds = numbers[:3]
    cells = numbers[3:]
    grid = lambda first: [cells[first + r * cols:first + (r + 1) * cols] for r in range(rows)]
    return kinds, grid(0), grid(rows * cols)


class RealScreens:
    """Recognises the screens of the installed game from its own pictures."""

    def __init__(self, share):
        self.title = Picture(os.path.join(share, "graphics", "title.bmp"))
        self.mermaid = Picture(os.path.join(share, "graphics", "mermaid.bmp"))
        self.tiles = Picture(os.path.join(share, "graphics", "tiles.bmp"))

    def is_title(self, screen):
        # The top half: the buttons lie below it.
        return shows(screen, self.title, 0, 0, 256, 120)

    def is_message(self, screen):
        # Transition and game-over screens: the mermaid's side, left of the text and buttons.
        return shows(screen, self.mermaid, 0, 0, 120, 240)

    def tile_centre(self, row, col):
        """The middle of a tile on the play screen, with the shipped tiles' size."""
        tile = self.tiles.width // game_numbers.PICTURES_IN_STRIP
        step = game_numbers.tile_step(tile)
        return (game_numbers.GRID_X + step * col + tile // 2,
                game_numbers.GRID_Y + step * row + tile // 2)

    def grid(self, screen, rows, cols):
        """The tiles on the play screen, None where no single tile picture shows."""
        strip = game_numbers.PICTURES_IN_STRIP
        tile = self.tiles.width // strip
        step = game_numbers.tile_step(tile)
        values = []
        for r in range(rows):
            row = []
            for c in range(cols):
                at = (game_numbers.GRID_X + step * c, game_numbers.GRID_Y + step * r)
                kinds = [k for k in range(strip) if shows(screen, self.tiles, tile * k, 0, tile,
                                                          self.tiles.height, at)]
                row.append(kinds[0] if len(kinds) == 1 else None)
            values.append(row)
        return values
