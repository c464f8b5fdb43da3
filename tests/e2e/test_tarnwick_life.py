"""The real Tarnwick.exe under Wine: one instance only, the automatic start
and the tray, its messages, and a restart after it was killed.
"""

import os
import signal
import struct
import tempfile
import unittest

from harness import tarnwick_folder as tf
from harness import winehost
from harness.tarnwick_case import (AMBER, BLUE, BUSY, COLOURS, GREEN, MISSING,  # noqa: F401
                                   RELAY, TarnwickCase)
from harness.tarnwick_folder import (OCR_APPSTARTING, OCR_NORMAL, OCR_WAIT,  # noqa: F401
                                     NIM_ADD, NIM_DELETE, NIM_SETVERSION,
                                     SPI_SETCURSORS, TITLE)

FRONT = tf.MB_SETFOREGROUND | tf.MB_TOPMOST


class InstanceTest(TarnwickCase):
    def test_second_instance_ends_silently(self):
        self.open_blue()
        code, seconds, log = self.host.run_other(self.folder.exe, timeout=20)
        second = log.calls(pids=log.pids_of("Tarnwick.exe"))

        self.assertEqual(code, 0)
        self.assertLess(seconds, 10)
        self.assertTrue(log.pids_of("Tarnwick.exe"), "the copy never ran")
        self.assertEqual(tf.pointer_loads(second), [])
        for func in ("Shell_NotifyIconW", "MessageBoxW", "_wfopen", "SetSystemCursor"):
            self.assertEqual(tf.calls_with(second, func), [], func)
        # The first one is untouched: still there, its one tray icon kept.
        self.assertTrue(self.host.running())
        self.assertTrue(self.main_visible())
        first = self.calls()
        self.assertEqual([c.args[0].value for c in
                          tf.calls_with(first, "Shell_NotifyIconW")],
                         [NIM_ADD, NIM_SETVERSION])
        self.assertEqual(self.folder.listing(), sorted(
            ["Blue.TWC", "Tarnwick.ini", "mw.tmp"] +
            self.folder.program_files()))

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
        # Read from the system: the pointer is never moved to capture.
        self.assertEqual(tf.calls_with(calls, "SetCursorPos"), [])
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
                    self.wait_hidden()
                else:
                    self.host.click_tray_icon(button=3 if action == "right"
                                              else 1)
                    self.main_window(timeout=10)
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
        self.launch(loads=2)
        self.main_window()
        _, icons = self.wait_list_icons({"Blue": BLUE, "Green": GREEN}, 5)
        calls = self.calls()

        self.assertEqual(tf.calls_with(calls, "MessageBoxW"), [])
        listed = tf.opened(calls, ".TWC")[1:]
        self.assertEqual(sorted(listed),
                         sorted(n + ".TWC" for n in
                                ["Blue", "Green", "Short", "Long", "Empty"]))
        # The remembered set, then the last listed set that loads.
        self.assertEqual(len(tf.set_loads(calls)), 2)
        # An entry whose file has the wrong size shows the picture of the
        # set loaded before it.
        expect, shown = [], BLUE
        for name in listed:
            shown = COLOURS.get(name[:-4], shown)
            expect.append(shown)
        self.assertEqual([COLOURS[n] for n, _ in icons], expect, icons)
        self.assertTrue(self.host.running())
        self.exit_by(tf.EXIT_LABEL)

    def test_sets_that_differ_only_in_case_are_listed_once(self):
        # A case-sensitive folder (Linux here, a folder marked so on
        # Windows) holds both; one key is all the list can take.
        self.add_sets("Amber", "Blue")
        self.folder.write("Blue.twc", tf.cursor_set(GREEN))
        self.folder.write_settings(set_file="Amber.TWC")
        self.launch(loads=2)
        self.main_window()
        _, icons = self.wait_list_icons(
            {"Amber": AMBER, "Blue": BLUE, "Green": GREEN}, 2)
        calls = self.calls()
        self.assertEqual(tf.calls_with(calls, "MessageBoxW"), [])
        self.assertEqual([n for n, _ in icons], ["Amber", "Blue"])
        self.assertNotIn("Blue.twc", tf.opened(calls, ".twc"))
        self.exit_by(tf.EXIT_LABEL)

    def test_short_settings_files_are_reported_line_by_line(self):
        # (lines in the file, what Exit writes back).  Each line that is
        # missing gets its own message; the line buffer keeps the last
        # line read, which lines 4 and 5 are then judged from and which
        # stays the remembered name.  No set gets loaded by that name, which
        # leaves nothing to preview and says nothing.
        table = [
            (["0", "1", "0"], b"0\r\n1\r\n0\r\n1\r\n128\r\n0\r\n"),
            (["0", "1", "0", "9", "100"],
             b"0\r\n1\r\n0\r\n9\r\n100\r\n100\r\n"),
        ]
        self.each_row(table, self.check_short_settings)

    def check_short_settings(self, lines, written):
        self.add_sets("Blue")
        self.folder.write(tf.INI, "".join(l + "\r\n" for l in lines)
                          .encode())
        self.host.start(self.folder.exe)
        boxes = self.answer_start_up_boxes()
        texts = [b.args[1].string for b in boxes]

        missing = 6 - len(lines)
        self.assertEqual(len(texts), missing, texts)
        for box, text in zip(boxes, texts):
            head, _, why = text.partition("\n")
            self.assertEqual((head, box.args[2].string), ("LoadINI", TITLE))
            self.assertTrue(why, text)
            self.assertEqual(box.args[3].value & 0xF0, tf.MB_ICONEXCLAMATION)
            # No window of the program is up yet: the box, owned by none,
            # comes to the front and stays there.
            self.assertEqual((box.args[0].value, box.args[3].value & FRONT),
                             (0, FRONT))
        self.assertEqual(len(set(texts[:missing])), missing, texts)
        self.assertEqual(tf.opened(self.calls(), ".TWC"), ["Blue.TWC"])
        self.assertTrue(self.host.running())
        self.exit_by(tf.EXIT_LABEL)
        self.assertEqual(self.folder.read(tf.INI), written)

    def test_ok_without_a_remembered_set(self):
        # A first run: no settings file, so no set is remembered, which OK
        # takes silently, starting with the set the list loaded.
        self.add_sets("Blue")
        self.launch(loads=1)
        self.main_window()
        self.click(tf.OK_LABEL)
        self.wait_hidden()
        calls = self.calls()
        self.assertEqual(len(tf.captures(calls)), 3)
        # Still running: the tray brings the window back, Exit ends it.
        self.show_by_tray()
        self.exit_by(tf.EXIT_LABEL)
        # The arrow rotates, as on every first run, and nothing is
        # remembered.  The interval and slider
        # lines are those of the knob's place in a new window (position
        # 104, 6 ms), which the program uses on a first run so rotation
        # runs after OK without a slide first.
        self.assertEqual(self.folder.read(tf.INI),
                         b"0\r\n1\r\n0\r\n6\r\n104\r\n\r\n")
        # That empty line 6 is no set chosen yet: the next start is silent.
        self.launch(loads=1)
        self.main_window()
        self.assertEqual(tf.calls_with(self.calls(), "MessageBoxW"), [])
        self.exit_by(tf.EXIT_LABEL)


