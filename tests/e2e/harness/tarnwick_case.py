"""The base of the tests of the real Tarnwick.exe under Wine.

Each test builds a program folder of its own (a copy of the exe, cursor
sets made by tarnwick_folder, a settings file), starts the program in a
fresh Wine prefix on a private X display, works it with xdotool, and then
judges it by what Wine's relay log says it called, by the files it left
behind and by what is on the screen.

Wine 8.0 has SetSystemCursor as a stub, so the pointer on the screen never
changes: which image went where is read from the relay log instead.  A
load of a set shows up as sixteen LoadImageW calls of the scratch file at
the pointer size (tarnwick_folder.pointer_loads), in slice order; the n-th
handle returned is slice n.
"""

import getpass
import os
import struct
import tempfile
import unittest

from . import tarnwick_folder as tf
from . import winehost
from .tarnwick_folder import (OCR_APPSTARTING, OCR_NORMAL, OCR_WAIT,
                              NIM_ADD, NIM_DELETE, SPI_SETCURSORS, TITLE)

MISSING = winehost.missing_tools()

# msvcrt._wfopen tells which set file each load read; SetFileInformationByHandle
# shows the scratch file going at exit; the DLL search and the COM apartment are
# named bare, for Wine logs them under the DLL that carries them out.
RELAY = winehost.DEFAULT_RELAY_INCLUDE + ("msvcrt._wfopen",
                                          "SetFileInformationByHandle",
                                          "SetDefaultDllDirectories",
                                          "CoInitializeEx")

AMBER, BLUE, GREEN = (255, 160, 0), (0, 80, 255), (0, 170, 60)
COLOURS = {"Amber": AMBER, "Blue": BLUE, "Green": GREEN}
BUSY = [OCR_APPSTARTING, OCR_WAIT]
# The per-user scratch file, as the program names it (in lower case).
USER_SCRATCH = r"c:\users\%s\appdata\local\tarnwick\mw.tmp" % getpass.getuser()


@unittest.skipIf(MISSING, "Wine end-to-end test needs: %s"
                 % ", ".join(MISSING))
