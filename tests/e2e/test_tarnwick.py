"""The real Tarnwick.exe under Wine: start-up, the bundled sets, rotation and
the ways out.  See harness/tarnwick_case.py for how each test runs the program.
"""

import os
import statistics
import struct
import tempfile
import time
import unittest

from harness import tarnwick_folder as tf
from harness import winehost
from harness.tarnwick_case import (AMBER, BLUE, BUSY, COLOURS, GREEN, MISSING,  # noqa: F401
                                   RELAY, TarnwickCase)
from harness.tarnwick_folder import (OCR_APPSTARTING, OCR_NORMAL, OCR_WAIT,  # noqa: F401
                                     NIM_ADD, NIM_DELETE, NIM_SETVERSION,
                                     SPI_SETCURSORS, TITLE)


class StartupTest(TarnwickCase):
    def test_window_list_and_tray_after_start(self):
        self.add_sets("Amber", "Blue", "Green")
        self.folder.write_settings(normal=1, busy=0, interval=20, slider=100,
                                   set_file="Blue.TWC")
        self.launch(loads=2)
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

        # Before anything else: DLLs come from the system folder only.
        self.assertEqual((calls[0].func, calls[0].args[0].value),
                         ("SetDefaultDllDirectories", 0x800))
        self.assertEqual((self.main.width, self.main.height), (578, 424))
        self.assertEqual(tray.name, "Wine System Tray")
        notes = tf.calls_with(calls, "Shell_NotifyIconW")
        self.assertEqual([c.args[0].value for c in notes],
                         [NIM_ADD, NIM_SETVERSION])
        self.assertEqual(log.tray_callbacks()[0], (1, 0x200))

        # The remembered set is loaded first, then each listed set is read
        # once for its picture, and only the last one listed becomes the
        # set's pointers, once the list is done.
        loads = tf.set_loads(calls)
        sets = tf.opened(calls, ".TWC")
        self.assertEqual(len(loads), 2)
        self.assertEqual(sets[0], "Blue.TWC")
        self.assertEqual(sorted(sets[1:]),
                         ["Amber.TWC", "Blue.TWC", "Green.TWC"])
        set_opens = [c for c in tf.calls_with(calls, "_wfopen")
                     if c.args[0].string.upper().endswith(".TWC")]
        self.assertLess(loads[0][-1].index, set_opens[1].index)
        self.assertLess(set_opens[-1].index, loads[1][0].index)
        self.assertTrue(all(c.retval for load in loads for c in load),
                        "a slice the platform refused")
        self.assertTrue(all(c.args[1].string.endswith("\\mw.tmp")
                            for load in loads for c in load))
        self.assertLess(notes[0].index, loads[0][0].index)

        # Start-up changes no pointer, captures nothing and says nothing.
        for func in ("SetSystemCursor", "CopyIcon", "CopyImage",
                     "CreateProcessW", "MessageBoxW"):
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
        # Start-up loads the remembered set and the last one listed: one run
        # remembering each of the others gets every set loaded.
        for remembered in names[:-1]:
            with self.subTest(remembered=remembered):
                if remembered != names[0]:
                    self.fresh_host()
                for name in names:
                    with open(os.path.join(repo_sets, name), "rb") as f:
                        self.folder.write(name, f.read())
                self.folder.write_settings(set_file=remembered)
                self.launch(loads=2)
                self.main_window()
                calls = self.calls()
                self.assertEqual(tf.opened(calls, ".TWC"),
                                 [remembered] + names)
                loaded = zip([remembered, names[-1]], tf.set_loads(calls))
                for name, load in loaded:
                    for index, call in enumerate(load):
                        with self.subTest(set=name, slice=index):
                            self.assertTrue(call.retval,
                                            "LoadImageW refused it")
                self.assertEqual(tf.calls_with(calls, "MessageBoxW"), [])


class RotationTest(TarnwickCase):
    def test_double_click_rotates_with_the_chosen_set(self):
        self.add_sets("Amber", "Blue", "Green")
        self.folder.write_settings(normal=1, busy=1, interval=20, slider=100,
                                   set_file="Amber.TWC")
        self.launch(loads=2)
        self.main_window()
        icons = dict(self.wait_list_icons(COLOURS, 3)[1])
        self.assertEqual(sorted(icons), ["Amber", "Blue", "Green"])
        before = len(self.calls())

        self.host.double_click(*icons["Green"])
        self.wait_pointer_loads(3 * tf.SLICES)
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


