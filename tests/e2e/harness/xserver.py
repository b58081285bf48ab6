"""The virtual X server each game runs on, and the X clients that drive it: every one retries a
refused connection a few times."""

import ctypes
import ctypes.util
import os
import select
import subprocess
import time

from .common import (COMMAND_TIMEOUT, CONNECT_TRIES, PINNED_DISPLAY, UNDER_WINE, WAIT,
                     _die_with_parent, _stop)

# Wine places a window as if a window manager framed it, a title bar's height down the screen;
# the screen must hold it all, or screenshots come out cut short.
# The suite's own screen is too small for the game to enlarge its window: every case sees it at
# its own size unless it asks for a larger screen.
SCREEN = (640, 480) if UNDER_WINE else (320, 256)


def xvfb_options(screen=None):
    width, height = screen or SCREEN
    return ["-screen", "0", f"{width}x{height}x24", "-nolisten", "tcp", "-noreset"]


def free_display_number():
    """A display number that no X server uses now."""
    number = 60
    while os.path.exists(f"/tmp/.X11-unix/X{number}") or os.path.exists(f"/tmp/.X{number}-lock"):
        number += 1
    return number


# The pinned numbers this driver's X servers hold now.
_HELD = set()


def _pinned_number():
    """The first pinned display number none of this driver's X servers holds, or None."""
    if not PINNED_DISPLAY:
        return None
    number = int(PINNED_DISPLAY)
    while number in _HELD:
        number += 1
    _HELD.add(number)
    return number


class XServer:
    """Xvfb on a free display number, or the pinned one, 24 bits per pixel; its screen is
    SCREEN or the (width, height) given."""

    def __init__(self, log_path, screen=None):
        self.pinned = _pinned_number()
        reader, writer = os.pipe()
        self._log = open(log_path, "wb")
        # Given a number, Xvfb still writes it to the descriptor once it answers.
        pinned = [] if self.pinned is None else [f":{self.pinned}"]
        try:
            self.process = subprocess.Popen(
                ["Xvfb"] + pinned + ["-displayfd", str(writer)] + xvfb_options(screen),
                pass_fds=(writer,), stdin=subprocess.DEVNULL, stdout=self._log,
                stderr=subprocess.STDOUT, preexec_fn=_die_with_parent)
        except FileNotFoundError:
            os.close(reader)
            os.close(writer)
            self._log.close()
            _HELD.discard(self.pinned)
            raise AssertionError("Xvfb is not installed: tools/setup.sh test installs it") from None
        os.close(writer)
        number = b""
        deadline = time.monotonic() + WAIT
        try:
            while not number.endswith(b"\n"):
                left = deadline - time.monotonic()
                ready, _, _ = select.select([reader], [], [], max(left, 0))
                if not ready:
                    raise AssertionError(f"Xvfb gave no display number within {WAIT:.0f} s")
                chunk = os.read(reader, 16)
                if not chunk:
                    status = self.process.wait(timeout=5)
                    with open(log_path, "rb") as log:
                        said = log.read().decode(errors="replace")[-2000:]
                    pinned = ("" if self.pinned is None else
                              f" on display :{self.pinned} (ZANDOREL_E2E_DISPLAY)")
                    raise AssertionError(f"Xvfb exited at start-up{pinned} with status "
                                         f"{status}:\n{said}")
                number += chunk
        except BaseException:
            self.stop()
            raise
        finally:
            os.close(reader)
        self.display = ":" + number.decode().strip()

    def said(self):
        """The last lines the X server wrote."""
        with open(self._log.name, "rb") as log:
            return log.read().decode(errors="replace")[-1500:]

    def stop(self):
        _stop(self.process)
        self._log.close()
        _HELD.discard(self.pinned)


class LateXServer(XServer):
    """Xvfb that comes up on a free display number only after a delay, for a game that
    begins to look for its display before there is one."""

    def __init__(self, log_path, delay):
        self._log = open(log_path, "wb")
        self.pinned = _pinned_number()
        self.display = f":{free_display_number() if self.pinned is None else self.pinned}"
        self.process = subprocess.Popen(
            ["sh", "-c", 'sleep "$0" && exec "$@"', str(delay), "Xvfb", self.display]
            + xvfb_options(),
            stdin=subprocess.DEVNULL, stdout=self._log, stderr=subprocess.STDOUT,
            preexec_fn=_die_with_parent)