class CrashTest(TarnwickCase):
    def test_restart_after_a_kill_of_both_reloads_system_pointers_first(self):
        self.open_blue(normal=1, busy=1, interval=20)
        self.click(tf.OK_LABEL)
        self.wait_hidden()
        first = self.wait_installs(5)
        # OK captured without moving the pointer.
        self.assertEqual(tf.calls_with(first, "SetCursorPos"), [])
        self.assertEqual(tf.calls_with(first, "SystemParametersInfoW",
                                       SPI_SETCURSORS), [])
        # The pointer watcher is ended first, then the program: nothing is
        # left to reload the user's pointers.  The program is held still
        # meanwhile, or it would start another watcher.
        watchers = self.host.unix_processes(tf.WATCHER)
        self.assertEqual(len(watchers), 1)
        os.kill(self.host.proc.pid, signal.SIGSTOP)
        self.host.kill_process(watchers[0])
        self.host.kill_process()
        self.assertEqual(tf.calls_with(self.host.relay().calls(),
                                       "SystemParametersInfoW",
                                       SPI_SETCURSORS), [])
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
                          ("CopyImage", "SetSystemCursor"))
        self.assertLess(spi[0].index, first_touch)
        self.exit_by(tf.EXIT_LABEL)
        self.assertFalse(self.folder.exists(tf.SCRATCH))


