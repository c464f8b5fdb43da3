"""Tests of the end-to-end harness itself.

The parser tests run anywhere.  The live test drives the probe program
under Wine once and checks that every tool the real program's tests will
lean on (relay witness, tray clicks, message boxes, exit and kill) does
what it claims.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

from harness import winehost
from harness.winehost import RelayLog, decode_wine_string, split_args

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))


class DecodeWineStringTest(unittest.TestCase):
    def test_table(self):
        cases = [
            ('L"Probe"', "Probe"),
            ('L""', ""),
            (r'L"C:\\windows\\a.cur"', r"C:\windows\a.cur"),
            (r'L"say \"hi\""', 'say "hi"'),
            (r'L"Tarnwick\nsecond line"', "Tarnwick\nsecond line"),
            (r'L"a\tb\rc"', "a\tb\rc"),
            (r'L"caf\00e9"', "caf\u00e9"),
            (r'L"\d83d\de00!"', "\U0001F600!"),       # surrogate pair
            (r'L"\0001"', "\x01"),
            ('L"long text cut"...', "long text cut"),
            ('"narrow"', "narrow"),                    # debugstr_a
            ("(null)", None),
            ("#7f00", None),
            ("00007f00", None),
        ]
        for token, want in cases:
            with self.subTest(token=token):
                self.assertEqual(decode_wine_string(token), want)

    def test_malformed(self):
        for token in ['L"open', r'L"bad \q escape"', r'L"\12"']:
            with self.subTest(token=token):
                with self.assertRaises(ValueError):
                    decode_wine_string(token)


class SplitArgsTest(unittest.TestCase):
    def test_table(self):
        cases = [
            ("", []),
            ("00010048", ["00010048"]),
            ("0002004e,00007f00", ["0002004e", "00007f00"]),
            ('00000000,14000a110 L"a, b",14000a100 L"T",00000040',
             ["00000000", '14000a110 L"a, b"', '14000a100 L"T"', "00000040"]),
            (r'1 L"q\",x",2', ['1 L"q\\",x"', "2"]),
            (r'1 L"end\\",2', ['1 L"end\\\\"', "2"]),
        ]
        for text, want in cases:
            with self.subTest(text=text):
                self.assertEqual(split_args(text), want)


# Lines recorded from Wine 8.0 running the probe (pid 0x20, thread 0x24),
# with unrelated lines from other threads left in between.
SAMPLE = r"""0020:0024:trace:loaddll:build_module Loaded L"Z:\\tmp\\tw\\probe.exe" at 0000000140000000: native
0020:0024:Call PE DLL (proc=0000000170068C10,module=0000000170000000 L"ntdll.dll",reason=PROCESS_ATTACH,res=000000000021FB00)
0020:0024:Ret  PE DLL (proc=0000000170068C10,module=0000000170000000 L"ntdll.dll",reason=PROCESS_ATTACH,res=000000000021FB00) retval=1
0020:0024:Call user32.GetCursor() ret=14000171b
0020:0024:Ret  user32.GetCursor() retval=00000000 ret=14000171b
0020:0024:Call user32.CopyIcon(00010048) ret=140001730
0030:0048:Call user32.CopyIcon(00010099) ret=7b000010
0020:0024:Ret  user32.CopyIcon() retval=0002004e ret=140001730
0020:0024:Call user32.SetSystemCursor(0002004e,00007f00) ret=14000173e
0020:0024:Ret  user32.SetSystemCursor() retval=00000001 ret=14000173e
0020:0024:Call user32.LoadCursorFromFileW(14000a020 L"C:\\windows\\missing.cur") ret=140001781
0020:0024:Ret  user32.LoadCursorFromFileW() retval=00000000 ret=140001781
0020:0024:Call shell32.Shell_NotifyIconW(00000000,14000d040) ret=1400018f9
0020:0024:Ret  shell32.Shell_NotifyIconW() retval=00000001 ret=1400018f9
0020:0024:Call user32.MessageBoxW(00000000,14000a110 L"Probe says hello.",14000a100 L"Probe",00000040) ret=140001926
0020:0024:Call window proc 00000001400015B1 (hwnd=0000000000030046,msg=WM_MOUSEMOVE,wp=00000000,lp=001f004d)
0020:0024:Call user32.GetCursorPos(0021f000) ret=140001500
0020:0024:Ret  user32.GetCursorPos() retval=00000001 ret=140001500
0020:0024:Ret  window proc 00000001400015B1 (hwnd=0000000000030046,msg=WM_MOUSEMOVE,wp=00000000,lp=001f004d) retval=00000000
0020:0024:Ret  user32.MessageBoxW() retval=00000001 ret=140001926
0020:0024:Call window proc 00000001400015B1 (hwnd=0000000000030046,msg=WM_MOUSEMOVE,wp=00000001,lp=00000201)
0020:0024:Call window proc 00000001400015B1 (hwnd=0000000000030046,msg=WM_MOUSEMOVE,wp=00000001,lp=00000204)
0020:0024:Call shell32.Shell_NotifyIconW(00000002,14000d040) ret=140001675
0030:0048:Ret  user32.CopyIcon() retval=000200aa ret=7b000010
"""


class RelayLogTest(unittest.TestCase):
    def setUp(self):
        self.log = RelayLog(SAMPLE)

    def test_calls_in_order_with_returns(self):
        got = [(c.name, [a.value for a in c.args], c.retval)
               for c in self.log.calls(pid=0x20)]
        self.assertEqual(got, [
            ("user32.GetCursor", [], 0),
            ("user32.CopyIcon", [0x10048], 0x2004E),
            ("user32.SetSystemCursor", [0x2004E, 0x7F00], 1),
            ("user32.LoadCursorFromFileW", [0x14000A020], 0),
            ("shell32.Shell_NotifyIconW", [0, 0x14000D040], 1),
            ("user32.MessageBoxW", [0, 0x14000A110, 0x14000A100, 0x40], 1),
            ("user32.GetCursorPos", [0x21F000], 1),
            ("shell32.Shell_NotifyIconW", [2, 0x14000D040], None),
        ])

    def test_fields_of_one_call(self):
        c = self.log.calls("user32.CopyIcon", pid=0x20)[0]
        self.assertEqual((c.pid, c.tid, c.dll, c.func, c.ret_addr),
                         (0x20, 0x24, "user32", "CopyIcon", 0x140001730))

    def test_ret_pairs_by_thread(self):
        # Two threads call CopyIcon with interleaved lines; each Ret must
        # land on its own thread's call.
        copies = {c.tid: c.retval for c in self.log.calls("user32.CopyIcon")}
        self.assertEqual(copies, {0x24: 0x2004E, 0x48: 0x200AA})

    def test_nested_call_inside_message_box(self):
        box = self.log.calls("user32.MessageBoxW")[0]
        inner = self.log.calls("user32.GetCursorPos")[0]
        self.assertEqual((box.depth, inner.depth), (0, 1))
        self.assertTrue(box.returned and inner.returned)

    def test_call_without_ret_stays_open(self):
        last = self.log.calls("shell32.Shell_NotifyIconW")[-1]
        self.assertFalse(last.returned)
        self.assertIsNone(last.retval)

    def test_string_args(self):
        box = self.log.calls("user32.MessageBoxW")[0]
        self.assertEqual([a.string for a in box.args],
                         [None, "Probe says hello.", "Probe", None])
        load = self.log.calls("user32.LoadCursorFromFileW")[0]
        self.assertEqual(load.args[0].string, r"C:\windows\missing.cur")

    def test_name_lookup_ignores_dll_case(self):
        self.assertEqual(len(self.log.calls("USER32.CopyIcon")), 2)

    def test_pids_of_exe(self):
        self.assertEqual(self.log.pids_of("probe.exe"), {0x20})
        self.assertEqual(self.log.pids_of("other.exe"), set())

    def test_tray_callbacks_skip_real_mouse_moves(self):
        self.assertEqual(self.log.tray_callbacks(),
                         [(1, 0x201), (1, 0x204)])

    def test_ret_without_call_is_reported(self):
        log = RelayLog("0024:Ret  user32.CopyIcon() retval=00000001 ret=1\n")
        self.assertEqual(log.calls(), [])
        self.assertEqual(log.unpaired_rets, [(0, 0x24, "user32.CopyIcon")])

    def test_recursive_same_name_pairs_innermost(self):
        log = RelayLog(
            "0024:Call user32.MessageBoxW(0,0,0,0) ret=10\n"
            "0024:Call user32.MessageBoxW(0,0,0,1) ret=20\n"
            "0024:Ret  user32.MessageBoxW() retval=00000002 ret=20\n"
            "0024:Ret  user32.MessageBoxW() retval=00000001 ret=10\n")
        self.assertEqual([(c.args[3].value, c.retval) for c in log.calls()],
                         [(0, 1), (1, 2)])

    def test_timestamped_lines(self):
        log = RelayLog(
            '1395.700:0020:0024:trace:loaddll:build_module Loaded '
            'L"Z:\\\\t\\\\Tarnwick.exe" at 0000000140000000: native\n'
            '1395.822:0020:0024:Call user32.GetCursor() ret=14000363a\n'
            '1395.823:0020:0024:Ret  user32.GetCursor() retval=000100b4 '
            'ret=14000363a\n'
            '  12.005:0020:0024:Call user32.CopyIcon(000100b4) ret=1\n')
        self.assertEqual([(c.func, c.pid, c.time) for c in log.calls()],
                         [("GetCursor", 0x20, 1395.822),
                          ("CopyIcon", 0x20, 12.005)])
        self.assertEqual(log.calls()[0].retval, 0x100B4)
        self.assertEqual(log.pids_of("tarnwick.exe"), {0x20})
        self.assertIsNone(self.log.calls()[0].time)

    def test_lines_without_pid_prefix(self):
        log = RelayLog("0024:Call user32.GetCursor() ret=14000171b\n"
                       "0024:Ret  user32.GetCursor() retval=0001002a "
                       "ret=14000171b\n")
        c = log.calls()[0]
        self.assertEqual((c.pid, c.tid, c.retval), (None, 0x24, 0x1002A))


class SubsequenceTest(unittest.TestCase):
    def test_table(self):
        seen = ["a", "b", "c", "b"]
        cases = [(["a", "c"], True), (["c", "b"], True), ([], True),
                 (["c", "a"], False), (["b", "b", "b"], False),
                 (["d"], False)]
        for wanted, want in cases:
            with self.subTest(wanted=wanted):
                self.assertIs(winehost.is_subsequence(wanted, seen), want)


class WindowsPathTest(unittest.TestCase):
    def test_table(self):
        for linux, want in [("/work/res/hand.cur", r"Z:\work\res\hand.cur"),
                            ("/", "Z:\\"), ("/a b/c", r"Z:\a b\c")]:
            with self.subTest(linux=linux):
                self.assertEqual(winehost.windows_path(linux), want)


USER_REG = """WINE REGISTRY Version 2
;; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000

