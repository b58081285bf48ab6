#!/usr/bin/env python3
"""Seals a built web site folder, after every other file is in it: compresses the data package
with gzip (the page unpacks it), so that the site is small on a host that compresses nothing;
writes into index.html the page's script (web/loader.js), the package's table of files (from
the script emscripten's packer wrote beside it, which the site does not ship) with its size and
its SHA-256 as shipped, for the page to check the package against, and the size of each file
the game needs, for the page's progress bar; and writes the service worker (web/sw.js) with the
list of every file of the folder and its SHA-256, its cache named after that list. Sealing a
sealed folder again changes nothing.

Usage: web-seal.py SITE_FOLDER SW_TEMPLATE LOADER PACKER_SCRIPT"""

import gzip
import hashlib
import json
import os
import re
import sys

# What the page loads before the game can start, beside index.html itself.
GAME_FILES = ("zandorel.js", "zandorel.wasm", "zandorel.data")
SIZES = re.compile(r"data-sizes='[^']*'")
# What the build writes into the page: its script and the package's table.
LOADER = re.compile(r'(<script id="loader">).*?(</script>)', re.S)
TABLE = re.compile(r'(<script type="application/json" id="package">).*?(</script>)', re.S)


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


def package_table(packer_script, package):
    """The package's files, each as [path, start, end], and its size unpacked, from the script
    emscripten's packer wrote; with the package's SHA-256 as shipped."""
    with open(packer_script, encoding="utf-8") as f:
        found = re.findall(r"loadPackage\((\{.*?\})\);", f.read(), re.S)
    if len(found) != 1:
        sys.exit(f"web-seal: {len(found)} package tables in {packer_script}, not one")
    metadata = json.loads(found[0])
    return {"files": [[f["filename"], f["start"], f["end"]] for f in metadata["files"]],
            "size": metadata["remote_package_size"], "sha256": sha256(package)}


def write_into(pattern, html, text, what):
    """html with text as the content of the one element pattern finds."""
    if "</script" in text.lower():
        sys.exit(f"web-seal: {what} holds a closing script tag and cannot go into the page")
    html, found = pattern.subn(lambda m: m.group(1) + text + m.group(2), html)
    if found != 1:
        sys.exit(f"web-seal: the page has {found} places for {what}, not one")
    return html


def main(site, template, loader, packer_script):
    package = os.path.join(site, "zandorel.data")
    compress_package(package)
    table = json.dumps(package_table(packer_script, package), separators=(",", ":"))
    with open(loader, encoding="utf-8") as f:
        script = f.read()

    page = os.path.join(site, "index.html")
    with open(page, encoding="utf-8") as f:
        html = f.read()
    html = write_into(TABLE, html, table, "the package's table")
    html = write_into(LOADER, html, script, loader)
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
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    main(*sys.argv[1:])
