"""The X side of a test host: top-level windows, the pointer, clicks and keys
with xdotool, screenshots with ImageMagick's ``import``.  ``XDisplay`` is a
mixin: the host gives it ``display`` (the X display name) and ``pid`` (the
program's process, for finding its windows).
"""

import os
import re
import subprocess
import time

from .wine_prefix import HarnessError


class Window:
    __slots__ = ("id", "name", "pid", "wm_class", "x", "y", "width", "height")

    def __repr__(self):
        return "<Window %d %r pid=%s class=%s %dx%d+%d+%d>" % (
            self.id, self.name, self.pid, self.wm_class, self.width,
            self.height, self.x, self.y)

    @property
    def center(self):
        return (self.x + self.width // 2, self.y + self.height // 2)


def wait_until(predicate, timeout, interval=0.1, what="condition"):
    """Poll ``predicate`` until it returns something truthy; return that."""
    deadline = time.monotonic() + timeout
    while True:
        result = predicate()
        if result:
            return result
        if time.monotonic() >= deadline:
            raise TimeoutError("timed out after %.1fs waiting for %s"
                               % (timeout, what))
        time.sleep(interval)


class XDisplay:
    """What a host can do on its X display."""

    def x(self, *args, check=True, timeout=10):
        env = dict(os.environ, DISPLAY=self.display)
        r = subprocess.run(list(args), env=env, capture_output=True,
                           text=True, timeout=timeout)
        if check and r.returncode != 0:
            raise HarnessError("%s failed: %s" % (" ".join(args),
                                                  r.stderr.strip()))
        return r

    _TREE_LINE = re.compile(
        r'^\s*(0x[0-9a-f]+) (?:"(.*)"|\(has no name\)): \((.*)\)\s+'
        r'(\d+)x(\d+)[+-]-?\d+[+-]-?\d+\s+\+?(-?\d+)\+?(-?\d+)')

    def windows(self, name=None, pid=None, wm_class=None, visible=True):
        """Top-level windows, filtered; ``name`` is an exact title.

        Two X round trips in all (xwininfo for names, classes and
        geometry, xdotool for visibility) plus one per window whose pid is
        asked for, so polling for a window stays cheap.
        """
        tree = self.x("xwininfo", "-root", "-children", check=False).stdout
        shown = None
        if visible:
            r = self.x("xdotool", "search", "--maxdepth", "1",
                       "--onlyvisible", "--name", "", check=False)
            shown = {int(w) for w in r.stdout.split()}
        found = []
        for line in tree.splitlines():
            m = self._TREE_LINE.match(line)
            if not m:
                continue
            w = Window()
            w.id = int(m[1], 16)
            w.name = m[2] if m[2] is not None else ""
            w.wm_class = tuple(re.findall(r'"([^"]*)"', m[3]))
            w.width, w.height = int(m[4]), int(m[5])
            w.x, w.y = int(m[6]), int(m[7])
            w.pid = None
            if shown is not None and w.id not in shown:
                continue
            if name is not None and w.name != name:
                continue
            if wm_class is not None and wm_class not in w.wm_class:
                continue
            if pid is not None:
                p = self.x("xdotool", "getwindowpid", str(w.id), check=False)
                w.pid = int(p.stdout) if p.stdout.strip().isdigit() else None
                if w.pid != pid:
                    continue
            found.append(w)
        return found

    def wait_window(self, timeout=20, **filters):
        """The first window matching ``filters`` (see ``windows``)."""
        return wait_until(lambda: (self.windows(**filters) or [None])[0],
                          timeout, 0.2, "window %r" % filters)

    def wait_no_window(self, timeout=10, **filters):
        wait_until(lambda: not self.windows(**filters), timeout, 0.2,
                   "window %r to go" % filters)

    def mouse_move(self, x, y):
        # Not --sync: it waits forever when the pointer is already there.
        self.x("xdotool", "mousemove", str(x), str(y))
        time.sleep(0.05)

    def mouse_path(self, points, step_delay=0.02):
        """Move through ``points`` one by one, as a hand would."""
        for x, y in points:
            self.x("xdotool", "mousemove", str(x), str(y))
            time.sleep(step_delay)

    def mouse_pos(self):
        out = self.x("xdotool", "getmouselocation", "--shell").stdout
        vals = dict(l.split("=", 1) for l in out.split() if "=" in l)
        return int(vals["X"]), int(vals["Y"])

    def click(self, x=None, y=None, button=1, repeat=1):
        if x is not None:
            self.mouse_move(x, y)
        self.x("xdotool", "click", "--repeat", str(repeat), "--delay", "80",
               str(button))

    def double_click(self, x=None, y=None, button=1):
        self.click(x, y, button, repeat=2)

    def key(self, *keys, window=None, hold=0):
        if window is not None:
            # No window manager: focus has to be handed over by hand.
            self.x("xdotool", "windowfocus", "--sync", str(window.id),
                   check=False)
        self.x("xdotool", "keydown" if hold else "key", *keys)
        if hold:
            time.sleep(hold)
            self.x("xdotool", "keyup", *keys)

    def screenshot(self, path):
        self.x("import", "-window", "root", path, timeout=30)
        return path

    # -- Wine specifics ----------------------------------------------------
    def tray_window(self, timeout=15):
        """Wine's stand-in tray, shown when the X server has none.

        Explorer creates it on the first NIM_ADD and hides it again when the
        last icon is deleted.
        """
        return self.wait_window(timeout=timeout, name=self.TRAY_TITLE)

    def tray_icon_position(self, index=0, timeout=15):
        """Screen point at the centre of the index-th tray icon.

        Icons sit left to right in square cells as high as the window
        (small icon + border: 20 px at the default 96 dpi).
        """
        tray = self.tray_window(timeout)
        cell = tray.height
        if (index + 1) * cell > tray.width:
            raise HarnessError("no tray cell %d in %r" % (index, tray))
        return tray.x + index * cell + cell // 2, tray.y + cell // 2

    def click_tray_icon(self, button=1, index=0, repeat=1):
        x, y = self.tray_icon_position(index)
        self.click(x, y, button, repeat)
        return x, y

    def dismiss_message_box(self, title, key="Return", timeout=20):
        """Wait for a message box titled ``title``, answer it with ``key``
        and wait for it to close."""
        pid = self.proc.pid if self.proc else None
        box = self.wait_window(timeout=timeout, name=title, pid=pid)
        self.key(key, window=box)
        self.wait_no_window(timeout=timeout, name=title, pid=pid)
        return box
