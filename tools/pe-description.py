#!/usr/bin/env python3
"""Gives a Windows program's version information another text in place of one it holds, in the
same bytes: the new text, padded with NULs, takes the old one's room, which Windows reads up to
the first NUL. The setup program's uninstaller, built from the setup itself, gets its own
description this way (dist/windows/setup.nsi). An NSIS program checks itself at every start
against the CRC-32 at the end of its data, which is made anew.

Usage: tools/pe-description.py PROGRAM OLD NEW     (NEW no longer than OLD)"""

import sys
import zlib

# NSIS's first header, on a 512-byte boundary after the executable: flags, this signature, the
# header's length and the length of all that follows, which ends with the CRC-32 of the file from
# byte 512 on.
NSIS_SIGNATURE = b"\xef\xbe\xad\xdeNullsoftInst"


def renew_nsis_crc(data):
    for at in range(512, len(data), 512):
        if data[at + 4:at + 20] == NSIS_SIGNATURE:
            end = at + int.from_bytes(data[at + 24:at + 28], "little")
            crc = zlib.crc32(data[512:end - 4]).to_bytes(4, "little")
            return data[:end - 4] + crc + data[end:]
    return data


def main(program, old, new):
    before = old.encode("utf-16-le") + b"\0\0"
    after = new.encode("utf-16-le") + b"\0\0"
    if len(after) > len(before):
        sys.exit(f"pe-description: {new!r} is longer than {old!r}")
    with open(program, "rb") as file:
        data = file.read()
    if data.count(before) != 1:
        sys.exit(f"pe-description: {program} holds {old!r} {data.count(before)} times, not once")
    with open(program, "wb") as file:
        file.write(renew_nsis_crc(data.replace(before, after.ljust(len(before), b"\0"))))


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__.split("\n\n")[-1])
    main(*sys.argv[1:])
