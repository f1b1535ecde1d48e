"""A private X server (Xvfb) and the user's hands on it: xdotool for the mouse and
keys, ImageMagick's import for screenshots, and libX11 (through ctypes) for the one
thing a window manager would do for us: ask a window to close."""

import ctypes
import ctypes.util
import os
import shutil
import subprocess
import time


class Skip(Exception):
    """The machine lacks what the tests need (an X server to start)."""


class XSession:
    def __init__(self, width=1280, height=1024):
        self.width, self.height = width, height
        self.display = None
        self._server = None

    def __enter__(self):
        if not shutil.which("Xvfb"):
            raise Skip("Xvfb is not installed")
        for tool in ("xdotool", "import"):
            if not shutil.which(tool):
                raise RuntimeError(f"{tool} is missing: run tools/deps.sh")
        read_end, write_end = os.pipe()
        # -displayfd lets the server pick a free display and tell us its number.
        self._server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0",
             f"{self.width}x{self.height}x24", "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as numbers:
            number = numbers.readline().strip()
        if not number:
            self._server.kill()
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + number
        return self

    def __exit__(self, *exc):
        if self._server:
            self._server.terminate()
            self._server.wait(timeout=10)

    def env(self):
        return dict(os.environ, DISPLAY=self.display)

    def xdotool(self, *args, check=True):
        result = subprocess.run(["xdotool", *map(str, args)], env=self.env(),
                                capture_output=True, text=True, timeout=60)
        if check and result.returncode != 0:
            raise RuntimeError(f"xdotool {' '.join(map(str, args))}: {result.stderr.strip()}")
        return result.stdout

    def find_windows(self, name_pattern, pid=None):
        """X window ids of mapped windows whose title matches the regular expression."""
        args = ["search", "--onlyvisible", "--name", name_pattern]
        if pid is not None:
            args[1:1] = ["--all", "--pid", pid]
        return [int(w) for w in self.xdotool(*args, check=False).split()]

    def focus(self, window):
        self.xdotool("windowfocus", window)

    def key(self, *keys):
        self.xdotool("key", "--clearmodifiers", *keys)

    def type(self, text):
        self.xdotool("type", "--delay", 30, text)

    def click(self, window, x, y, button=1, repeat=1):
        self.xdotool("mousemove", "--window", window, x, y)
        self.xdotool("click", "--repeat", repeat, "--delay", 80, button)

    def screenshot(self, path, window=None):
        subprocess.run(["import", "-display", self.display, "-window", str(window or "root"), path],
                       check=True, timeout=60, stdout=subprocess.DEVNULL)

    def request_close(self, window):
        """Sends WM_DELETE_WINDOW, as a window manager does for the title bar's close button."""
        xlib = ctypes.cdll.LoadLibrary(ctypes.util.find_library("X11") or "libX11.so.6")
        xlib.XOpenDisplay.restype = ctypes.c_void_p
        xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
        xlib.XInternAtom.restype = ctypes.c_ulong
        xlib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        xlib.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int,
                                    ctypes.c_long, ctypes.c_void_p]
        xlib.XFlush.argtypes = [ctypes.c_void_p]
        xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]

        class ClientMessage(ctypes.Structure):
            _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                        ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                        ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                        ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]

        class Event(ctypes.Union):  # XEvent is 24 longs wide
            _fields_ = [("xclient", ClientMessage), ("pad", ctypes.c_long * 24)]

        display = xlib.XOpenDisplay(self.display.encode())
        if not display:
            raise RuntimeError("cannot open " + self.display)
        try:
            event = Event()
            event.xclient.type = 33  # ClientMessage
            event.xclient.window = window
            event.xclient.message_type = xlib.XInternAtom(display, b"WM_PROTOCOLS", 0)
            event.xclient.format = 32
            event.xclient.data[0] = xlib.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
            event.xclient.data[1] = 0  # CurrentTime
            xlib.XSendEvent(display, window, 0, 0, ctypes.byref(event))
            xlib.XFlush(display)
        finally:
            xlib.XCloseDisplay(display)


def wait_until(condition, what, timeout=30.0, interval=0.1):
    """Polls until condition() gives a true value and returns it. The timeout only guards
    against a hang; no test depends on how fast anything happens."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(interval)
