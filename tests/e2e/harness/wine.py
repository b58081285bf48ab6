"""The Wine prefix a Windows build plays in, and its server, stopped around every game."""

import os
import subprocess

from .common import COMMAND_TIMEOUT, RUNNER, WINE_ENV, WINE_PREFIX

def _wine_server():
    beside = os.path.join(os.path.dirname(RUNNER[0]), "wineserver")
    return beside if os.path.exists(beside) else "wineserver"


def prepare_wine_prefix():
    """Creates the Wine prefix once; later games find it ready. Needs no X server."""
    if os.path.exists(os.path.join(WINE_PREFIX, "system.reg")):
        return
    env = dict(os.environ, **WINE_ENV)
    env.pop("DISPLAY", None)
    try:
        result = subprocess.run(RUNNER + ["wineboot", "--init"], env=env, capture_output=True,
                                timeout=300)
        subprocess.run([_wine_server(), "--wait"], env=env, capture_output=True, timeout=300)
    except subprocess.TimeoutExpired:
        raise AssertionError(f"Wine did not set up {WINE_PREFIX} within 300 s") from None
    if result.returncode != 0 or not os.path.exists(os.path.join(WINE_PREFIX, "system.reg")):
        raise AssertionError(f"Wine could not set up {WINE_PREFIX}:\n"
                             + result.stderr.decode(errors="replace")[-2000:])


def stop_wine_server():
    env = dict(os.environ, **WINE_ENV)
    try:
        subprocess.run([_wine_server(), "--kill"], env=env, capture_output=True,
                       timeout=COMMAND_TIMEOUT)
        subprocess.run([_wine_server(), "--wait"], env=env, capture_output=True,
                       timeout=COMMAND_TIMEOUT)
    except subprocess.TimeoutExpired:
        raise AssertionError(f"the Wine server of {WINE_PREFIX} did not stop within "
                             f"{COMMAND_TIMEOUT:.0f} s") from None
