"""Writes the hand-made damaged pictures the picture check is tested on, and that seed its fuzz
target: each one a small BMP file that made classic SDL 1.2 crash or misread before the game
checked headers, beside a few sound pictures the check must accept.

Usage: python3 make_damaged_pictures.py FOLDER
"""

import os
import struct
import sys


def bmp(width, height, bpp, *, header=40, planes=1, compression=0, colours=0, palette=None,
        masks=None, offset=None, pixels=None, size=None):
    """A BMP file laid out as the fields say, whatever they say; the pixel rows default to a
    grey ramp of the size the width, height and depth ask for."""
    if header == 12:
        info = struct.pack("<IHHHH", 12, width & 0xFFFF, height & 0xFFFF, planes, bpp)
    else:
        info = struct.pack("<IiiHHIIiiII", header, width, height, planes, bpp, compression, 0,
                           2835, 2835, colours, 0)
        info += bytes(header - 40)
    extra = b"".join(struct.pack("<I", m) for m in masks) if masks is not None else b""
    table = palette if palette is not None else b""
    if pixels is None:
        stride = ((abs(width) * bpp + 31) // 32) * 4
        rows = min(abs(height), 64)
        pixels = bytes((i * 7) & 0xFF for i in range(stride * rows))
    start = 14 + len(info) + len(extra) + len(table) if offset is None else offset
    body = info + extra + table
    # An offset far past the end is written as it stands, not padded up to.
    body += bytes(max(0, min(start - 14 - len(body), 4096)))
    whole = b"BM" + struct.pack("<IHHI", size or 14 + len(body) + len(pixels), 0, 0, start)
    return (whole + body)[: max(start, 14 + len(body))] + pixels


def grey_palette(n, entry=4):
    return b"".join(bytes([i & 0xFF] * 3 + [0])[:entry] for i in range(n))


# Each name says what is wrong; "sound-" pictures are ones the check must accept.
PICTURES = {
    "sound-24bit.bmp": bmp(5, 3, 24),
    "sound-8bit.bmp": bmp(6, 2, 8, palette=grey_palette(256)),
    "sound-4bit-16-colours.bmp": bmp(7, 3, 4, colours=16, palette=grey_palette(16)),
    "sound-1bit-core-header.bmp": bmp(9, 2, 1, header=12, palette=grey_palette(2, 3)),
    "sound-16bit-bitfields.bmp": bmp(4, 4, 16, compression=3, masks=(0xF800, 0x07E0, 0x001F)),
    "sound-32bit-top-down-v4.bmp": bmp(3, -2, 32, header=108),
    "sound-32bit-gap-without-masks.bmp": bmp(4, 4, 32, offset=14 + 40 + 16),
    "height-minus-2-to-the-31.bmp": bmp(1000, -(2 ** 31), 24, pixels=bytes(3000)),
    "4bit-height-minus-2-to-the-31.bmp":
        bmp(1000, -(2 ** 31), 4, colours=16, palette=grey_palette(16), pixels=bytes(500)),
    "bits-per-pixel-2052.bmp": bmp(4, 4, 2052, pixels=bytes(256)),
    "bits-per-pixel-15.bmp": bmp(4, 4, 15),
    "width-65535-core-header.bmp": bmp(65535, 1, 24, header=12, pixels=bytes(64)),
    "width-zero.bmp": bmp(0, 4, 24, pixels=bytes(64)),
    "two-planes.bmp": bmp(2, 2, 24, planes=2),
    "header-size-41.bmp": bmp(2, 2, 24, header=41),
    "not-bm.bmp": b"MB" + bmp(2, 2, 24)[2:],
    "cut-in-the-header.bmp": bmp(2, 2, 24)[:30],
    "sound-4bit-before-a-second-header.bmp":
        bmp(8, 2, 4, colours=0, palette=grey_palette(16), pixels=bmp(8, 2, 4)),
    "4bit-palette-into-the-pixels.bmp":
        bmp(8, 2, 4, colours=0, palette=grey_palette(4), offset=14 + 40 + 16, pixels=bytes(64)),
    "8bit-without-palette.bmp": bmp(16, 16, 8, offset=54),
    "8bit-300-colours.bmp": bmp(4, 2, 8, colours=300, palette=grey_palette(300)),
    "palette-past-the-end.bmp": bmp(4, 2, 8, colours=256, palette=grey_palette(8), pixels=b""),
    "pixels-past-the-end.bmp": bmp(64, 64, 24, pixels=bytes(100)),
    "offset-past-the-end.bmp": bmp(4, 4, 24, offset=1 << 30),
    "rle8-on-24bit.bmp": bmp(4, 4, 24, compression=1),
    "bitfields-on-24bit.bmp": bmp(4, 4, 24, compression=3, masks=(0xFF0000, 0xFF00, 0xFF)),
    "compression-99.bmp": bmp(4, 4, 16, compression=99),
    "16bit-empty-masks.bmp": bmp(4, 4, 16, compression=3, masks=(0, 0, 0)),
    "16bit-scattered-masks.bmp": bmp(4, 4, 16, compression=3, masks=(0xA5A5, 0x0F00, 0x001F)),
    "32bit-masks-wider-than-a-byte.bmp":
        bmp(4, 4, 32, compression=3, masks=(0x3FF00000, 0x000FFC00, 0x000003FF)),
    "16bit-mask-beyond-the-depth.bmp":
        bmp(4, 4, 16, compression=3, masks=(0xFF0000, 0x07E0, 0x001F)),
    "32bit-gap-read-as-masks.bmp":
        bmp(4, 4, 32, offset=14 + 40 + 16, masks=(0x80000001, 0x0, 0x12345678, 0)),
    "16bit-masks-sharing-bits.bmp":
        bmp(4, 4, 16, compression=3, masks=(0xF800, 0x07C0, 0x00E0)),
    # Uncompressed 16-bit pixels are 5 bits a colour; after a gap SDL reads the gap as masks,
    # and empty ones give it 5, 6 and 5 bits: magenta is no longer keyed out.
    "16bit-gap-read-as-5-6-5.bmp": bmp(4, 4, 16, offset=14 + 40 + 16),
    "32bit-gap-read-as-swapped-masks.bmp":
        bmp(4, 4, 32, offset=14 + 40 + 16, masks=(0xFF, 0xFF00, 0xFF0000, 0)),
    "sound-16bit-gap-holding-its-masks.bmp":
        bmp(4, 4, 16, offset=14 + 40 + 16, masks=(0x7C00, 0x03E0, 0x001F, 0)),
    "sound-32bit-gap-holding-its-masks.bmp":
        bmp(4, 4, 32, offset=14 + 40 + 16, masks=(0xFF0000, 0xFF00, 0xFF, 0)),
    # SDL reads the palette from the 54th byte on, inside a longer header.
    "8bit-palette-behind-a-v4-header.bmp": bmp(4, 2, 8, header=108, palette=grey_palette(256)),
    "4bit-palette-behind-a-v5-header.bmp":
        bmp(8, 2, 4, header=124, colours=16, palette=grey_palette(16)),
}


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    for name, content in PICTURES.items():
        with open(os.path.join(folder, name), "wb") as out:
            out.write(content)


if __name__ == "__main__":
    main()
