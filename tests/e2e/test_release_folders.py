"""The release archive unpacked the way a user would, into a fresh prefix:
into a folder the user can write (a stick), which then keeps everything,
and into C:\\Program Files, which the user cannot write: the settings and the
scratch file then live in %LOCALAPPDATA%\\Tarnwick, and the user's own
sets in its Sets folder; and at 100, 150 and 200 % display scaling, where
its bundled set rotates with pointers made of its large pictures at the
size Windows draws pointers.  The archive is test_release's.
"""

import os
import re
import zipfile

import test_release
from harness.tarnwick_case import BLUE, USER_SCRATCH, TarnwickCase, tf, winehost

BUNDLED = ("Classic.TWC", "Dart.TWC", "Round.TWC")


class ReleaseCase(TarnwickCase):
    """A test of the release archive, unpacked into the test's prefix."""

    def setUp(self):
        self.archive = test_release.release_archive(self)
        super().setUp()
        self.drive = os.path.join(self.host.prefix, "drive_c")
        self.local = self.user_local()

    def unpack(self, *where):
        folder = os.path.join(*where)
        # Some of the prefix's user folders are links out of it (Downloads
        # is the Unix home): nothing may be unpacked outside the test's own.
        self.assertTrue(os.path.realpath(folder).startswith(
            os.path.realpath(self.host.tmp) + os.sep), folder)
        with zipfile.ZipFile(self.archive) as z:
            z.extractall(folder)
        return folder

    def start(self, exe, **kw):
        self.main = None
        self.host.start(exe, **kw)
        self.assertEqual(self.answer_start_up_boxes(timeout=30), [])


class ReleaseFoldersTest(ReleaseCase):
    def test_a_folder_the_user_can_write_keeps_everything(self):
        folder = self.unpack(self.host.tmp, "Stick", "Tarnwick")
        before = sorted(os.listdir(folder))
        self.start(os.path.join(folder, "Tarnwick.exe"))
        self.assertEqual(tf.opened(self.calls(), ".TWC"), list(BUNDLED))
        self.exit_by(tf.EXIT_LABEL)
        self.assertEqual(sorted(os.listdir(folder)),
                         sorted(before + [tf.INI]))
        self.assertFalse(os.path.exists(self.local))

    def test_program_files_that_the_user_cannot_write(self):
        folder = self.unpack(self.drive, "Program Files", "Tarnwick \u00c4")
        ini = tf.settings_text(normal=1, interval=20, set_file="Dart.TWC")
        with open(os.path.join(folder, tf.INI), "wb") as f:
            f.write(ini)                 # one an administrator put there
        for root, dirs, files in os.walk(folder):
            for name in files:
                os.chmod(os.path.join(root, name), 0o444)
            os.chmod(root, 0o555)
        before = sorted(os.listdir(folder))
        exe = os.path.join(folder, "Tarnwick.exe")

        # The settings beside the program are read; OK rotates Dart through
        # the per-user scratch file; Exit writes the settings there.
        self.start(exe, wrapper=winehost.NO_DAC_OVERRIDE)
        self.assertEqual(tf.opened(self.calls(), ".TWC"),
                         ["Dart.TWC"] + list(BUNDLED))
        self.click(tf.OK_LABEL)
        calls = self.wait_installs(3)
        loads = tf.pointer_loads(calls)
        self.assertTrue(loads and all(c.retval for c in loads))
        self.assertEqual({c.args[0].string.lower()[2:] for c in loads},
                         {USER_SCRATCH[2:]})
        self.show_by_tray()
        calls = self.exit_by(tf.EXIT_LABEL)
        self.assertGreater(tf.restores(calls)[-1][2],
                           tf.installs(calls)[-1].index)
        self.assertEqual(sorted(os.listdir(folder)), before)
        with open(os.path.join(self.local, tf.INI), "rb") as f:
            self.assertEqual(f.read(), ini)
        self.assertEqual(os.listdir(self.local), [tf.INI])

        # A set of the user's own is listed after the bundled ones and
        # rotates; then the program is killed, leaving its scratch file.
        os.mkdir(os.path.join(self.local, "Sets"))
        with open(os.path.join(self.local, "Sets", "Blue.TWC"), "wb") as f:
            f.write(tf.cursor_set(BLUE))
        self.start(exe, wrapper=winehost.NO_DAC_OVERRIDE)
        self.assertEqual(tf.opened(self.calls(), ".TWC"),
                         ["Dart.TWC"] + list(BUNDLED) + ["Blue.TWC"])
        icons = dict(self.wait_list_icons({"Blue": BLUE}, 1)[1])
        self.host.double_click(*icons["Blue"])
        self.wait_installs(2)
        self.host.kill_process()
        self.assertTrue(os.path.exists(os.path.join(self.local, tf.SCRATCH)))

        # The next start reloads the user's pointers before it copies any.
        self.start(exe, wrapper=winehost.NO_DAC_OVERRIDE)
        self.click(tf.OK_LABEL)
        calls = self.wait_installs(1)
        spi = tf.calls_with(calls, "SystemParametersInfoW", tf.SPI_SETCURSORS)
        self.assertEqual(len(spi), 1)
        self.assertLess(spi[0].index, tf.captures(calls)[0][2])
        self.show_by_tray()
        self.exit_by(tf.EXIT_LABEL)
        self.assertEqual(sorted(os.listdir(self.local)), ["Sets", tf.INI])
        self.assertEqual(sorted(os.listdir(folder)), before)