class WindowManager:
    """openbox on an X server, framing, maximising and resizing windows as a player's desktop
    does. The server refuses about one connection in ten, so it is started again until
    `wmctrl -m` names it. Its settings and cache stay in folder."""

    def __init__(self, xserver, folder):
        self.env = dict(os.environ, DISPLAY=xserver.display, XDG_CONFIG_HOME=folder,
                        XDG_CACHE_HOME=folder, XDG_DATA_HOME=folder)
        self._log = open(os.path.join(folder, "openbox.log"), "wb")
        self.process = None
        for attempt in range(1, CONNECT_TRIES + 1):
            try:
                self.process = subprocess.Popen(
                    ["openbox", "--sm-disable"], env=self.env, stdin=subprocess.DEVNULL,
                    stdout=self._log, stderr=subprocess.STDOUT, preexec_fn=_die_with_parent)
            except FileNotFoundError:
                self._log.close()
                raise AssertionError("openbox is not installed: tools/setup.sh test installs "
                                     "it") from None
            deadline = time.monotonic() + WAIT
            while self.process.poll() is None and time.monotonic() < deadline:
                if b"Openbox" in self.wmctrl(["-m"], check=False).stdout:
                    return
                time.sleep(0.1)
            _stop(self.process)
            time.sleep(0.1 * attempt)
        self._log.close()
        with open(self._log.name, "rb") as log:
            said = log.read().decode(errors="replace")[-1500:]
        raise AssertionError(f"openbox did not start on {xserver.display} in {CONNECT_TRIES} "
                             f"tries:\n{said}")

    def wmctrl(self, args, check=True):
        """Runs wmctrl on the server, again while the server refuses the connection."""
        for attempt in range(CONNECT_TRIES):
            result = subprocess.run(["wmctrl"] + list(args), env=self.env, capture_output=True,
                                    timeout=COMMAND_TIMEOUT)
            if b"Cannot open display" not in result.stderr:
                break
            time.sleep(0.1 * (attempt + 1))
        if check and result.returncode != 0:
            raise AssertionError(f"wmctrl {' '.join(args)} failed: {result.stderr.decode()}")
        return result

    def describe(self):
        """Whether openbox still runs, and what it said."""
        state = "running" if self.process.poll() is None else f"exited {self.process.poll()}"
        with open(self._log.name, "rb") as log:
            said = log.read().decode(errors="replace")[-1500:]
        return f"openbox ({state}) output:\n{said}"

    def stop(self):
        _stop(self.process)
        self._log.close()


def x_client(env, command):
    """Runs an X client on env's display; a busy X server now and then refuses a connection
    outright, and a few tries get through. Raises TimeoutExpired on a server that stays
    silent."""
    for attempt in range(CONNECT_TRIES):
        result = subprocess.run(list(command), env=env, capture_output=True,
                                timeout=COMMAND_TIMEOUT)
        if b"Can't open display" not in result.stderr and \
                b"unable to open display" not in result.stderr:
            break
        time.sleep(0.1 * (attempt + 1))
    return result


def xdotool(env, args):
    return x_client(env, ["xdotool"] + list(args))


# Closing a window the way a window manager does: a WM_DELETE_WINDOW client message.


class _ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]


class _XEvent(ctypes.Union):
    _fields_ = [("xclient", _ClientMessage), ("pad", ctypes.c_long * 24)]


def _send_client_messages(display_name, window, messages, to_root=False):
    """Sends ClientMessages about window over one connection, with no pause between them:
    (type, [items]) each, the names in it turned into atoms. Sent to the root window, as a
    window manager's requests are, if to_root; otherwise to window itself."""
    library = ctypes.util.find_library("X11")
    if library is None:
        raise AssertionError("libX11 not found: cannot send a client message")
    x11 = ctypes.CDLL(library)
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XDefaultRootWindow.restype = ctypes.c_ulong
    x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                               ctypes.POINTER(_XEvent)]
    x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    for attempt in range(CONNECT_TRIES):
        display = x11.XOpenDisplay(display_name.encode())
        if display:
            break
        time.sleep(0.1 * (attempt + 1))
    else:
        raise AssertionError(f"cannot open display {display_name}")
    try:
        target = x11.XDefaultRootWindow(display) if to_root else window
        # SubstructureRedirectMask | SubstructureNotifyMask reach the window manager.
        mask = (1 << 20) | (1 << 19) if to_root else 0
        for kind, items in messages:
            event = _XEvent()
            event.xclient.type = 33  # ClientMessage
            event.xclient.display = display
            event.xclient.window = window
            event.xclient.message_type = x11.XInternAtom(display, kind.encode(), 0)
            event.xclient.format = 32
            for i, item in enumerate(items):
                event.xclient.data[i] = (x11.XInternAtom(display, item.encode(), 0)
                                         if isinstance(item, str) else item)
            if not x11.XSendEvent(display, target, 0, mask, ctypes.byref(event)):
                raise AssertionError(f"XSendEvent refused the {kind} message")
        x11.XSync(display, 0)
    finally:
        x11.XCloseDisplay(display)


def close_window(display_name, window):
    _send_client_messages(display_name, window,
                          [("WM_PROTOCOLS", ["WM_DELETE_WINDOW", 0])])  # 0: CurrentTime


def change_window_states(display_name, window, changes):
    """Asks the window manager for each change at once, with no pause between them: (add,
    state) each, add True or False, state a _NET_WM_STATE_ name without its prefix."""
    _send_client_messages(
        display_name, window,
        [("_NET_WM_STATE", [1 if add else 0] + [f"_NET_WM_STATE_{name.upper()}"
                                                 for name in state.split(",")] + [0] * 2)
         for add, state in changes], to_root=True)
