"""The real Tarnwick.exe under Wine: the pointer watcher it starts before
it first replaces a system pointer.

The program starts the watcher's launch step, which starts the watcher
proper and ends, so the watcher is no descendant of the program.  Killed,
the program leaves the watcher behind, which reloads the user's pointer
scheme (SystemParametersInfoW SPI_SETCURSORS, 0x57; Wine 8.0 answers FALSE,
which is not a failure) and ends; after a clean Exit the watcher ends
touching nothing (killed, it is started again).  The relay lines of both steps land in the program's log
(they inherit Wine's stderr), told apart by their own pids: the launch
step's are its one CreateProcessW.

TARNWICK_E2E_TIMINGS=1 prints what was measured.
"""

import os
import sys
import time
import unittest

from harness import tarnwick_folder as tf
from harness import winehost
from harness.tarnwick_case import RELAY, TarnwickCase
from harness.tarnwick_folder import SPI_SETCURSORS

SPI_LINE = b"SystemParametersInfoW(%08x" % SPI_SETCURSORS
# The watcher's exit codes (watcher_protocol.h), seen as its exit() call.
DISMISSED, RELOADED, BAD_ARGUMENTS, LAUNCHED = 0, 1, 2, 3


def report(what, seconds):
    if os.environ.get("TARNWICK_E2E_TIMINGS") == "1":
        sys.stderr.write("\n  %s: %.3f s\n" % (what, seconds))