class TarnwickCase(unittest.TestCase):
    """One program folder and one Wine host per test."""

    # The display scaling and the screen; a scaled test needs a larger one.
    dpi = None
    screen = "1024x768x24"
    relay_include = RELAY

    def setUp(self):
        exe = tf.tarnwick_exe()
        if not os.path.isfile(exe):
            # Wine is here, so a missing program is a broken build, not a
            # reason to skip.
            self.fail("no program to test at %s: build it with `cmake "
                      "--preset mingw && cmake --build --preset mingw` or "
                      "set TARNWICK_EXE" % exe)
        self.host = winehost.WineHost(relay_include=self.relay_include,
                                      unmanaged_exes=["Tarnwick.exe"],
                                      dpi=self.dpi, screen=self.screen)
        self.host.__enter__()
        self.addCleanup(self.host.close)
        self.folder = tf.ProgramFolder(self.host.tmp, exe)
        self.main = None
        self.answered = set()

    def fresh_host(self):
        """A new prefix, display and folder, for the next row of a table."""
        self.host.close()
        self.setUp()

    def each_row(self, rows, check, dpi=None):
        """check(*row) for every row of a table, each in a subTest and, but
        the first at the test's own scaling, on a fresh host; ``dpi(*row)``,
        where given, is the row's display scaling."""
        for n, row in enumerate(rows):
            with self.subTest(row=row):
                was, self.dpi = self.dpi, dpi(*row) if dpi else self.dpi
                if n or self.dpi != was:
                    self.fresh_host()
                check(*row)

    # -- running the program ------------------------------------------------
    def launch(self, loads=0, timestamps=False):
        """Start the program and wait until start-up has made the set
        loads it makes: the remembered set, and the last listed set that
        loads, once the list is built."""
        self.host.start(self.folder.exe, timestamps=timestamps)
        if loads:
            self.wait_pointer_loads(tf.SLICES * loads, timeout=30)

    def wait_pointer_loads(self, count, timeout=15):
        """Wait until the program has made ``count`` pointers of a file."""
        def enough(log):
            calls = log.calls(pids=log.pids_of(self.host.exe_name))
            return len([c for c in tf.pointer_loads(calls) if c.returned]) \
                >= count
        return self.host.wait_relay(enough, timeout, "%d pointer loads" % count)

    def main_window(self, timeout=20):
        self.main = self.host.wait_window(timeout=timeout, name=TITLE,
                                          pid=self.host.proc.pid)
        return self.main

    def show_by_tray(self, timeout=10):
        self.host.click_tray_icon(button=1)      # left: the window again
        return self.main_window(timeout)

    def wait_hidden(self):
        self.host.wait_no_window(name=TITLE, pid=self.host.proc.pid)

    def user_local(self):
        """%LOCALAPPDATA%\\Tarnwick, as a Unix path."""
        return os.path.join(self.host.prefix, "drive_c", "users",
                            getpass.getuser(), "AppData", "Local", "Tarnwick")
    def main_visible(self):
        return any(w.id == self.main.id for w in
                   self.host.windows(name=TITLE, pid=self.host.proc.pid))

    def calls(self):
        return self.host.program_calls()

    def click(self, rect, button=1):
        self.host.click(*tf.screen_centre(self.main, rect, self.dpi or 96),
                        button=button)

    def wait_installs(self, more, role=OCR_NORMAL, timeout=15):
        """Wait for ``more`` installs into ``role`` beyond those seen now;
        returns the calls then."""
        have = len([i for i in tf.installs(self.calls()) if i.role == role])

        def enough(log):
            calls = log.calls(pids=log.pids_of(self.host.exe_name))
            return len([i for i in tf.installs(calls)
                        if i.role == role]) >= have + more
        self.host.wait_relay(enough, timeout, "%d more installs" % more)
        return self.calls()

    def answer_message_box(self, timeout=20, hold=0):
        """Answer the next message box with Return (held ``hold`` seconds)
        and wait until the program is out of MessageBoxW; returns that call."""
        pid = self.host.proc.pid
        main_id = self.main.id if self.main else None
        done = len([c for c in tf.calls_with(self.calls(), "MessageBoxW")
                    if c.returned])

        def new_box():
            return [w for w in self.host.windows(name=TITLE, pid=pid)
                    if w.id != main_id and w.id not in self.answered]
        box = winehost.wait_until(new_box, timeout, 0.2, "a message box")[0]
        self.answered.add(box.id)
        # Sent again while the box stays: after a double-click Wine may hand
        # the focus back to the list just after the box took it.
        for tries in (3, 2, 1):
            self.host.key("Return", window=box, hold=hold)
            try:
                log = self.host.wait_call("user32.MessageBoxW", done + 1,
                                          timeout=timeout / 3)
                break
            except TimeoutError:
                if tries == 1:
                    raise
        boxes = log.calls("user32.MessageBoxW",
                          pids=log.pids_of(self.host.exe_name))
        return [c for c in boxes if c.returned][done]

    def answer_start_up_boxes(self, timeout=20):
        """Answer every message box start-up shows, until the window
        comes; returns their MessageBoxW calls."""
        pid = self.host.proc.pid
        boxes = []
        while True:
            def box_or_main():
                found = [w for w in self.host.windows(name=TITLE, pid=pid)
                         if w.id not in self.answered]
                calls = tf.calls_with(self.calls(), "MessageBoxW")
                open_box = calls and not calls[-1].returned
                # The window itself only shows once start-up is over.
                if found and not open_box and len(calls) == len(boxes):
                    return ("main", found[0])
                if found and open_box:
                    return ("box", found[0])
                return None
            kind, window = winehost.wait_until(box_or_main, timeout, 0.2,
                                               "a message box or the window")
            if kind == "main":
                self.main = window
                return boxes
            boxes.append(self.answer_message_box(timeout))

    def exit_by(self, rect):
        self.click(rect)
        code = self.host.wait_exit(timeout=20)
        self.assertEqual(code, 0)
        return self.host.relay().calls(
            pids=self.host.relay().pids_of(self.host.exe_name))

    def px(self, twips):
        """Twips in pixels at this test's display scaling."""
        return twips * (self.dpi or 96) // 1440

    def knob_row(self):
        """(frame_x, y): the slider frame's left edge on the screen, and a
        row of pixels through the knob."""
        fx, fy = (self.px(v) for v in tf.FRAME2)
        return (self.main.x + 1 + fx,
                self.main.y + 1 + fy + self.px(tf.KNOB_TOP) + self.px(150))

    def knob_left(self, frame_x, y):
        """The knob's left edge within its frame, as the screen shows it;
        None while the window has not painted it yet."""
        knob = self.screenshot().find((255, 128, 0),
                                      (frame_x, y - 3, frame_x + self.px(2400),
                                       y + 3), tolerance=0)
        return min(px for px, _ in knob) - frame_x if knob else None

    def press_knob(self, x, y):
        """Press the left button at (x, y) and wait until the program has
        read the pointer for the press."""
        seen = len(tf.calls_with(self.calls(), "GetCursorPos"))
        self.host.mouse_move(x, y)
        self.host.x("xdotool", "mousedown", "1")
        self.host.wait_call("user32.GetCursorPos", seen + 1)

    def screenshot(self, name="screen.ppm"):
        path = os.path.join(self.host.tmp, name)
        self.host.x("import", "-window", "root", "-depth", "8", path,
                    timeout=30)
        return tf.Picture(path)

    def list_icons(self, picture, colours):
        """(name, centre) of each set picture in the list, left to right,
        found by the colours of the sets' arrows."""
        box = tf.screen_rect(self.main, tf.LIST_VIEW)
        found = []
        for name, colour in colours.items():
            for x, y, n in tf.blobs(picture.find(colour, box)):
                if n >= 10:                  # an arrow, not a stray pixel
                    found.append((x, name, (x, y)))
        return [(name, at) for _, name, at in sorted(found)]

    def wait_list_icons(self, colours, count, timeout=10):
        """Screenshots until the list shows ``count`` set pictures (the
        window may show before the list has painted); returns the last
        picture and the icons in it."""
        seen = []

        def painted():
            picture = self.screenshot()
            seen[:] = [picture, self.list_icons(picture, colours)]
            return len(seen[1]) >= count
        try:
            winehost.wait_until(painted, timeout, 0.2,
                                "%d pictures in the list" % count)
        except TimeoutError:
            pass                # the caller's assertion says what is wrong
        return seen

    def add_sets(self, *names):
        for name in names:
            self.folder.add_set(name, COLOURS[name])

    def open_blue(self, timestamps=False, **settings):
        """The program started on a folder whose one set, Blue, is the
        remembered one (``settings`` are the other fields), once start-up
        has loaded it and the window is up."""
        self.add_sets("Blue")
        self.folder.write_settings(set_file="Blue.TWC", **settings)
        self.launch(loads=2, timestamps=timestamps)
        self.main_window()

    def start_rotating(self, busy=1, timestamps=False, interval=20):
        """Blue rotating in the arrow (and, with ``busy``, the busy
        pointers) every ``interval`` ms, started by a double-click on it,
        which leaves the window up; returns the calls once three arrows are
        installed."""
        self.open_blue(timestamps, normal=1, busy=busy, interval=interval)
        icons = dict(self.wait_list_icons({"Blue": BLUE}, 1)[1])
        self.host.double_click(*icons["Blue"])
        return self.wait_installs(3)