class SharpPointersTest(ReleaseCase):
    """The pointer the program really installs, read back inside it by
    pointer_shim.dll and compared by pointer_check.exe with the set's large
    picture and with its 32 x 32 slice, each scaled to the pointer's side by
    the program's own scaling."""

    dpi = 96
    screen = "1600x1200x24"
    SIDES = {96: 32, 144: 48, 192: 64}

    def test_the_bundled_set_rotates_at_the_size_windows_draws_pointers(self):
        check = tf.pointer_check_exe()
        if not os.path.isfile(check):
            self.fail("no %s: build it with `cmake --build --preset mingw`"
                      % check)
        for n, dpi in enumerate(sorted(self.SIDES)):
            with self.subTest(dpi=dpi):
                if n:
                    self.dpi = dpi
                    self.fresh_host()
                self.rotate_and_exit(check, self.SIDES[dpi])

    def rotate_and_exit(self, check, side):
        folder = self.unpack(self.host.tmp, "Tarnwick")
        with open(os.path.join(folder, tf.INI), "wb") as f:
            f.write(tf.settings_text(normal=1, interval=20,
                                     set_file="Dart.TWC"))
        dump = os.path.join(self.host.tmp, "pointer.dump")
        self.start(os.path.join(folder, "Tarnwick.exe"), extra_env={
            "TARNWICK_POINTER_DUMP": winehost.windows_path(dump)})
        code, out = self.host.nudge("shim", "Tarnwick.exe", "pointer_shim.dll")
        self.assertEqual(code, 0, out)
        x, y = self.main.x + 40, self.main.y + 100
        self.click(tf.OK_LABEL)
        self.wait_installs(2)
        # Straight to the right, then still: direction 4.
        self.host.mouse_path([(x + 8 * i, y) for i in range(25)],
                             step_delay=0.03)
        self.wait_installs(5)
        code, out = self.host.output(check, winehost.windows_path(dump),
                                     winehost.windows_path(
                                         os.path.join(folder, "Dart.TWC")))
        self.assertEqual(code, 0, out)
        seen = dict(re.findall(r"(\w+)=(\S+)", out))
        self.assertEqual(int(seen["side"]), side, out)
        self.assertEqual(int(seen["direction"]), 4, out)
        self.assertEqual(seen["hotspot"], seen["expected"], out)
        # The large picture scaled down, not the slice stretched: the first
        # is the same picture within rounding, the second far from it.
        self.assertLess(float(seen["companion"]), 1.0, out)
        self.assertGreater(float(seen["slice"]), 10 * float(seen["companion"]) + 5, out)
        loads = tf.pointer_loads(self.calls())
        self.assertEqual({tf.pointer_side(c) for c in loads}, {side})

        # Exit has Windows reload the user's scheme before any copy goes
        # back; Wine's reload fails, so the copies follow.
        self.show_by_tray()
        calls = self.exit_by(tf.EXIT_LABEL)
        last_install = tf.installs(calls)[-1].index
        reloads = [c for c in tf.calls_with(calls, "SystemParametersInfoW",
                                            tf.SPI_SETCURSORS)
                   if c.index > last_install]
        backs = [r for r in tf.restores(calls) if r[2] > last_install]
        self.assertEqual(len(reloads), 1)
        self.assertEqual(reloads[0].retval, 0)
        self.assertEqual([r[0] for r in backs], [tf.OCR_NORMAL])
        self.assertLess(reloads[0].index, backs[0][2])