class WatcherTest(TarnwickCase):
    relay_include = RELAY + ("msvcrt.exit",)

    def the_watcher(self):
        """The watcher's unix pid, once it runs alone (the launch step
        gone)."""
        pids = winehost.wait_until(
            lambda: len(self.host.unix_processes(tf.WATCHER)) == 1 and
            self.host.unix_processes(tf.WATCHER), 10, 0.05,
            "the watcher's process")
        return pids[0]

    def watcher_calls(self, log=None):
        """(launch step's calls, watcher's pids, watcher's calls), each
        after the DLL search both steps set before anything else."""
        log = log or self.host.relay()
        launch, pids, calls = [], [], []
        for pid in sorted(log.pids_of(tf.WATCHER)):
            theirs = log.calls(pids={pid})
            if theirs and theirs[0].func == "SetDefaultDllDirectories":
                theirs = theirs[1:]
            if tf.calls_with(theirs, "CreateProcessW"):
                launch.extend(theirs)
            else:
                pids.append(pid)
                calls.extend(theirs)
        return launch, pids, calls

    def check_outside_the_programs_tree(self):
        """The watcher's parent is the launch step, which has ended: ending
        the program's tree leaves the watcher running."""
        table = self.host.processes()
        parents = {exe: ppid for ppid, exe in table.values()}
        self.assertNotIn(parents[tf.WATCHER], table, table)

    def wait_gone(self, pid, timeout):
        winehost.wait_until(lambda: not os.path.exists("/proc/%d" % pid) or
                            pid not in self.host.unix_processes(tf.WATCHER),
                            timeout, 0.005, "the watcher to end")
        return time.monotonic()

    def check_started_before_the_first_capture(self, calls):
        started = tf.calls_with(calls, "CreateProcessW")
        self.assertEqual(len(started), 1)
        self.assertTrue(started[0].retval)
        self.assertTrue(started[0].args[0].string.endswith("\\" + tf.WATCHER))
        self.assertIn('" launch ', started[0].args[1].string)
        self.assertEqual(started[0].args[7].string.lower(),
                         "c:\\windows\\system32")
        self.assertLess(started[0].index, tf.captures(calls)[0][2])

    def check_holds_nothing_of_the_folder(self, pid):
        self.assertFalse(os.readlink("/proc/%d/cwd" % pid)
                         .startswith(self.folder.path))
        for fd in os.listdir("/proc/%d/fd" % pid):
            with self.subTest(fd=fd):
                try:
                    target = os.readlink("/proc/%d/fd/%s" % (pid, fd))
                except OSError:
                    continue
                self.assertFalse(target.startswith(self.folder.path), target)
        self.assertEqual(self.host.windows(pid=pid, visible=False), [])

    def test_a_kill_is_followed_by_the_watchers_reload(self):
        self.kill_is_followed_by_the_watchers_reload(watcher_killed=False)

    def test_a_watcher_killed_while_rotating_is_started_again(self):
        self.kill_is_followed_by_the_watchers_reload(watcher_killed=True)

    def kill_is_followed_by_the_watchers_reload(self, watcher_killed):
        calls = self.start_rotating(timestamps=True)
        self.check_started_before_the_first_capture(calls)
        watcher = self.the_watcher()
        if watcher_killed:          # the program starts another within a minute
            self.host.kill_process(watcher)
            self.host.wait_call("kernel32.CreateProcessW", 2, timeout=60)
            watcher = self.the_watcher()
        self.check_holds_nothing_of_the_folder(watcher)
        self.check_outside_the_programs_tree()
        self.assertEqual(tf.calls_with(self.watcher_calls()[2],
                                       "SystemParametersInfoW"), [])

        with open(self.host.log_path, "rb") as log:
            log.seek(0, os.SEEK_END)
            killed = time.monotonic()
            self.host.kill_process()
            seen, tail = None, b""
            while seen is None and time.monotonic() - killed < 5:
                tail = tail[-64:] + log.read()
                if SPI_LINE in tail:
                    seen = time.monotonic()
                else:
                    time.sleep(0.005)
        self.assertIsNotNone(seen, "no reload within 5 s of the kill")
        gone = self.wait_gone(watcher, 5)

        launch, pids, theirs = self.watcher_calls()
        self.assertEqual(len(pids), 1 + watcher_killed)
        first = self.host.relay().calls(pids=pids)[0]
        self.assertEqual((first.func, first.args[0].value),
                         ("SetDefaultDllDirectories", 0x800))
        # The launch step started the watcher from the system's folder and
        # ended; it touched nothing else.
        self.assertEqual([c.func for c in launch],
                         ["CreateProcessW", "exit"] * (1 + watcher_killed))
        self.assertEqual(launch[1].args[0].value, LAUNCHED)
        self.assertTrue(launch[0].retval)
        self.assertIn('" watch ', launch[0].args[1].string)
        self.assertEqual(launch[0].args[7].string.lower(),
                         "c:\\windows\\system32")
        spi = tf.calls_with(theirs, "SystemParametersInfoW")
        self.assertEqual([[a.value for a in c.args] for c in spi],
                         [[SPI_SETCURSORS, 0, 0, 0]])
        self.assertTrue(spi[0].returned)
        # It touched nothing else the program is judged on, showed no
        # window, tray icon or message.
        self.assertEqual([c.func for c in theirs],
                         ["SystemParametersInfoW", "exit"])
        self.assertEqual(theirs[1].args[0].value, RELOADED)
        self.assertEqual(self.host.unix_processes("Tarnwick"), [])
        # In Wine's own clock: from the program's last call before the kill
        # to the reload, an upper bound of kill to reload.
        last = max(c.time for c in self.calls())
        self.assertLess(seen - killed, 3)
        self.assertLess(gone - killed, 4)
        report("kill -> reload seen in the log", seen - killed)
        report("kill -> watcher's process gone", gone - killed)
        report("program's last call -> reload (Wine clock)",
               spi[0].time - last)

    def test_a_clean_exit_ends_the_watcher_touching_nothing(self):
        self.start_rotating(timestamps=True)
        watcher = self.the_watcher()
        self.exit_by(tf.EXIT_LABEL)
        ended = time.monotonic()
        gone = self.wait_gone(watcher, 2)

        log = self.host.relay()
        self.assertEqual([(c.func, c.args[0].value)
                          for c in self.watcher_calls(log)[2]],
                         [("exit", DISMISSED)])
        # The program reloads the user's scheme itself; the watcher does not.
        self.assertEqual(tf.calls_with(log.calls(pids=log.pids_of(tf.WATCHER)),
                                       "SystemParametersInfoW", SPI_SETCURSORS), [])
        self.assertEqual(self.host.unix_processes("Tarnwick"), [])
        self.assertLess(gone - ended, 1)
        report("program's exit -> watcher's process gone", gone - ended)

    def test_without_its_watcher_the_program_runs_as_before(self):
        os.remove(self.folder.file(tf.WATCHER))
        calls = self.start_rotating(timestamps=True)
        started = tf.calls_with(calls, "CreateProcessW")
        self.assertTrue(started)
        self.assertFalse(any(c.retval for c in started))
        self.assertEqual(tf.calls_with(calls, "MessageBoxW"), [])
        self.assertEqual(len(tf.captures(calls)), 3)
        self.host.kill_process()
        self.assertEqual(tf.calls_with(self.host.relay().calls(),
                                       "SystemParametersInfoW",
                                       SPI_SETCURSORS), [])
        self.assertEqual(self.host.unix_processes("Tarnwick"), [])

    def test_started_by_hand_it_ends_at_once_doing_nothing(self):
        for args in [(), ("1", "2", "3"), ("--watch",), ("12", "34"),
                     ("launch", "1", "2", "3"), ("watch", "1", "2", "3")]:
            with self.subTest(args=args):
                code, seconds, log = self.host.run_other(
                    self.folder.file(tf.WATCHER), *args, timeout=20)
                self.assertEqual(code, BAD_ARGUMENTS)
                self.assertLess(seconds, 10)
                self.assertTrue(log.pids_of(tf.WATCHER))
                self.assertEqual([c.func for c in
                                  log.calls(pids=log.pids_of(tf.WATCHER))],
                                 ["SetDefaultDllDirectories", "exit"])


if __name__ == "__main__":
    unittest.main()
