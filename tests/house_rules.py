"""Two house rules of DEVELOPERS.md that a reviewer's eye lets slip, checked over the tree:
the layout is what clang-format makes of it, and every class or struct of the game that no
class derives from is final.

Usage: house_rules.py CLANG_FORMAT
"""

import os
import re
import subprocess
import sys

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
CXX = (".cpp", ".h")


def cxx_files():
    """The tree's C++ files: those git tracks or would (a new file not yet added), or in a
    tree without git, those under the folders that hold sources."""
    try:
        listed = subprocess.run(["git", "ls-files", "-z", "--cached", "--others",
                                 "--exclude-standard", "--", "*.cpp", "*.h"], cwd=ROOT,
                                capture_output=True, check=True).stdout.decode()
        return sorted(name for name in listed.split("\0") if name)
    except (OSError, subprocess.CalledProcessError):
        pass
    found = []
    for top in ("src", "tests", "tools", "bench", "web"):
        for folder, dirs, files in os.walk(os.path.join(ROOT, top)):
            dirs[:] = [d for d in dirs if d != "node_modules"]
            found += [os.path.relpath(os.path.join(folder, f), ROOT) for f in files
                      if f.endswith(CXX)]
    return sorted(found)


def unformatted(clang_format, files):
    """The files clang-format would change."""
    result = subprocess.run([clang_format, "--dry-run", "--Werror", "--"] + files, cwd=ROOT,
                            capture_output=True, text=True)
    changed = {line.split(":", 1)[0] for line in result.stderr.splitlines()
               if "[-Wclang-format-violations]" in line}
    if result.returncode != 0 and not changed:
        raise SystemExit(f"{clang_format} failed:\n{result.stderr[-2000:]}")
    return sorted(changed)


CLASS = re.compile(r"^\s*(?:class|struct)\s+(\w+)\s*(final\s*)?(?::([^{;]*))?\{", re.MULTILINE)


def classes_not_final(files):
    """(file, class) for each class of the game defined without final although no class of
    the game derives from it."""
    defined, bases = [], set()
    for name in files:
        if not name.startswith("src/"):
            continue
        with open(os.path.join(ROOT, name), encoding="utf-8") as source:
            text = source.read()
        for match in CLASS.finditer(text):
            defined.append((name, match.group(1), bool(match.group(2))))
            bases.update(re.findall(r"(?:public|protected|private)\s+(\w+)", match.group(3) or ""))
    return [(name, cls) for name, cls, final in defined if not final and cls not in bases]


def main():
    clang_format = sys.argv[1]
    files = cxx_files()
    problems = []
    for name in unformatted(clang_format, files):
        problems.append(f"{name}: clang-format would change its layout "
                        f"(run {clang_format} -i {name})")
    for name, cls in classes_not_final(files):
        problems.append(f"{name}: class or struct {cls} is not final, and no class derives from it")
    for problem in problems:
        print(f"house_rules: {problem}", file=sys.stderr)
    print(f"house_rules: {len(files)} C++ files, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
