#!/usr/bin/env python3
"""Seals a built web site folder, after every other file is in it: gives the data package the
identity its contents make, in place of the packer's random one; compresses the data package
with gzip (the page unpacks it), so that the site is small on a host that compresses nothing;
writes the package's SHA-256 as shipped into zandorel-data.js, for the page to check the package
against; writes the size of each file the game needs into index.html, for the page's progress
bar; and writes the service worker (web/sw.js) with the list of every file of the folder and its
SHA-256, its cache named after that list. Sealing a sealed folder again changes nothing.

Usage: web-seal.py SITE_FOLDER SW_TEMPLATE"""

import gzip
import hashlib
import json
import os
import re
import sys
import uuid

MARK = "// zandorel: the package's SHA-256\n"
# What the page loads before the game can start, beside index.html and loader.js.
GAME_FILES = ("zandorel.js", "zandorel.wasm", "zandorel-data.js", "zandorel.data")
SIZES = re.compile(r"data-sizes='[^']*'")


def compress_package(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] == b"\x1f\x8b":
        return
    # No time and no name in the header: the same package gives the same bytes.
    with open(path, "wb") as f:
        f.write(gzip.compress(data, compresslevel=9, mtime=0))


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def pin_package_uuid(text, package_sha256):
    """The packer names every package it writes with a fresh random UUID, which would make each
    build's site differ: the package's own hash names it instead, as unique and the same for the
    same contents."""
    pinned = str(uuid.UUID(package_sha256[:32]))
    text, count = re.subn(r'"package_uuid": "[0-9a-f-]+"', f'"package_uuid": "{pinned}"', text)
    if count != 1:
        sys.exit(f"web-seal: {count} package UUIDs in zandorel-data.js, not one")
    return text


def main(site, template):
    compress_package(os.path.join(site, "zandorel.data"))
    data_js = os.path.join(site, "zandorel-data.js")
    with open(data_js, encoding="utf-8") as f:
        text = f.read().split(MARK)[0]
    text = pin_package_uuid(text, sha256(os.path.join(site, "zandorel.data")))
    with open(data_js, "w", encoding="utf-8") as f:
        f.write(text + MARK + "Module['dataPackageSha256'] = '%s';\n"
                % sha256(os.path.join(site, "zandorel.data")))

    page = os.path.join(site, "index.html")
    with open(page, encoding="utf-8") as f:
        html = f.read()
    sizes = json.dumps({name: os.path.getsize(os.path.join(site, name)) for name in GAME_FILES})
    html, found = SIZES.subn(lambda _: "data-sizes='%s'" % sizes, html)
    if found != 1:
        sys.exit(f"{page} has no progress bar's data-sizes to write")
    with open(page, "w", encoding="utf-8") as f:
        f.write(html)

    files = {name: sha256(os.path.join(site, name)) for name in sorted(os.listdir(site))
             if name != "sw.js" and not name.startswith(".")
             and os.path.isfile(os.path.join(site, name))}
    version = hashlib.sha256("".join(f"{n} {h}\n" for n, h in files.items()).encode()).hexdigest()
    with open(template, encoding="utf-8") as f:
        worker = f.read()
    worker = (worker.replace("@ZANDOREL_SITE_FILES@", json.dumps(files, indent=1))
              .replace("@ZANDOREL_SITE_VERSION@", version[:16]))
    with open(os.path.join(site, "sw.js"), "w", encoding="utf-8") as f:
        f.write(worker)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
