"""What every part of the end-to-end driver reads from its environment, and how it starts and
stops the processes it runs."""

import ctypes
import os
import signal
import subprocess
import tempfile

BINARY = os.environ.get("ZANDOREL_BINARY", "")
# The game's own high-score rule, built from its table code (tools/highscore-rule.cpp).
TABLE_RULE = os.environ.get("ZANDOREL_TABLE_RULE", "")
# Where a failed wait leaves the last screenshot it saw (as a PPM picture).
ARTIFACTS = os.environ.get("ZANDOREL_E2E_ARTIFACTS", "")
# "classic" (the default) or "compat": which SDL 1.2 the game must have loaded, so that a run
# meant for the compatibility layer cannot pass on the classic library by mistake.
EXPECTED_SDL = os.environ.get("ZANDOREL_E2E_SDL", "classic")
# Upper bound of every wait for something the game should show or do.
WAIT = float(os.environ.get("ZANDOREL_E2E_WAIT", "30"))
COMMAND_TIMEOUT = 20.0
# The display number the tests' X servers take (and the numbers after it, while one test keeps
# several), so that suites sharing a machine, or a developer's own X server, are kept apart;
# unset, each X server takes whichever number is free.
PINNED_DISPLAY = os.environ.get("ZANDOREL_E2E_DISPLAY", "").lstrip(":")
if PINNED_DISPLAY and not PINNED_DISPLAY.isdigit():
    raise AssertionError(f"ZANDOREL_E2E_DISPLAY names no display number: {PINNED_DISPLAY!r}")
# How often an X client of the tests tries to connect before a refusal fails the test.
CONNECT_TRIES = 6

# A Windows build (wine.py) is played under Wine.
UNDER_WINE = BINARY.lower().endswith(".exe")
# The zip a Windows build is shipped in, and its setup program, when the run has them.
PACKAGE = os.environ.get("ZANDOREL_E2E_PACKAGE", "")
SETUP = os.environ.get("ZANDOREL_E2E_SETUP", "")

def _die_with_parent():
    # Runs in the child between fork and exec: if the driver dies, so does the child.
    libc = ctypes.CDLL(None, use_errno=True)
    libc.prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG


def _stop(process, grace=5.0):
    if process is None or process.poll() is not None:
        return
    process.terminate()
    try:
        process.wait(timeout=grace)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait(timeout=grace)


def scores_text(*scores):
    """A table file holding scores, one a line."""
    return "".join(f"{s}\n" for s in scores)


def table_after(stored, score):
    """(entered, text): what a game ending with score writes over a table file that holds
    stored (None: no file), by the game's own rule."""
    if not TABLE_RULE:
        raise AssertionError("ZANDOREL_TABLE_RULE must name the build's tools/highscore-rule")
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "highscores.txt")
        if stored is not None:
            with open(path, "w", newline="") as file:
                file.write(stored)
        said = subprocess.run([TABLE_RULE, path, str(score)], capture_output=True, text=True,
                              check=True, timeout=COMMAND_TIMEOUT).stdout
    verdict, table = said.split("\n", 1)
    return verdict == "entered", table
