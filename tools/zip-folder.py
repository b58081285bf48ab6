#!/usr/bin/env python3
"""Packs a folder into a zip that the same files always make byte for byte: entries in sorted
order, each with the given time, mode 644 (755 for a folder or a file its owner may run), and no
owner, so that neither the build folder's listing order, nor when or by whom it was built,
shows in what ships. With --touch, the files packed get that time on disk too, for whatever
else is made from the folder (the Windows setup program keeps each file's time).

Usage: zip-folder.py [--touch] EPOCH FOLDER ZIP [ENTRY...]
Packs ENTRY... (files or folders, relative to FOLDER; all of FOLDER when none is named)."""

import os
import sys
import time
import zipfile

# The earliest time a zip entry can hold.
ZIP_EPOCH = 315532800  # 1980-01-01 00:00:00 UTC


def walk(folder, entries):
    """Every folder and file under the entries, relative to folder, sorted."""
    found = []
    for entry in entries:
        path = os.path.join(folder, entry)
        if os.path.isdir(path):
            found.append(entry)
            for root, dirs, files in os.walk(path):
                for name in dirs + files:
                    found.append(os.path.relpath(os.path.join(root, name), folder))
        elif os.path.isfile(path):
            found.append(entry)
        else:
            sys.exit(f"zip-folder: no {path}")
    return sorted(set(found))


def pack(epoch, folder, zip_path, entries, touch):
    stamp = time.gmtime(max(epoch, ZIP_EPOCH))[:6]
    names = walk(folder, entries or sorted(os.listdir(folder)))
    part = zip_path + ".part"
    with zipfile.ZipFile(part, "w") as archive:
        for name in names:
            path = os.path.join(folder, name)
            if touch:
                os.utime(path, (epoch, epoch))
            arcname = name.replace(os.sep, "/")
            if os.path.isdir(path):
                info = zipfile.ZipInfo(arcname + "/", stamp)
                info.external_attr = (0o40755 << 16) | 0x10
                archive.writestr(info, b"")
                continue
            info = zipfile.ZipInfo(arcname, stamp)
            mode = 0o755 if os.stat(path).st_mode & 0o100 else 0o644
            info.external_attr = (0o100000 | mode) << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            with open(path, "rb") as f:
                archive.writestr(info, f.read(), compresslevel=9)
    os.replace(part, zip_path)


def main(argv):
    touch = bool(argv) and argv[0] == "--touch"
    if touch:
        argv = argv[1:]
    if len(argv) < 3 or not argv[0].isdigit():
        sys.exit(__doc__)
    pack(int(argv[0]), argv[1], argv[2], argv[3:], touch)


if __name__ == "__main__":
    main(sys.argv[1:])
