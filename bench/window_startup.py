"""Times the real game from its start to its first visible window under a private Xvfb, and
reads its resident memory once the title shows, for one or more ways of running it.

Usage: window_startup.py STARTS [--screen=WxH] LABEL=COMMAND [[--screen=WxH] LABEL=COMMAND ...]
COMMAND is a shell command that starts the game in the current folder (a binary, or a binary
with environment in front of it). It may begin with another shell command and " ;; ", which
runs before each start and is not timed. The runs after a --screen take place on an X server
of that size (the game's window scales with it); before any, on the end-to-end tests' own.
Run from a folder holding graphics/ and data/.
"""

import os
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import harness  # noqa: E402
from harness import XServer, _die_with_parent, _stop  # noqa: E402

SETTLE = 1.0  # seconds between the window and the memory reading: the title is up by then
HEAVY = ("libGL", "libGLX", "LLVM", "swrast", "gallium", "dri.so")


def xdotool(display, *args):
    result = harness.xdotool(dict(os.environ, DISPLAY=display), args)
    if b"Can't open display" in result.stderr:
        raise RuntimeError(f"the X server {display} refused xdotool {harness.CONNECT_TRIES} times")
    return result.stdout.decode()


def one_start(display, command):
    env = dict(os.environ, DISPLAY=display, SDL_AUDIODRIVER="dummy")
    env.pop("SDL_VIDEODRIVER", None)
    before, _, command = command.rpartition(" ;; ")
    if before:
        subprocess.run(["sh", "-c", before], env=env, check=True, timeout=60)
    started = time.monotonic()
    game = subprocess.Popen(["sh", "-c", "exec " + command], env=env,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            preexec_fn=_die_with_parent)
    try:
        window = ""
        while not window:
            if game.poll() is not None:
                raise RuntimeError(f"{command} exited with status {game.returncode}")
            if time.monotonic() - started > 30:
                raise RuntimeError(f"{command} showed no window within 30 s")
            window = xdotool(display, "search", "--onlyvisible", "--name", "^Zandorel$").strip()
        seconds = time.monotonic() - started
        time.sleep(SETTLE)
        with open(f"/proc/{game.pid}/status") as status:
            rss = next(int(line.split()[1]) for line in status if line.startswith("VmRSS:"))
        with open(f"/proc/{game.pid}/maps") as maps:
            heavy = sorted({os.path.basename(line.split()[-1]) for line in maps
                            if any(name in line for name in HEAVY)})
        # The layer over SDL2 takes the keyboard focus for its window and leaves it nowhere
        # when it ends; a classic game started next would never hear the key.
        first = window.split()[0]
        xdotool(display, "windowfocus", first, "mousemove", "--window", first, "128", "230",
                "key", "Escape")
        game.wait(timeout=30)
        return seconds, rss, heavy
    finally:
        _stop(game)


def main():
    starts = int(sys.argv[1])
    print(f"{'run':<34} {'first window (ms)':>18} {'resident (MB)':>14}  OpenGL/LLVM mapped")
    xserver, screen = None, None
    try:
        for argument in sys.argv[2:]:
            if argument.startswith("--screen="):
                screen = tuple(int(n) for n in argument[len("--screen="):].split("x"))
                if xserver:
                    xserver.stop()
                    xserver = None
                continue
            if xserver is None:
                xserver = XServer("xvfb.log", screen)
            label, command = argument.split("=", 1)
            if screen:
                label += f", {screen[0]}x{screen[1]}"
            results = [one_start(xserver.display, command) for _ in range(starts)]
            window = statistics.median(r[0] for r in results) * 1000
            rss = statistics.median(r[1] for r in results) / 1024
            heavy = ", ".join(results[-1][2]) or "none"
            print(f"{label:<34} {window:>18.0f} {rss:>14.1f}  {heavy}", flush=True)
    finally:
        if xserver:
            xserver.stop()


if __name__ == "__main__":
    main()
