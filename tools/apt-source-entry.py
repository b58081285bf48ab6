"""Prints an apt source entry (deb-src) for the archive that offers a binary package, derived
from the machine's own entry for that archive: same format, same address, same key. apt
refuses two entries for one archive that name different keys, so the key must come along.

Usage: python3 tools/apt-source-entry.py PACKAGE
Exits 1 when no archive offers the package or no entry for it can be found.
"""

import glob
import re
import subprocess
import sys


def archive_of(package):
    """(address, suite, component) of the first archive apt-cache names for the package."""
    listing = subprocess.run(["apt-cache", "madison", package], capture_output=True,
                             text=True).stdout
    for line in listing.splitlines():
        fields = [f.strip() for f in line.split("|")]
        if len(fields) == 3 and fields[2].endswith(" Packages"):
            address, where = fields[2].split()[:2]
            suite, _, component = where.partition("/")
            return address, suite, component or "main"
    return None


def same(a, b):
    return a.rstrip("/") == b.rstrip("/")


def one_line_entry(address, suite, component):
    for path in ["/etc/apt/sources.list"] + sorted(glob.glob("/etc/apt/sources.list.d/*.list")):
        try:
            with open(path) as file:
                lines = file.read().splitlines()
        except OSError:
            continue
        for line in lines:
            m = re.match(r"\s*deb\s+(\[[^]]*\]\s+)?(\S+)\s+(\S+)", line)
            if m and same(m.group(2), address) and m.group(3) == suite:
                return f"deb-src {m.group(1) or ''}{m.group(2)} {suite} {component}\n"
    return None


def stanza_entry(address, suite, component):
    for path in sorted(glob.glob("/etc/apt/sources.list.d/*.sources")):
        with open(path) as file:
            stanzas = re.split(r"\n[ \t]*\n", file.read())
        for stanza in stanzas:
            fields, key = {}, None
            for line in stanza.splitlines():
                if line.startswith("#"):
                    continue
                if line[:1] in (" ", "\t") and key:
                    fields[key] += "\n" + line
                    continue
                key, _, value = line.partition(":")
                key = key.strip().lower()
                fields[key] = value.strip()
            if ("deb" in fields.get("types", "").split()
                    and fields.get("enabled", "yes").lower() != "no"
                    and any(same(u, address) for u in fields.get("uris", "").split())
                    and suite in fields.get("suites", "").split()):
                entry = (f"Types: deb-src\nURIs: {address}\nSuites: {suite}\n"
                         f"Components: {component}\n")
                if "signed-by" in fields:
                    entry += f"Signed-By: {fields['signed-by']}\n"
                return entry
    return None


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    archive = archive_of(sys.argv[1])
    if archive is None:
        print(f"no archive offers {sys.argv[1]}", file=sys.stderr)
        return 1
    entry = one_line_entry(*archive) or stanza_entry(*archive)
    if entry is None:
        print(f"no entry of this machine names {' '.join(archive)}", file=sys.stderr)
        return 1
    sys.stdout.write(entry)
    return 0


if __name__ == "__main__":
    sys.exit(main())