class DesktopTest(TarnwickCase):
    def test_a_close_request_under_a_start_up_box_ends_it(self):
        self.add_sets("Blue")
        os.mkdir(self.folder.file("A.TWC"))     # a set that cannot be read
        fields = dict(auto=1, normal=1, busy=1, interval=9, slider=77,
                      set_file="A.TWC")
        self.folder.write_settings(**fields)
        self.host.start(self.folder.exe)
        self.host.wait_call("user32.MessageBoxW", returned=False, timeout=30)
        self.host.nudge("close", "Tarnwick.exe", "class=TarnwickForm")
        self.assertEqual(self.host.wait_exit(timeout=20), 0)
        # Start-up went no further: nothing captured or installed.
        self.assertEqual(tf.calls_with(self.calls(), "SetSystemCursor"), [])
        self.assertEqual(tf.captures(self.calls()), [])
        self.assertFalse(self.folder.exists(tf.SCRATCH))
        self.assertEqual(self.folder.read(tf.INI), tf.settings_text(**fields))

    def test_the_end_of_the_session(self):
        # A cancelled end changes nothing; a restart manager's close-app
        # request ends the program with the pointers back, so it starts
        # again; a close request to its tray host ends it as well.
        self.open_blue(normal=1, busy=1, interval=20)
        self.click(tf.OK_LABEL)
        self.wait_installs(2)
        _, out = self.host.nudge("endsession", "Tarnwick.exe", "0x1", "0")
        self.assertRegex(out, r"QUERYENDSESSION \S+ class=TarnwickForm "
                              r"result=1")
        self.wait_installs(2)
        self.host.nudge("endsession", "Tarnwick.exe", "0x1", "1")
        self.assertEqual(self.host.wait_exit(timeout=20), 0)
        calls = self.calls()
        back = tf.restores(calls)
        self.assertEqual([r[0] for r in back],
                         [OCR_NORMAL, OCR_APPSTARTING, OCR_WAIT])
        self.assertGreater(back[0][2], tf.installs(calls)[-1].index)
        self.assertFalse(self.folder.exists(tf.SCRATCH))
        self.launch(loads=2)
        self.main_window()
        self.host.nudge("close", "Tarnwick.exe", "class=TarnwickTrayHost")
        self.assertEqual(self.host.wait_exit(timeout=20), 0)


class HeldKeyTest(TarnwickCase):
    def test_enter_held_on_a_box_acts_on_nothing_else(self):
        # 0-byte settings: boxes that Enter held answers, then repeats at the window.
        self.add_sets("Blue", "Green")
        self.folder.write(tf.INI, b"")
        self.launch()
        self.answer_message_box(hold=1.5)
        self.main_window()
        icons = dict(self.wait_list_icons({"Blue": BLUE, "Green": GREEN}, 2)[1])
        self.assertEqual(tf.captures(self.calls()) + tf.installs(self.calls()), [])
        boxes = len(tf.calls_with(self.calls(), "MessageBoxW"))
        # The box of a double-click on a set gone since, answered so: once.
        os.remove(self.folder.file("Green.TWC"))
        os.mkdir(self.folder.file("Green.TWC"))
        self.host.double_click(*icons["Green"])
        self.answer_message_box(hold=1.5)
        self.assertEqual(len(tf.calls_with(self.calls(), "MessageBoxW")), boxes + 1)
        self.assertTrue(self.main_visible())


class SchemeChangeTest(TarnwickCase):
    def test_exit_puts_back_the_pointers_read_after_a_scheme_change(self):
        # Only the arrow rotates; the busy roles' copies are held all the same.
        started = self.start_rotating(busy=0)
        self.assertEqual(len(tf.captures(started)), 3)

        # What the system sends once it has reloaded the user's new scheme.
        code, out = self.host.nudge("settingchange", "Tarnwick.exe")
        self.assertEqual(code, 0, out)
        calls = self.wait_installs(3)
        after = calls[len(started):]
        fresh = tf.captures(after)
        self.assertEqual(sorted(c[3] for c in fresh),
                         sorted([OCR_NORMAL] + BUSY))
        # Read once the scheme is reloaded (Wine answers FALSE).
        spi = tf.calls_with(after, "SystemParametersInfoW", SPI_SETCURSORS)
        self.assertEqual(len(spi), 1)
        self.assertLess(spi[0].index, fresh[0][2])

        # Exit hands the system the copy read after the change, not the
        # start's; the busy roles were never replaced and get nothing.
        calls = self.exit_by(tf.EXIT_LABEL)
        arrow = [c[1] for c in fresh if c[3] == OCR_NORMAL]
        self.assertEqual([r[:2] for r in tf.restores(calls)],
                         [(OCR_NORMAL, arrow[0])])


if __name__ == "__main__":
    unittest.main()
