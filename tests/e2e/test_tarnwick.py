"""The real Tarnwick.exe under Wine, driven like a user would drive it.

Each test builds a program folder of its own (a copy of the exe, cursor
sets made by tarnwick_folder, a settings file), starts the program in a
fresh Wine prefix on a private X display, works it with xdotool, and then
judges it by what Wine's relay log says it called, by the files it left
behind and by what is on the screen.

Wine 8.0 has SetSystemCursor as a stub, so the pointer on the screen never
changes: which image went where is read from the relay log instead.  A
load of a set shows up as sixteen LoadCursorFromFileW calls of the
scratch file, in slice order; the n-th handle returned is slice n.
"""

import os
import struct
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import tarnwick_folder as tf  # noqa: E402
import winehost  # noqa: E402
from tarnwick_folder import (OCR_APPSTARTING, OCR_NORMAL, OCR_WAIT,  # noqa: E402
                             NIM_ADD, NIM_DELETE, SPI_SETCURSORS, TITLE)

MISSING = winehost.missing_tools()

# msvcrt._wfopen tells which set file each load read; DeleteFileW shows
# the scratch file going at exit.
RELAY = winehost.DEFAULT_RELAY_INCLUDE + ("msvcrt._wfopen",
                                          "kernel32.DeleteFileW")

AMBER, BLUE, GREEN = (255, 160, 0), (0, 80, 255), (0, 170, 60)
COLOURS = {"Amber": AMBER, "Blue": BLUE, "Green": GREEN}
BUSY = [OCR_APPSTARTING, OCR_WAIT]


# --------------------------------------------------------------------------
# The helpers the live tests lean on; these run without Wine.