class TickTest(TarnwickCase):
    relay_include = RELAY + ("kernel32.SetProcessInformation", "kernelbase.SetProcessInformation")

    def test_ticks_at_the_interval_under_a_box_and_none_while_locked(self):
        # The settings file's 5 ms, the arrow alone: a tick is one install.
        self.start_rotating(busy=0, timestamps=True, interval=5)
        calls = self.wait_installs(300)
        times = {c.index: c.time for c in calls}
        at = [times[i.index] for i in tf.installs(calls)][-300:]
        gap = statistics.median(b - a for a, b in zip(at, at[1:]))
        self.assertAlmostEqual(gap, 0.005, delta=0.0005)
        # Faster than the system clock: its timer precision kept (Wine
        # refuses; the call is the witness).
        self.assertEqual([c.args[1].value for c in
                          tf.calls_with(calls, "SetProcessInformation")],
                         [4])                # ProcessPowerThrottling

        # Blue turns into zeros and is double-clicked: refused, said by
        # name in a box owned by the window and brought to the front with
        # it, under which ticks go on with Blue's pointers.
        self.folder.write("Blue.TWC", bytes(tf.SET_SIZE))
        self.host.double_click(*dict(self.wait_list_icons(
            {"Blue": BLUE}, 1)[1])["Blue"])
        self.host.wait_call("user32.MessageBoxW", returned=False)
        calls = self.wait_installs(50)
        box = tf.calls_with(calls, "MessageBoxW")[-1]
        self.assertFalse(box.returned)
        head, text = box.args[1].string.split("\n", 1)
        self.assertEqual((head, box.args[2].string), ("LoadTWC", TITLE))
        self.assertIn("Blue.TWC", text)
        self.assertNotEqual(box.args[0].value, 0)
        self.assertEqual(box.args[3].value & (tf.MB_SETFOREGROUND |
                         tf.MB_TOPMOST), tf.MB_SETFOREGROUND)
        self.assertGreaterEqual(len([i for i in tf.installs(calls)
                                     if i.index > box.index]), 50)
        self.answer_message_box()

        # Locked for a second: not one install until the unlock.
        for code in ("7", "8"):              # WTS_SESSION_LOCK, _UNLOCK
            self.host.nudge("session", "Tarnwick.exe", code,
                            "class=TarnwickForm")
            time.sleep(1)
        calls = self.wait_installs(10)
        lock, unlock = [m.index for m in self.host.relay().window_messages(
            "WM_WTSSESSION_CHANGE")]
        ins = [i.index for i in tf.installs(calls)]
        self.assertEqual([i for i in ins if lock < i < unlock], [])
        self.assertGreaterEqual(len([i for i in ins if i > unlock]), 10)
        # Kept, let go at the lock, kept again after it.
        self.assertEqual(len(tf.calls_with(calls, "SetProcessInformation")), 3)
        # The box said once, and Blue's pointers installed ever since.
        self.assertEqual(len(tf.calls_with(calls, "MessageBoxW")), 1)
        blue = [[c.retval for c in load] for load in tf.set_loads(calls)
                if load[0].retval][-1]
        self.assertLessEqual({i.source for i in tf.installs(calls)
                              if i.index > box.index}, set(blue))


class ExitTest(TarnwickCase):
    def test_exit_label_after_rotating(self):
        self.check_exit(tf.EXIT_LABEL, rotate=True)

    def test_close_label_before_starting(self):
        self.check_exit(tf.CLOSE_LABEL, rotate=False)

    def check_exit(self, label, rotate):
        self.add_sets("Amber", "Green")
        self.folder.write("Short.TWC", bytes(tf.SET_SIZE - 1))
        self.folder.write_settings(normal=1, busy=1, interval=7, slider=93,
                                   set_file="Green.TWC")
        self.launch(loads=2)
        self.main_window()
        self.host.tray_window()
        if rotate:
            icons = self.wait_list_icons(COLOURS, 3)[1]
            self.host.double_click(*dict(icons)["Amber"])
            self.wait_installs(5)
            # Short, shown with Green's picture, is of the wrong size: it
            # is not remembered, and Amber goes on rotating.
            self.host.double_click(*icons[2][1])
            winehost.wait_until(lambda: "Short.TWC" in tf.opened(
                self.calls()), 10, 0.2, "the double-click on Short")
            self.wait_installs(2)
        self.assertTrue(self.folder.exists(tf.SCRATCH))
        calls = self.exit_by(label)

        remembered = "Amber.TWC" if rotate else "Green.TWC"
        self.assertEqual(self.folder.read(tf.INI),
                         b"0\r\n1\r\n1\r\n7\r\n93\r\n" +
                         remembered.encode() + b"\r\n")
        self.assertEqual(self.folder.listing(), sorted(
            ["Amber.TWC", "Green.TWC", "Short.TWC", "Tarnwick.ini"] +
            self.folder.program_files()))

        ins = tf.installs(calls)
        back = tf.restores(calls)
        deleted = tf.calls_with(calls, "Shell_NotifyIconW", NIM_DELETE)
        self.assertEqual(len(deleted), 1)
        if rotate:
            self.assertEqual([r[0] for r in back],
                             [OCR_NORMAL, OCR_APPSTARTING, OCR_WAIT])
            # The saved copies go back: app-starting, wait and normal
            # were captured in that order.
            caps = tf.captures(calls)
            self.assertEqual([r[1] for r in back],
                             [caps[2][1], caps[0][1], caps[1][1]])
            self.assertLess(ins[-1].index, deleted[0].index)
            self.assertLess(deleted[0].index, back[0][2])
        else:
            # No role was ever replaced: none is handed anything.
            self.assertEqual(ins, [])
            self.assertEqual(back, [])
        gone = tf.calls_with(calls, "SetFileInformationByHandle")
        self.assertTrue(gone and gone[-1].retval)
        if back:
            self.assertLess(back[-1][2], gone[-1].index)
        self.host.wait_no_window(name=self.host.TRAY_TITLE)


if __name__ == "__main__":
    unittest.main()
