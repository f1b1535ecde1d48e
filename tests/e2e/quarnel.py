"""Drives the real quarnel binary in an X session and reads what its windows show.

The window's texts come from the program's own state dump (QUARNEL_DUMP_STATE, see
app/StateDump.h): SIGUSR1 asks for a fresh dump of every visible window."""

import json
import re
import os
import signal
import subprocess
import time

from xsession import wait_until


class Quarnel:
    def __init__(self, session, binary, workdir, prefix=None, env=None, log=print):
        self.session = session
        self.binary = binary
        self.workdir = workdir
        self.prefix = prefix
        self.extra_env = env or {}
        self.log = log
        self.dump_path = os.path.join(workdir, "state.json")
        self.process = None
        self._serial = 0
        self._shots = 0

    # --- life cycle -------------------------------------------------------------------
    def start(self):
        env = self.session.env()
        # A scratch home: without WINEPREFIX the program would otherwise open ~/.wine.
        home = os.path.join(self.workdir, "home")
        os.makedirs(home, exist_ok=True)
        env.update(QT_QPA_PLATFORM="xcb", QUARNEL_DUMP_STATE=self.dump_path, LANG="C.UTF-8",
                   HOME=home, XDG_DATA_HOME=os.path.join(home, ".local", "share"),
                   XDG_CONFIG_HOME=os.path.join(home, ".config"))
        runtime = os.path.join(self.workdir, "runtime")
        os.makedirs(runtime, mode=0o700, exist_ok=True)
        env["XDG_RUNTIME_DIR"] = runtime
        env.pop("WINEPREFIX", None)
        if self.prefix:
            env["WINEPREFIX"] = self.prefix
        env.update(self.extra_env)
        self.stderr = open(os.path.join(self.workdir, "quarnel.stderr"), "w")
        if os.path.exists(self.dump_path):
            os.remove(self.dump_path)
        self.process = subprocess.Popen([self.binary], env=env, cwd=self.workdir,
                                        stdout=self.stderr, stderr=self.stderr)
        # SIGUSR1 would end the program before it has set up its handler; the first
        # dump says it has.
        wait_until(lambda: os.path.exists(self.dump_path) or not self.running(),
                   "quarnel to start")
        self._serial = 0
        return self

    def _ended(self):
        if not self.running():
            raise AssertionError(f"quarnel ended with {self.process.returncode}")

    def running(self):
        return self.process.poll() is None

    def wait_exit(self, timeout=30):
        wait_until(lambda: not self.running(), "quarnel to end", timeout)
        return self.process.returncode

    def kill(self):
        if self.process and self.running():
            self.process.kill()
            self.process.wait()

    # --- reading the windows ------------------------------------------------------------
    def state(self):
        """A dump taken now: asks with SIGUSR1 and waits for a dump newer than the last."""
        if not self.running():
            raise AssertionError(f"quarnel ended with {self.process.returncode}")
        wanted = self._serial + 1
        self.process.send_signal(signal.SIGUSR1)

        def fresh():
            try:
                with open(self.dump_path, encoding="utf-8") as f:
                    state = json.load(f)
            except (OSError, ValueError):
                return None
            return state if state["serial"] >= wanted else None

        state = wait_until(lambda: fresh() or self._ended(), "a state dump", timeout=60)
        self._serial = state["serial"]
        return state

    @staticmethod
    def window(state, cls=None, title=None):
        for w in state["windows"]:
            if (cls is None or w["class"] == cls) and (title is None or w["title"] == title):
                return w
        return None

    @staticmethod
    def widget(window, name):
        for w in window["widgets"]:
            if w["name"] == name:
                return w
        raise KeyError(name)

    def main_window(self, state=None):
        state = state or self.state()
        main = self.window(state, cls="TRegForm")
        if main is None:
            raise AssertionError("the main window is not shown")
        return main

    def message_box(self, state=None):
        """The open message box as (title, text, button texts), or None."""
        state = state or self.state()
        box = self.window(state, cls="QMessageBox")
        if box is None:
            return None
        text = self.widget(box, "qt_msgbox_label")["text"]
        buttons = sorted((w for w in box["widgets"] if w["class"] == "QPushButton"),
                         key=lambda w: w["geometry"][0])
        buttons = [w["text"].replace("&", "") for w in buttons]
        return box["title"], text, buttons

    def wait_for_box(self, what="a message box"):
        return self.message_box(self.wait_for(lambda s: self.message_box(s), what))

    def press_box_button(self, text):
        """Clicks the button of the open message box that reads `text`."""
        state = self.state()
        box = self.window(state, cls="QMessageBox")
        button = next(w for w in box["widgets"]
                      if w["class"] == "QPushButton" and w["text"].replace("&", "") == text)
        x, y, w, h = button["geometry"]
        ratio = box.get("devicePixelRatio", 1)
        x_window = self.x_window("^" + re.escape(box["title"]))
        self.session.click(x_window, round((x + w / 2) * ratio), round((y + h / 2) * ratio))
        self.wait_for(lambda s: self.window(s, cls="QMessageBox", title=box["title"]) is None
                      or self.message_box(s) != self.message_box(state), "the box to close")

    def wait_for(self, condition, what, timeout=60):
        """Waits until condition(state) is true for a fresh dump; returns that dump."""
        return wait_until(lambda: (lambda s: s if condition(s) else None)(self.state()),
                          what, timeout, interval=0.2)

    # --- acting on the windows ----------------------------------------------------------
    def x_window(self, title_pattern):
        found = wait_until(lambda: self.session.find_windows(title_pattern, self.process.pid),
                           f"an X window titled {title_pattern}")
        return found[0]

    def main_x_window(self):
        return self.x_window("^Quarnel$")

    def click(self, name, button=1, repeat=1, offset=None):
        """Clicks the middle of the main window's control `name` (or at offset inside it)."""
        main = self.main_window()
        x, y, w, h = self.widget(main, name)["geometry"]
        dx, dy = offset if offset else (w / 2, h / 2)
        self._click_at(main, x + dx, y + dy, button, repeat)

    def _click_at(self, window_state, x, y, button, repeat):
        ratio = window_state.get("devicePixelRatio", 1)
        self.session.click(self.main_x_window(), round(x * ratio), round(y * ratio),
                           button, repeat)

    def rows(self, view, state=None):
        return self.widget(self.main_window(state or self.state()), view)["rows"]

    def click_row(self, view, row_index, repeat=1, modifiers=(), button=1):
        """Clicks a listed row of a list or tree (its index among the listed rows), at the
        row's place that the dump reports."""
        main = self.main_window()
        row = self.widget(main, view)["rows"][row_index]
        if "rect" not in row:
            raise AssertionError(f"row {row_index} of {view} is not on screen")
        x, y, w, h = row["rect"]
        for m in modifiers:
            self.session.xdotool("keydown", m)
        try:
            self._click_at(main, x + min(w / 2, 30), y + h / 2, button, repeat)
        finally:
            for m in modifiers:
                self.session.xdotool("keyup", m)

    def screenshot(self, label, window=None):
        """The whole screen, or only the X window given."""
        self._shots += 1
        path = os.path.join(self.workdir, f"{self._shots:02d}-{label}.png")
        self.session.screenshot(path, window)
        self.log(f"  screenshot {os.path.basename(path)}")
        return path

    def settle(self, seconds=0.3):
        # Lets the X server deliver the events just sent before the next dump is asked for.
        time.sleep(seconds)