[Software\\\\Wine\\\\Debug] 1796741542
#time=1dd8723bb3c351c
"RelayExclude"="ntdll.RtlEnterCriticalSection"
"RelayFromExclude"="winex11.drv;user32"

[Software\\\\Wine\\\\DllOverrides] 1796741537
#time=1dd8723b872226a
"x"="y"
"""


class PrefixFilesTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.tmp)

    def test_debug_values_replace_old_and_keep_neighbours(self):
        with open(os.path.join(self.tmp, "user.reg"), "w") as f:
            f.write(USER_REG)
        winehost.set_user_reg_values(self.tmp, r"Software\Wine\Debug", {
            "RelayInclude": "user32.CopyIcon;shell32.Shell_NotifyIconW",
            "RelayFromExclude": "user32;a\"b\\c"})
        with open(os.path.join(self.tmp, "user.reg")) as f:
            text = f.read()
        section = text.split("[Software\\\\Wine\\\\Debug]")[1].split("\n\n")[0]
        self.assertIn('"RelayExclude"="ntdll.RtlEnterCriticalSection"',
                      section)
        self.assertIn('"RelayInclude"="user32.CopyIcon;'
                      'shell32.Shell_NotifyIconW"', section)
        self.assertIn('"RelayFromExclude"="user32;a\\"b\\\\c"', section)
        self.assertNotIn("winex11.drv", section)
        self.assertIn('[Software\\\\Wine\\\\DllOverrides] 1796741537\n'
                      '#time=1dd8723b872226a\n"x"="y"', text)

    def test_missing_section_is_added(self):
        with open(os.path.join(self.tmp, "user.reg"), "w") as f:
            f.write(USER_REG.replace("Debug", "Elsewhere"))
        winehost.set_user_reg_values(self.tmp, r"Software\Wine\Debug",
                                     {"RelayInclude": "user32.GetCursor"})
        with open(os.path.join(self.tmp, "user.reg")) as f:
            text = f.read()
        self.assertIn('[Software\\\\Wine\\\\Debug] 0\n'
                      '"RelayInclude"="user32.GetCursor"', text)

    def test_clone_links_binaries_and_copies_the_rest(self):
        tpl = os.path.join(self.tmp, "tpl")
        sys32 = os.path.join(tpl, "drive_c", "windows", "system32")
        os.makedirs(sys32)
        os.makedirs(os.path.join(tpl, "drive_c", "users"))
        os.makedirs(os.path.join(tpl, "dosdevices"))
        files = {"user.reg": "reg", "drive_c/windows/system32/user32.dll": "pe",
                 "drive_c/windows/system32/drivers.ini": "ini",
                 "drive_c/windows/win.ini": "w",
                 "drive_c/users/setup.exe": "copied, outside C:\\windows"}
        for rel, body in files.items():
            with open(os.path.join(tpl, rel), "w") as f:
                f.write(body)
        os.symlink("../drive_c", os.path.join(tpl, "dosdevices", "c:"))
        dest = winehost.clone_prefix(tpl, os.path.join(self.tmp, "copy"))

        def same_inode(rel):
            return os.stat(os.path.join(tpl, rel)).st_ino == \
                os.stat(os.path.join(dest, rel)).st_ino
        table = [("drive_c/windows/system32/user32.dll", True),
                 ("drive_c/windows/system32/drivers.ini", False),
                 ("drive_c/windows/win.ini", False),
                 ("drive_c/users/setup.exe", False), ("user.reg", False)]
        for rel, linked in table:
            with self.subTest(rel=rel):
                self.assertIs(same_inode(rel), linked)
        self.assertEqual(os.readlink(os.path.join(dest, "dosdevices", "c:")),
                         "../drive_c")
        with open(os.path.join(dest, "user.reg"), "w") as f:
            f.write("changed")
        with open(os.path.join(tpl, "user.reg")) as f:
            self.assertEqual(f.read(), "reg")


def probe_exe():
    """The probe, built here if run.sh has not built it already."""
    exe = os.environ.get("TARNWICK_PROBE_EXE") or \
        os.path.join(HERE, "build", "probe.exe")
    if not os.path.exists(exe) and shutil.which("x86_64-w64-mingw32-gcc"):
        os.makedirs(os.path.dirname(exe), exist_ok=True)
        subprocess.run(["x86_64-w64-mingw32-gcc", "-O1", "-municode",
                        "-static", "-o", exe,
                        os.path.join(HERE, "probe", "probe.c"),
                        "-luser32", "-lshell32"], check=True, timeout=120)
    return exe if os.path.exists(exe) else None


MISSING = winehost.missing_tools()


@unittest.skipIf(MISSING, "Wine end-to-end test needs: %s" % ", ".join(MISSING))
class ProbeUnderWineTest(unittest.TestCase):
    """One run of the probe, shared by the assertions below."""

    @classmethod
    def setUpClass(cls):
        exe = probe_exe()
        if not exe:
            raise unittest.SkipTest("probe.exe missing and no mingw to build it")
        cls.hand = os.path.join(REPO, "res", "hand.cur")
        cls.host = winehost.WineHost()
        cls.host.__enter__()
        try:
            cls._drive(exe)
        except BaseException:
            cls.host.close()
            raise

    @classmethod
    def _drive(cls, exe):
        h = cls.host
        t0 = time.monotonic()
        args = ["30"] + ([winehost.windows_path(cls.hand)] if os.path.exists(cls.hand) else [])
        h.start(exe, *args)
        cls.box = h.wait_window(name="Probe", pid=h.proc.pid, timeout=30)
        cls.shot = h.screenshot(os.path.join(h.tmp, "box.png"))
        h.dismiss_message_box("Probe")
        cls.tray_pos = h.tray_icon_position()
        cls.events = {}
        for label, button, repeat, expect in [
                ("left", 1, 1, "msg=0x202"), ("right", 3, 1, "msg=0x205"),
                ("double", 1, 2, "msg=0x203")]:
            before = len(cls._tray_lines())
            h.click_tray_icon(button=button, repeat=repeat)
            winehost.wait_until(
                lambda: any(expect in l for l in cls._tray_lines()[before:]),
                10, what=label + " click on the tray icon")
            time.sleep(0.3)                  # let the trailing button-up in
            cls.events[label] = cls._tray_lines()[before:]
        h.click_tray_icon(button=2)          # the probe quits on middle-up
        cls.exit_code = h.wait_exit(timeout=15)
        cls.seconds = time.monotonic() - t0
        cls.log = h.relay()
        cls.pids = cls.log.pids_of("probe.exe")
        cls.calls = cls.log.calls(pids=cls.pids)

    @classmethod
    def _tray_lines(cls):
        return [l for l in cls.host.stdout().splitlines()
                if l.startswith("tray ")]

    @classmethod
    def tearDownClass(cls):
        cls.host.close()

    def test_relay_shows_calls_in_program_order(self):
        self.assertTrue(winehost.is_subsequence([
            "user32.GetCursor", "user32.CopyIcon", "user32.SetSystemCursor",
            "user32.CopyIcon", "user32.DestroyIcon",
            "user32.LoadCursorFromFileW", "user32.GetCursorPos",
            "user32.SetCursorPos", "user32.SystemParametersInfoW",
            "shell32.Shell_NotifyIconW", "user32.MessageBoxW",
            "shell32.Shell_NotifyIconW"], [c.name for c in self.calls]),
            self.calls)

    def test_only_the_probe_process_is_counted(self):
        self.assertEqual(len(self.pids), 1)
        self.assertEqual(len({c.tid for c in self.calls}), 1)

    def test_system_cursor_gets_the_copy(self):
        copy = self.log.calls("user32.CopyIcon", pids=self.pids)[0]
        swap = self.log.calls("user32.SetSystemCursor", pids=self.pids)[0]
        self.assertEqual([a.value for a in swap.args], [copy.retval, 32512])
        self.assertEqual(swap.retval, 1)      # Wine 8.0: stub, says TRUE

    def test_spi_setcursors_fails_on_wine(self):
        spi = self.log.calls("user32.SystemParametersInfoW", pids=self.pids)
        self.assertEqual([(c.args[0].value, c.retval) for c in spi],
                         [(0x57, 0)])

    def test_tray_icon_added_then_deleted(self):
        notes = self.log.calls("shell32.Shell_NotifyIconW", pids=self.pids)
        self.assertEqual([c.args[0].value for c in notes], [0, 2])
        self.assertEqual(notes[0].retval, 1)
        # uID 1 comes back as wParam of every callback.
        self.assertEqual({wp for wp, _ in self.log.tray_callbacks()}, {1})

    def test_message_box_text_and_answer(self):
        box = self.log.calls("user32.MessageBoxW", pids=self.pids)[0]
        self.assertEqual((box.args[1].string, box.args[2].string, box.retval),
                         ("Probe says hello.", "Probe", 1))     # IDOK
        self.assertGreater(self.box.width, 50)
        self.assertGreater(os.path.getsize(self.shot), 1000)

    def test_tray_clicks_reach_the_callback(self):
        def msgs(label):
            return [int(l.split("msg=")[1], 16) for l in self.events[label]
                    if "id=1 " in l]
        self.assertTrue(winehost.is_subsequence([0x201, 0x202],
                                                msgs("left")), self.events)
        self.assertTrue(winehost.is_subsequence([0x204, 0x205],
                                                msgs("right")), self.events)
        self.assertTrue(winehost.is_subsequence([0x201, 0x202, 0x203],
                                                msgs("double")), self.events)
        relayed = [m for _, m in self.log.tray_callbacks()]
        self.assertTrue(winehost.is_subsequence(
            [0x201, 0x202, 0x204, 0x205, 0x203, 0x207], relayed), relayed)

    def test_own_hand_cursor_loads(self):
        if not os.path.exists(self.hand):
            self.skipTest("res/hand.cur not drawn yet")
        load = self.log.calls("user32.LoadCursorFromFileW", pids=self.pids)[0]
        self.assertTrue(load.args[0].string.endswith("\\res\\hand.cur"))
        self.assertNotEqual(load.retval, 0)

    def test_clean_exit_and_timing(self):
        self.assertEqual(self.exit_code, 0)
        self.assertIn("exit", self.host.stdout().splitlines())
        print("\n  probe run %.1fs, prefix clone %.3fs" % (
            self.seconds, self.host.timings["clone"]), file=sys.stderr)


@unittest.skipIf(MISSING, "Wine end-to-end test needs: %s" % ", ".join(MISSING))
class ProbeKilledTest(unittest.TestCase):
    def test_kill_leaves_call_open_and_icon_until_touched(self):
        exe = probe_exe()
        if not exe:
            self.skipTest("probe.exe missing and no mingw to build it")
        with winehost.WineHost() as h:
            h.start(exe, "30")
            h.wait_window(name="Probe", pid=h.proc.pid, timeout=30)
            self.assertEqual(h.kill(), -9)
            self.assertFalse(h.running())
            box = h.program_calls("user32.MessageBoxW")
            self.assertEqual([c.returned for c in box], [False])
            # The dead program never deleted its icon; Wine's tray drops it
            # only when someone touches it.
            h.tray_window(timeout=5)
            h.click_tray_icon(button=3)
            h.wait_no_window(name=h.TRAY_TITLE, timeout=10)


if __name__ == "__main__":
    unittest.main()
