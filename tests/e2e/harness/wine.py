"""Wine, as the tests run a Windows build in it: the runner and its environment, a prefix made
once, its server (stopped around every game), and what a Windows program leaves in a prefix:
its files under drive_c and the user's registry."""

import os
import pwd
import re
import shlex
import shutil
import subprocess

from .common import COMMAND_TIMEOUT, _die_with_parent

# The runner the cross build names (Wine), as a shell would split the command, and the prefix of
# the build tree that the games run in, made once before the first.
RUNNER = shlex.split(os.environ.get("ZANDOREL_E2E_RUNNER", ""))
WINE_PREFIX = os.environ.get("ZANDOREL_E2E_WINEPREFIX", "")
# See Game._at: the pause Wine needs between a pointer motion and a button.
WINE_INPUT_PAUSE = 0.1
# What SDL's start-up module writes beside the executable in place of standard output and error.
OUTPUT_FILES = ("stdout.txt", "stderr.txt")
# What the game says when Wine refused it its display (Wine opens it once per process).
REFUSED = "none of SDL's Windows drivers started"


class Wine:
    """One Wine prefix and the Windows programs run in it."""

    def __init__(self, prefix, user=None):
        """user: another account to run every program as (the tests' own by default); the prefix's
        folder, which Wine makes, must be one it may write."""
        if not RUNNER or not prefix:
            raise AssertionError("a Windows build needs ZANDOREL_E2E_RUNNER (Wine) and a Wine "
                                 "prefix (ZANDOREL_E2E_WINEPREFIX); the cross build's tests set both")
        self.prefix = prefix
        self.user = user
        self.as_user = []
        if user is not None:
            entry = pwd.getpwnam(user)
            self.as_user = ["setpriv", f"--reuid={entry.pw_uid}", f"--regid={entry.pw_gid}",
                            "--clear-groups"]

    def environment(self, base=None):
        """base (the tests' own environment by default) for a program in this prefix: no
        first-run dialogs offering to fetch .NET or a browser engine, no menu entries written
        into the home folder, none of Wine's own chatter, and SDL left to pick its Windows video
        driver as it would on a player's machine; a folder named outside ASCII reaches the
        program as named, whatever the tests' own locale."""
        env = dict(os.environ if base is None else base, WINEPREFIX=self.prefix, WINEDEBUG="-all",
                   WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d", LC_ALL="C.UTF-8")
        env.pop("SDL_VIDEODRIVER", None)
        if self.user is not None:
            env.update(HOME=os.path.dirname(self.prefix), USER=self.user, LOGNAME=self.user)
        return env

    def _server(self):
        beside = os.path.join(os.path.dirname(RUNNER[0]), "wineserver")
        return beside if os.path.exists(beside) else "wineserver"

    def prepare(self):
        """Creates the prefix once; later programs find it ready. Needs no X server."""
        if os.path.exists(os.path.join(self.prefix, "system.reg")):
            return
        env = self.environment()
        env.pop("DISPLAY", None)
        try:
            result = subprocess.run(self.as_user + RUNNER + ["wineboot", "--init"], env=env, capture_output=True,
                                    timeout=300)
            subprocess.run(self.as_user + [self._server(), "--wait"], env=env,
                           capture_output=True, timeout=300)
        except subprocess.TimeoutExpired:
            raise AssertionError(f"Wine did not set up {self.prefix} within 300 s") from None
        if result.returncode != 0 or not os.path.exists(os.path.join(self.prefix, "system.reg")):
            raise AssertionError(f"Wine could not set up {self.prefix}:\n"
                                 + result.stderr.decode(errors="replace")[-2000:])

    def stop_server(self):
        """Stops the prefix's server and every Windows program in it; the server then writes
        the registry to its files."""
        env = self.environment()
        try:
            subprocess.run(self.as_user + [self._server(), "--kill"], env=env,
                           capture_output=True, timeout=COMMAND_TIMEOUT)
            subprocess.run(self.as_user + [self._server(), "--wait"], env=env,
                           capture_output=True, timeout=COMMAND_TIMEOUT)
        except subprocess.TimeoutExpired:
            raise AssertionError(f"the Wine server of {self.prefix} did not stop within "
                                 f"{COMMAND_TIMEOUT:.0f} s") from None

    def place(self, binary, folder):
        """The game beside its pictures and levels, as a player unpacks it: SDL's start-up
        module writes its output files beside the executable. A folder that holds one keeps it."""
        placed = os.path.join(folder, os.path.basename(binary))
        if not os.path.exists(placed):
            shutil.copy2(binary, placed)
        return placed

    def start(self, program, folder, env, out):
        """Starts program in folder with a Wine server of its own display, whatever ran before."""
        self.stop_server()
        for name in OUTPUT_FILES:
            if os.path.exists(os.path.join(folder, name)):
                os.remove(os.path.join(folder, name))
        return subprocess.Popen(RUNNER + [program], cwd=folder, env=env,
                                stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT,
                                preexec_fn=_die_with_parent)

    def run(self, program, *args, timeout=120, wait=True):
        """Runs a program to its end, and every program it started: an uninstaller, say, goes
        on from a copy of itself once it has returned. Returns its exit status. wait=False, for
        a prefix with a game running, waits for the program alone."""
        env = self.environment()
        env.pop("DISPLAY", None)
        try:
            result = subprocess.run(self.as_user + RUNNER + [program] + list(args), env=env,
                                    capture_output=True, timeout=timeout)
            if wait:
                subprocess.run(self.as_user + [self._server(), "--wait"], env=env,
                               capture_output=True, timeout=timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError(f"{program} did not end within {timeout} s") from None
        return result.returncode

    def path(self, windows_path):
        """Where a path on drive C: of the prefix lies here."""
        drive, _, rest = windows_path.partition(":\\")
        if drive.upper() != "C":
            raise ValueError(f"not a path on drive C: {windows_path}")
        return os.path.join(self.prefix, "drive_c", *rest.split("\\"))

    def user_registry(self, key):
        """The values of a key of HKEY_CURRENT_USER, as the server last wrote them (it does when
        it stops): strings as text, numbers (dword) as ints. None when there is no such key."""
        values = None
        with open(os.path.join(self.prefix, "user.reg"), encoding="utf-8") as registry:
            for line in registry:
                line = line.rstrip("\n")
                if line.startswith("["):
                    name = line[1:line.index("]")].replace("\\\\", "\\")
                    if values is not None:
                        break
                    values = {} if name.lower() == key.lower() else None
                elif values is not None and line.startswith('"'):
                    name, value = line[1:].split('"=', 1)
                    if value.startswith("dword:"):
                        values[name] = int(value[len("dword:"):], 16)
                    else:
                        values[name] = _unescape(value[1:-1])
        return values


def _unescape(text):
    """A string value as Wine writes it: a backslash before a backslash or a quote, and \\x and
    up to four hex digits for a character outside ASCII."""
    return re.sub(r'\\(x[0-9a-fA-F]{1,4}|.)',
                  lambda m: chr(int(m.group(1)[1:], 16)) if len(m.group(1)) > 1 else m.group(1),
                  text)


def prepare_wine_prefix():
    """Creates the build tree's prefix once (the tests' fixture and the benchmark)."""
    Wine(WINE_PREFIX).prepare()


def stop_wine_server():
    Wine(WINE_PREFIX).stop_server()


def read_shortcut(path):
    """A shell link (.lnk) file's target and working folder, as Windows paths."""
    with open(path, "rb") as file:
        data = file.read()
    flags = int.from_bytes(data[20:24], "little")
    at = 76
    if flags & 0x1:  # a list of shell items naming the target
        at += 2 + int.from_bytes(data[at:at + 2], "little")
    target = None
    if flags & 0x2:  # where the target lies: its local path, in the system's code page
        info = data[at:at + int.from_bytes(data[at:at + 4], "little")]
        base, suffix = (int.from_bytes(info[i:i + 4], "little") for i in (16, 24))
        target = b"".join(info[o:info.index(b"\0", o)] for o in (base, suffix)).decode("cp1252")
        at += len(info)
    strings = []
    wide = bool(flags & 0x80)
    for bit in (0x4, 0x8, 0x10):  # its name, its path relative to the link, its working folder
        if flags & bit:
            # Windows counts the characters without the terminating NUL, Wine with it.
            count = int.from_bytes(data[at:at + 2], "little") * (2 if wide else 1)
            text = data[at + 2:at + 2 + count].decode("utf-16-le" if wide else "cp1252")
            strings.append(text.rstrip("\0"))
            at += 2 + count
        else:
            strings.append(None)
    return target, strings[2]