class CursorFileTest(unittest.TestCase):
    def test_slice_is_a_one_image_cursor_file(self):
        data = tf.cursor_slice(3, AMBER, hotspot=(5, 7))
        fields = [
            ("size", len(data), tf.SLICE_SIZE),
            ("reserved, type, count", struct.unpack_from("<HHH", data, 0),
             (0, 2, 1)),
            ("width, height", struct.unpack_from("<BB", data, 6), (32, 32)),
            ("hotspot", struct.unpack_from("<HH", data, 10), (5, 7)),
            ("bytes, offset", struct.unpack_from("<II", data, 14),
             (2216, 22)),
            ("header, width, height, planes, bits",
             struct.unpack_from("<IiiHH", data, 22), (40, 32, 64, 1, 8)),
        ]
        for what, got, want in fields:
            with self.subTest(field=what):
                self.assertEqual(got, want)

    def test_every_slice_differs(self):
        amber, blue = tf.cursor_set(AMBER), tf.cursor_set(BLUE)
        self.assertEqual(len(amber), tf.SET_SIZE)
        slices = [s[i * tf.SLICE_SIZE:(i + 1) * tf.SLICE_SIZE]
                  for s in (amber, blue) for i in range(tf.SLICES)]
        self.assertEqual(len(set(slices)), 2 * tf.SLICES)

    def test_arrow_is_opaque_and_the_rest_transparent(self):
        data = tf.cursor_slice(4, AMBER)        # pointing right
        mask = data[22 + 40 + 1024 + 1024:]

        def transparent(x, y):
            row = 31 - y
            return bool(mask[row * 4 + x // 8] & (0x80 >> (x % 8)))
        for (x, y), want in [((28, 16), False), ((5, 16), False),
                             ((0, 0), True), ((16, 2), True)]:
            with self.subTest(point=(x, y)):
                self.assertIs(transparent(x, y), want)


# One capture, two ticks and an exit, as the relay log shows them (pid and
# thread left out).  The second tick's wait copy is not destroyed.
RUN = """\
0024:Call user32.GetCursor() ret=1
0024:Ret  user32.GetCursor() retval=000100b4 ret=1
0024:Call user32.CopyIcon(000100b4) ret=2
0024:Ret  user32.CopyIcon() retval=000100b6 ret=2
0024:Call user32.GetCursorPos(0021f748) ret=3
0024:Ret  user32.GetCursorPos() retval=00000001 ret=3
0024:Call user32.CopyIcon(0005008a) ret=2
0024:Ret  user32.CopyIcon() retval=00f100a8 ret=2
0024:Call user32.SetSystemCursor(00f100a8,00007f00) ret=4
0024:Ret  user32.SetSystemCursor() retval=00000001 ret=4
0024:Call user32.DestroyIcon(00f100a8) ret=5
0024:Ret  user32.DestroyIcon() retval=00000001 ret=5
0024:Call user32.CopyIcon(0005008a) ret=2
0024:Ret  user32.CopyIcon() retval=00f200a8 ret=2
0024:Call user32.SetSystemCursor(00f200a8,00007f02) ret=4
0024:Ret  user32.SetSystemCursor() retval=00000001 ret=4
0024:Call user32.SetSystemCursor(000100b6,00007f00) ret=4
0024:Ret  user32.SetSystemCursor() retval=00000001 ret=4
"""


class RelayReadingTest(unittest.TestCase):
    def setUp(self):
        self.calls = winehost.RelayLog(RUN).calls()

    def test_installs_restores_and_captures(self):
        self.assertEqual([i[:4] for i in tf.installs(self.calls)], [
            (OCR_NORMAL, 0x5008A, 0xF100A8, True),
            (OCR_WAIT, 0x5008A, 0xF200A8, False)])
        self.assertEqual([r[:2] for r in tf.restores(self.calls)],
                         [(OCR_NORMAL, 0x100B6)])
        self.assertEqual([c[:2] for c in tf.captures(self.calls)],
                         [(0x100B4, 0x100B6)])

    def test_set_loads_come_in_sixteens(self):
        line = ('0024:Call user32.LoadCursorFromFileW(1 L"Z:\\t\\mw.tmp")'
                ' ret=1\n0024:Ret  user32.LoadCursorFromFileW() '
                'retval=00010001 ret=1\n')
        for count, loads in [(16, 1), (32, 2), (0, 0)]:
            with self.subTest(count=count):
                calls = winehost.RelayLog(line * count).calls()
                self.assertEqual(len(tf.set_loads(calls)), loads)
        for count in (15, 17):
            with self.subTest(count=count):
                with self.assertRaises(AssertionError):
                    tf.set_loads(winehost.RelayLog(line * count).calls())


class PictureTest(unittest.TestCase):
    def test_find_and_group_colours(self):
        width, height = 40, 3
        pixels = bytearray(b"\x00" * width * height * 3)
        # Two dots in one group (6 apart), a third 7 further on.
        for x, colour in [(2, BLUE), (8, BLUE), (15, BLUE), (20, (8, 88, 247)),
                          (30, (10, 80, 255))]:
            pixels[(width + x) * 3:(width + x) * 3 + 3] = bytes(colour)
        with tempfile.NamedTemporaryFile(suffix=".ppm", delete=False) as f:
            f.write(b"P6\n# from import\n%d %d\n255\n" % (width, height))
            f.write(bytes(pixels))
        self.addCleanup(os.remove, f.name)
        picture = tf.Picture(f.name)
        found = picture.find(BLUE, (0, 0, width, height))
        # Within 8 on every channel counts; 10 off on red does not.
        self.assertEqual([x for x, _ in found], [2, 8, 15, 20])
        self.assertEqual([(x, n) for x, _, n in tf.blobs(found)],
                         [(5, 2), (17, 2)])
        self.assertEqual(picture.at(30, 1), (10, 80, 255))


@unittest.skipIf(MISSING, "Wine end-to-end test needs: %s"
                 % ", ".join(MISSING))
class TarnwickCase(unittest.TestCase):
    """One program folder and one Wine host per test."""

    def setUp(self):
        exe = tf.tarnwick_exe()
        if not os.path.isfile(exe):
            # Wine is here, so a missing program is a broken build, not a
            # reason to skip.
            self.fail("no program to test at %s: build it with `cmake "
                      "--preset mingw && cmake --build --preset mingw` or "
                      "set TARNWICK_EXE" % exe)
        self.host = winehost.WineHost(relay_include=RELAY,
                                      unmanaged_exes=["Tarnwick.exe"])
        self.host.__enter__()
        self.addCleanup(self.host.close)
        self.folder = tf.ProgramFolder(self.host.tmp, exe)
        self.main = None
        self.answered = set()

    def fresh_host(self):
        """A new prefix, display and folder, for the next row of a table."""
        self.host.close()
        self.setUp()

    # -- running the program ------------------------------------------------
    def launch(self, loads=0, timestamps=False):
        """Start the program and wait until start-up has loaded the
        set loads (the remembered set and each listed one) it makes."""
        self.host.start(self.folder.exe, timestamps=timestamps)
        if loads:
            self.host.wait_call("user32.LoadCursorFromFileW",
                                tf.SLICES * loads, timeout=30)

    def main_window(self, timeout=20):
        self.main = self.host.wait_window(timeout=timeout, name=TITLE,
                                          pid=self.host.proc.pid)
        return self.main

    def main_visible(self):
        return any(w.id == self.main.id for w in
                   self.host.windows(name=TITLE, pid=self.host.proc.pid))

    def calls(self):
        return self.host.program_calls()

    def click(self, rect, button=1):
        self.host.click(*tf.screen_centre(self.main, rect), button=button)

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

    def answer_message_box(self, timeout=20):
        """Answer the next message box with Return and wait until the
        program is out of MessageBoxW; returns that call."""
        pid = self.host.proc.pid
        main_id = self.main.id if self.main else None
        done = len([c for c in tf.calls_with(self.calls(), "MessageBoxW")
                    if c.returned])

        def new_box():
            return [w for w in self.host.windows(name=TITLE, pid=pid)
                    if w.id != main_id and w.id not in self.answered]
        box = winehost.wait_until(new_box, timeout, 0.2, "a message box")[0]
        self.answered.add(box.id)
        self.host.key("Return", window=box)
        log = self.host.wait_call("user32.MessageBoxW", done + 1,
                                  timeout=timeout)
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


class StartupTest(TarnwickCase):
    def test_window_list_and_tray_after_start(self):
        self.add_sets("Amber", "Blue", "Green")
        self.folder.write_settings(normal=1, busy=0, interval=20, slider=100,
                                   set_file="Blue.TWC")
        self.launch(loads=4)
        self.main_window()
        tray = self.host.tray_window()
        # The first icon's cell: a pointer over it must reach the program
        # as its callback with the icon's id, 1, in wParam.
        x, y = self.host.tray_icon_position()
        self.host.mouse_move(x, y)
        log = self.host.wait_relay(lambda l: l.tray_callbacks(), 10,
                                   "a tray callback")
        picture, icons = self.wait_list_icons(COLOURS, 3)
        calls = self.calls()

        self.assertEqual((self.main.width, self.main.height), (578, 424))
        self.assertEqual(tray.name, "Wine System Tray")
        notes = tf.calls_with(calls, "Shell_NotifyIconW")
        self.assertEqual([c.args[0].value for c in notes], [NIM_ADD])
        self.assertEqual(log.tray_callbacks()[0], (1, 0x200))

        # The remembered set first, then each listed set once.
        loads = tf.set_loads(calls)
        sets = tf.opened(calls, ".TWC")
        self.assertEqual(len(loads), 4)
        self.assertEqual(sets[0], "Blue.TWC")
        self.assertEqual(sorted(sets[1:]),
                         ["Amber.TWC", "Blue.TWC", "Green.TWC"])
        self.assertTrue(all(c.retval for load in loads for c in load),
                        "a slice the platform refused")
        self.assertTrue(all(c.args[0].string.endswith("\\mw.tmp")
                            for load in loads for c in load))
        self.assertLess(notes[0].index, loads[0][0].index)

        # Start-up changes no pointer, captures nothing and says nothing.
        for func in ("SetSystemCursor", "GetCursor", "CopyIcon",
                     "MessageBoxW"):
            self.assertEqual(tf.calls_with(calls, func), [], func)
        self.assertEqual(tf.calls_with(calls, "SystemParametersInfoW",
                                       SPI_SETCURSORS), [])

        # On the screen: one list entry per set, in the order they were
        # listed, each showing its own set's picture; the preview shows
        # the remembered set.
        self.assertEqual([n + ".TWC" for n, _ in icons], sets[1:], icons)
        ys = {y for _, (_, y) in icons}
        self.assertLessEqual(max(ys) - min(ys), 2, icons)
        preview = tf.screen_rect(self.main, tf.PREVIEW)
        self.assertGreater(len(picture.find(BLUE, preview)), 10)
        self.assertEqual(picture.find(AMBER, preview), [])
        self.assertEqual(picture.at(self.main.x + 300, self.main.y + 200),
                         (255, 224, 192))           # peach list background
        png = os.environ.get("TARNWICK_E2E_WINDOW_PNG")
        if png:
            self.host.x("convert", os.path.join(self.host.tmp, "screen.ppm"),
                        "-crop", "%dx%d+%d+%d" % (self.main.width,
                                                  self.main.height,
                                                  self.main.x, self.main.y),
                        png)


class BundledSetsTest(TarnwickCase):
    """The sets shipped beside the program must be cursors Windows accepts."""

    def test_every_slice_of_every_bundled_set_loads(self):
        repo_sets = os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                 "..", "..", "sets")
        names = sorted(n for n in os.listdir(repo_sets)
                       if n.upper().endswith(".TWC"))
        self.assertGreaterEqual(len(names), 3)
        for name in names:
            with open(os.path.join(repo_sets, name), "rb") as f:
                self.folder.write(name, f.read())
        # No settings file: start-up loads each listed set once, nothing else.
        self.launch(loads=len(names))
        self.main_window()
        calls = self.calls()
        self.assertEqual(tf.opened(calls, ".TWC"), names)
        for name, load in zip(names, tf.set_loads(calls)):
            for index, call in enumerate(load):
                with self.subTest(set=name, slice=index):
                    self.assertTrue(call.retval, "LoadCursorFromFileW refused it")
        self.assertEqual(tf.calls_with(calls, "MessageBoxW"), [])


class RotationTest(TarnwickCase):
    def test_double_click_rotates_with_the_chosen_set(self):
        self.add_sets("Amber", "Blue", "Green")
        self.folder.write_settings(normal=1, busy=1, interval=20, slider=100,
                                   set_file="Amber.TWC")
        self.launch(loads=4)
        self.main_window()
        icons = dict(self.wait_list_icons(COLOURS, 3)[1])
        self.assertEqual(sorted(icons), ["Amber", "Blue", "Green"])
        before = len(self.calls())

        self.host.double_click(*icons["Green"])
        self.host.wait_call("user32.LoadCursorFromFileW", 5 * tf.SLICES)
        self.wait_installs(3)
        # Straight to the right in 8-pixel steps, then still.
        x0, y = self.main.x + 40, self.main.y + 300
        self.host.mouse_path([(x0 + 8 * i, y) for i in range(25)],
                             step_delay=0.03)
        calls = self.wait_installs(15)
        self.assertTrue(self.main_visible(), "a double-click hid the window")

        activation = calls[before:]
        load = tf.set_loads(activation)
        self.assertEqual(len(load), 1)
        handles = [c.retval for c in load[0]]
        self.assertEqual(tf.opened(activation, ".TWC"), ["Green.TWC"])

        # The user's three pointers are copied before anything is
        # installed, and the pointer is not moved to do it (ExitTest sees
        # which copy goes back to which role).
        caps = tf.captures(activation)
        ins = tf.installs(activation)
        self.assertEqual(len(caps), 3)
        self.assertLess(caps[-1][2], ins[0].index)
        self.assertEqual(tf.calls_with(activation, "SetCursorPos"), [])

        # Every tick: a fresh copy per role, normal then app-starting then
        # wait, all of the same slice, each destroyed straight after.
        # (Capturing reads the pointer position too; ticks come after.)
        ticks, tick = [], None
        for c in activation:
            if c.index < caps[-1][2]:
                continue
            if c.func == "GetCursorPos":
                tick = []
                ticks.append(tick)
            elif tick is not None and c.func == "SetSystemCursor":
                tick.append(c.index)
        by_line = {i.index: i for i in ins}
        self.assertGreater(len(ticks), 20)
        for n, lines in enumerate(ticks[:-1]):      # the last may be partial
            with self.subTest(tick=n):
                done = [by_line[i] for i in lines]
                self.assertEqual([i.role for i in done],
                                 [OCR_NORMAL] + BUSY)
                self.assertEqual(len({i.source for i in done}), 1)
                self.assertTrue(all(i.destroyed for i in done))
                self.assertIn(done[0].source, handles)
        copies = [i.copy for i in ins]
        self.assertEqual(len(copies), len(set(copies)),
                         "a copy was installed twice")

        # At rest after moving right the pointer shows slice 4 (right).
        last = [i for i in ins if i.role == OCR_NORMAL][-5:]
        self.assertEqual([handles.index(i.source) for i in last], [4] * 5)


class ExitTest(TarnwickCase):
    def test_exit_label_after_rotating(self):
        self.check_exit(tf.EXIT_LABEL, rotate=True)

    def test_close_label_before_starting(self):
        self.check_exit(tf.CLOSE_LABEL, rotate=False)

    def check_exit(self, label, rotate):
        self.add_sets("Amber", "Green")
        self.folder.write_settings(normal=1, busy=1, interval=7, slider=93,
                                   set_file="Green.TWC")
        self.launch(loads=3)
        self.main_window()
        self.host.tray_window()
        if rotate:
            icons = dict(self.wait_list_icons(COLOURS, 2)[1])
            self.host.double_click(*icons["Amber"])
            self.wait_installs(5)
        self.assertTrue(self.folder.exists(tf.SCRATCH))
        calls = self.exit_by(label)

        remembered = "Amber.TWC" if rotate else "Green.TWC"
        self.assertEqual(self.folder.read(tf.INI),
                         b"0\r\n1\r\n1\r\n7\r\n93\r\n" +
                         remembered.encode() + b"\r\n")
        self.assertEqual(self.folder.listing(),
                         ["Amber.TWC", "Green.TWC", "Tarnwick.exe",
                          "Tarnwick.ini"])

        ins = tf.installs(calls)
        back = tf.restores(calls)
        deleted = tf.calls_with(calls, "Shell_NotifyIconW", NIM_DELETE)
        self.assertEqual(len(deleted), 1)
        self.assertEqual([r[0] for r in back],
                         [OCR_NORMAL, OCR_APPSTARTING, OCR_WAIT])
        if rotate:
            # The saved copies go back: app-starting, wait and normal
            # were captured in that order.
            caps = tf.captures(calls)
            self.assertEqual([r[1] for r in back],
                             [caps[2][1], caps[0][1], caps[1][1]])
            self.assertLess(ins[-1].index, deleted[0].index)
        else:
            self.assertEqual(ins, [])
            self.assertEqual([r[1] for r in back], [0, 0, 0])
        self.assertLess(deleted[0].index, back[0][2])
        gone = tf.calls_with(calls, "DeleteFileW")
        self.assertTrue(gone and gone[-1].args[0].string.endswith("mw.tmp"))
        self.assertLess(back[-1][2], gone[-1].index)
        self.host.wait_no_window(name=self.host.TRAY_TITLE)


class WindowTest(TarnwickCase):
    def test_unticking_normal_puts_the_users_arrow_back(self):
        self.add_sets("Blue")
        self.folder.write_settings(normal=1, busy=1, interval=20,
                                   set_file="Blue.TWC")
        self.launch(loads=2)
        self.main_window()
        icons = dict(self.wait_list_icons({"Blue": BLUE}, 1)[1])
        self.host.double_click(*icons["Blue"])
        started = self.wait_installs(3)
        saved = tf.captures(started)
        self.click(tf.NORMAL_CHECK)
        calls = self.wait_installs(5, role=OCR_WAIT)
        after = calls[len(started):]

        # At once: the saved arrow goes back to the system, which owns it
        # from then on, so the program keeps a copy of it made just
        # before (for the restore at exit); from then on only the busy
        # roles rotate.
        back = tf.restores(after)
        self.assertEqual(back[0][:2], (OCR_NORMAL, saved[2][1]))
        kept = tf.calls_with(after, "CopyIcon", saved[2][1])
        self.assertEqual(len(kept), 1)
        self.assertLess(kept[0].index, back[0][2])
        self.assertEqual(tf.captures(after), [])
        later = [i.role for i in tf.installs(after) if i.index > back[0][2]]
        self.assertGreaterEqual(len(later), 10)
        self.assertNotIn(OCR_NORMAL, later)

        calls = self.exit_by(tf.EXIT_LABEL)
        final = tf.restores(calls)[-3:]
        self.assertEqual([r[:2] for r in final],
                         [(OCR_NORMAL, kept[0].retval),
                          (OCR_APPSTARTING, saved[0][1]),
                          (OCR_WAIT, saved[1][1])])
        self.assertEqual(self.folder.read(tf.INI).split(b"\r\n")[:3],
                         [b"0", b"0", b"1"])

    def test_slider_drag_ignores_moves_past_the_end(self):
        self.add_sets("Blue")
        self.folder.write_settings(interval=6, slider=100,
                                   set_file="Blue.TWC")
        self.launch(loads=2)
        self.main_window()
        # The knob's left edge is the slider position plus 8 pixels into
        # its frame: 108 here.  Grab it 3 pixels in.
        fx, fy = (v // tf.TWIPS_PER_PIXEL for v in tf.FRAME2)
        frame_x = self.main.x + 1 + fx
        x = frame_x + 108 + 3
        y = self.main.y + 1 + fy + tf.KNOB_TOP // tf.TWIPS_PER_PIXEL + 10

        def knob_left():
            knob = self.screenshot().find((255, 128, 0),
                                          (frame_x, y - 3, frame_x + 160,
                                           y + 3), tolerance=0)
            return min(px for px, _ in knob) - frame_x

        self.host.mouse_move(x, y)
        self.host.x("xdotool", "mousedown", "1")
        # (moves, where the knob's left edge is then): 136 is the track's
        # last place; a move to 137 is ignored, not clamped to 136.
        for moves, left in [((113, 120, 128, 136), 136), ((130,), 130),
                            ((137,), 130)]:
            with self.subTest(to=moves[-1]):
                # Each move the knob handles reads the pointer position:
                # wait for the last one before looking.
                seen = len(tf.calls_with(self.calls(), "GetCursorPos"))
                self.host.mouse_path([(x + m - 108, y) for m in moves],
                                     step_delay=0.05)
                self.host.wait_call("user32.GetCursorPos", seen + 1)
                winehost.wait_until(lambda: knob_left() == left, 5,
                                    what="the knob at %d" % left)
        self.host.x("xdotool", "mouseup", "1")
        self.exit_by(tf.EXIT_LABEL)

        lines = self.folder.read(tf.INI).split(b"\r\n")
        self.assertEqual(lines[3:5], [b"2", b"122"])      # 26 - 122 div 5

    def test_title_strip_drag_moves_the_window(self):
        self.add_sets("Blue")
        self.folder.write_settings(set_file="Blue.TWC")
        self.launch(loads=2)
        self.main_window()
        x, y = self.main.x + 200, self.main.y + 8
        self.host.mouse_move(x, y)
        self.host.x("xdotool", "mousedown", "1")
        self.host.mouse_path([(x + 10 * i, y + 6 * i) for i in range(1, 6)],
                             step_delay=0.05)
        self.host.x("xdotool", "mouseup", "1")
        old = self.main
        moved = winehost.wait_until(
            lambda: [w for w in self.host.windows(name=TITLE)
                     if w.id == old.id and (w.x, w.y) != (old.x, old.y)],
            10, what="the window to move")[0]
        self.assertEqual((moved.x - old.x, moved.y - old.y), (50, 30))
        self.assertEqual((moved.width, moved.height),
                         (old.width, old.height))

    def test_label_buttons_light_up_under_the_pointer(self):
        self.add_sets("Blue")
        self.folder.write_settings(set_file="Blue.TWC")
        self.launch(loads=2)
        self.main_window()
        ok = tf.screen_rect(self.main, tf.OK_LABEL)
        frame = (ok[0] - 10, ok[3] + 3)           # Frame5, below the label
        red, orange = (255, 0, 0), (255, 128, 0)
        # (where the pointer goes, colour of the "OK" text then).  The
        # frame around the buttons does not reset the colours; the list
        # does.
        for name, point, colour in [
                ("over OK", tf.screen_centre(self.main, tf.OK_LABEL), red),
                ("onto its frame", frame, red),
                ("onto the list", tf.screen_centre(self.main, tf.LIST_VIEW),
                 orange)]:
            with self.subTest(pointer=name):
                self.host.mouse_path([point, (point[0] + 1, point[1])])

                def text_is(c):
                    return len(self.screenshot().find(c, ok, tolerance=0)) \
                        > 20
                winehost.wait_until(lambda: text_is(colour), 5,
                                    what="OK in %r" % (colour,))
                other = orange if colour == red else red
                self.assertFalse(text_is(other))


class FirstSetTest(TarnwickCase):
    def test_bad_first_set_is_listed_blank_and_the_rest_still_offered(self):
        # No settings file and the first listed set has the wrong size, so
        # nothing is loaded when its picture is wanted.  Ending the program
        # there would keep every good set from being offered: it gets a
        # blank picture instead, silently.
        self.folder.write("Bad.TWC", b"\0" * 100)
        self.add_sets("Blue")
        self.launch(loads=1)
        self.main_window()
        _, icons = self.wait_list_icons({"Blue": BLUE}, 1)
        calls = self.calls()

        self.assertEqual(tf.opened(calls, ".TWC"), ["Bad.TWC", "Blue.TWC"])
        self.assertEqual(tf.calls_with(calls, "MessageBoxW"), [])
        self.assertEqual([n for n, _ in icons], ["Blue"])
        self.assertTrue(self.host.running())
        self.exit_by(tf.EXIT_LABEL)
        self.assertEqual(self.folder.read("Bad.TWC"), b"\0" * 100)
        self.assertEqual(self.folder.listing(),
                         ["Bad.TWC", "Blue.TWC", "Tarnwick.exe",
                          "Tarnwick.ini"])


class InstanceTest(TarnwickCase):
    def test_second_instance_ends_silently(self):
        self.add_sets("Blue")
        self.folder.write_settings(set_file="Blue.TWC")
        self.launch(loads=2)
        self.main_window()
        code, seconds, log = self.host.run_other(self.folder.exe, timeout=20)
        second = log.calls(pids=log.pids_of("Tarnwick.exe"))

        self.assertEqual(code, 0)
        self.assertLess(seconds, 10)
        self.assertTrue(log.pids_of("Tarnwick.exe"), "the copy never ran")
        for func in ("Shell_NotifyIconW", "LoadCursorFromFileW",
                     "MessageBoxW", "_wfopen", "SetSystemCursor"):
            self.assertEqual(tf.calls_with(second, func), [], func)
        # The first one is untouched: still there, its one tray icon kept.
        self.assertTrue(self.host.running())
        self.assertTrue(self.main_visible())
        first = self.calls()
        self.assertEqual([c.args[0].value for c in
                          tf.calls_with(first, "Shell_NotifyIconW")],
                         [NIM_ADD])
        self.assertEqual(self.folder.listing(),
                         ["Blue.TWC", "Tarnwick.exe", "Tarnwick.ini",
                          "mw.tmp"])

    def test_automatic_start_and_back_from_the_tray(self):
        self.add_sets("Blue")
        self.folder.write_settings(auto=1, normal=1, busy=1, interval=20,
                                   set_file="Blue.TWC")
        shown = []
        away = (900, 700)                   # not where the window will be
        self.host.mouse_move(*away)
        self.launch(timestamps=True)

        def rotating():
            shown.extend(self.host.windows(name=TITLE,
                                           pid=self.host.proc.pid))
            return tf.installs(self.calls())
        winehost.wait_until(rotating, 20, 0.05, "the first install")
        calls = self.calls()

        self.assertEqual(shown, [], "the window showed on automatic start")
        loads = tf.set_loads(calls)
        self.assertEqual(len(loads), 3)     # remembered, listed, started
        first = tf.installs(calls)[0]
        caps = [c for c in tf.captures(calls) if c[2] < first.index]
        self.assertEqual(len(caps), 6)      # the timer's, then OK's
        parks = [(p.args[0].value, p.args[1].value)
                 for p in tf.calls_with(calls, "SetCursorPos")]
        # Over the list and back, twice.
        self.assertEqual(len(parks), 4)
        self.assertEqual(parks[2:], parks[:2])
        self.assertEqual(parks[1], away)
        by_time = {c.index: c.time for c in calls}
        delay = by_time[caps[0][2]] - loads[1][-1].time
        self.assertGreaterEqual(delay, 0.09)
        self.assertLess(delay, 1.5)
        self.assertLess(loads[1][-1].index, caps[0][2])

        # A right click on the tray icon brings the window back; OK only
        # hides it again (no new capture, no load); a left click brings it
        # back too.
        for action, visible in [("right", True), ("OK", False),
                                ("left", True)]:
            with self.subTest(action=action):
                before = self.calls()
                if action == "OK":
                    self.click(tf.OK_LABEL)
                    self.host.wait_no_window(name=TITLE,
                                             pid=self.host.proc.pid)
                else:
                    self.host.click_tray_icon(button=3 if action == "right"
                                              else 1)
                    self.main_window(timeout=10)
                    # Parked at the centre of this window, outer size.
                    self.assertEqual(parks[0], (
                        self.main.x + self.main.width // 2,
                        self.main.y + self.main.height // 2))
                self.assertEqual(self.main_visible(), visible)
                after = self.calls()[len(before):]
                self.assertEqual(tf.captures(after), [])
                self.assertEqual(tf.set_loads(after), [])
        self.wait_installs(3)                       # still rotating
        self.exit_by(tf.EXIT_LABEL)
        self.assertEqual(self.folder.read(tf.INI)[:3], b"1\r\n")


class MessageTest(TarnwickCase):
    def test_wrong_sized_sets_are_listed_silently(self):
        self.add_sets("Blue", "Green")
        good = tf.cursor_set(AMBER)
        sizes = {"Short": tf.SET_SIZE - 1, "Long": tf.SET_SIZE + 1,
                 "Empty": 0}
        for name, size in sizes.items():
            self.folder.write(name + ".TWC", (good * 2)[:size])
        self.folder.write_settings(set_file="Blue.TWC")
        self.launch(loads=3)
        self.main_window()
        _, icons = self.wait_list_icons({"Blue": BLUE, "Green": GREEN}, 5)
        calls = self.calls()

        self.assertEqual(tf.calls_with(calls, "MessageBoxW"), [])
        listed = tf.opened(calls, ".TWC")[1:]
        self.assertEqual(sorted(listed),
                         sorted(n + ".TWC" for n in
                                ["Blue", "Green", "Short", "Long", "Empty"]))
        self.assertEqual(len(tf.set_loads(calls)), 3)
        # An entry whose file has the wrong size shows the picture of the
        # set loaded before it.
        expect, shown = [], BLUE
        for name in listed:
            shown = COLOURS.get(name[:-4], shown)
            expect.append(shown)
        self.assertEqual([COLOURS[n] for n, _ in icons], expect, icons)
        self.assertTrue(self.host.running())
        self.exit_by(tf.EXIT_LABEL)

    def test_short_settings_files_are_reported_line_by_line(self):
        # (lines in the file, what Exit writes back).  Each line that is
        # missing gets its own message; the line buffer keeps the last
        # line read, which lines 4 and 5 are then judged from and which
        # stays the remembered name.  No set gets loaded by that name, so
        # the preview has nothing to show: one more message.
        table = [
            (["0", "1", "0"], b"0\r\n1\r\n0\r\n1\r\n128\r\n0\r\n"),
            (["0", "1", "0", "9", "100"],
             b"0\r\n1\r\n0\r\n9\r\n100\r\n100\r\n"),
        ]
        for lines, written in table:
            with self.subTest(lines=len(lines)):
                if lines is not table[0][0]:
                    self.fresh_host()
                self.check_short_settings(lines, written)

    def check_short_settings(self, lines, written):
        self.add_sets("Blue")
        self.folder.write(tf.INI, "".join(l + "\r\n" for l in lines)
                          .encode())
        self.host.start(self.folder.exe)
        boxes = self.answer_start_up_boxes()
        texts = [b.args[1].string for b in boxes]

        missing = 6 - len(lines)
        self.assertEqual(len(texts), missing + 1, texts)
        for box, text in zip(boxes, texts):
            head, _, why = text.partition("\n")
            self.assertEqual((head, box.args[2].string), ("LoadINI", TITLE))
            self.assertTrue(why, text)
            self.assertEqual(box.args[3].value & 0xF0, tf.MB_ICONEXCLAMATION)
        self.assertEqual(len(set(texts[:missing])), missing, texts)
        self.assertEqual(tf.opened(self.calls(), ".TWC"), ["Blue.TWC"])
        self.assertTrue(self.host.running())
        self.exit_by(tf.EXIT_LABEL)
        self.assertEqual(self.folder.read(tf.INI), written)

    def test_ok_without_a_remembered_set(self):
        # A first run: no settings file, so no set is remembered.
        self.add_sets("Blue")
        self.launch(loads=1)
        self.main_window()
        self.click(tf.OK_LABEL)
        box = self.answer_message_box()
        self.assertEqual(box.args[1].string.split("\n", 1)[0], "LoadTWC")
        self.assertEqual(box.args[2].string, TITLE)
        self.host.wait_no_window(name=TITLE, pid=self.host.proc.pid)
        calls = self.calls()
        self.assertEqual(len(tf.captures(calls)), 3)
        self.assertLess(tf.captures(calls)[-1][2], box.index)
        # Still running: the tray brings the window back, Exit ends it.
        self.host.click_tray_icon(button=1)
        self.main_window(timeout=10)
        self.exit_by(tf.EXIT_LABEL)
        # Both roles off and nothing remembered.  The interval and slider
        # lines are those of the knob's place in a new window (position
        # 104, 6 ms), which the program uses on a first run so rotation
        # runs after OK without a slide first.
        self.assertEqual(self.folder.read(tf.INI),
                         b"0\r\n0\r\n0\r\n6\r\n104\r\n\r\n")


class CrashTest(TarnwickCase):
    def test_restart_after_kill_reloads_system_pointers_first(self):
        self.add_sets("Blue")
        self.folder.write_settings(normal=1, busy=1, interval=20,
                                   set_file="Blue.TWC")
        self.launch(loads=2)
        self.main_window()
        self.click(tf.OK_LABEL)
        self.host.wait_no_window(name=TITLE, pid=self.host.proc.pid)
        first = self.wait_installs(5)
        # OK parked the pointer at the window's centre for the capture and
        # put it back where the click left it.
        ok_at = tf.screen_centre(self.main, tf.OK_LABEL)
        self.assertEqual([(c.args[0].value, c.args[1].value)
                          for c in tf.calls_with(first, "SetCursorPos")],
                         [(self.main.x + self.main.width // 2,
                           self.main.y + self.main.height // 2), ok_at])
        self.assertEqual(tf.calls_with(first, "SystemParametersInfoW",
                                       SPI_SETCURSORS), [])
        self.host.kill()
        self.assertTrue(self.folder.exists(tf.SCRATCH))

        # The same folder again: mw.tmp says the last run never cleaned
        # up, so the user's pointers are reloaded before any is captured.
        self.launch(loads=2)
        self.main_window()
        icons = dict(self.wait_list_icons({"Blue": BLUE}, 1)[1])
        self.host.double_click(*icons["Blue"])
        calls = self.wait_installs(1)
        spi = tf.calls_with(calls, "SystemParametersInfoW", SPI_SETCURSORS)
        self.assertEqual(len(spi), 1)
        self.assertEqual(len(tf.captures(calls)), 3)
        first_touch = min(c.index for c in calls if c.func in
                          ("GetCursor", "CopyIcon", "SetSystemCursor"))
        self.assertLess(spi[0].index, first_touch)
        self.exit_by(tf.EXIT_LABEL)
        self.assertFalse(self.folder.exists(tf.SCRATCH))


if __name__ == "__main__":
    unittest.main()
