"""The release archive unpacked the way a user would, into a fresh prefix:
into a folder the user can write (a stick), which then keeps everything,
and into C:\\Program Files, which the user cannot write: the settings and the
scratch file then live in %LOCALAPPDATA%\\Tarnwick, and the user's own
sets in its Sets folder; and at 100, 150 and 200 % display scaling, where
its bundled set rotates with pointers made of its large pictures at the
size Windows draws pointers.  The archive is test_release's.
"""

import os
import struct
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
        self.assertEqual({c.args[1].string.lower()[2:] for c in loads},
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
    """The pointer the program installs, read back inside it (nudge's
    shim.dll), is the large picture scaled by the program's own code (the
    archive's twcmake explode writes each direction's pointer file at every
    size) to the byte, so it is not the 32 x 32 slice stretched."""

    dpi = 96
    screen = "1600x1200x24"

    def test_the_bundled_set_rotates_at_the_size_windows_draws_pointers(self):
        self.each_row([(96, 32), (144, 48), (192, 64)], self.rotate_and_exit,
                      dpi=lambda dpi, side: dpi)

    def rotate_and_exit(self, dpi, side):
        folder = self.unpack(self.host.tmp, "Tarnwick")
        with open(os.path.join(folder, tf.INI), "wb") as f:
            f.write(tf.settings_text(normal=1, set_file="Dart.TWC"))
        dump, parts = (os.path.join(self.host.tmp, n) for n in ("dump", "parts"))
        self.start(os.path.join(folder, "Tarnwick.exe"), extra_env={
            "TARNWICK_POINTER_DUMP": winehost.windows_path(dump)})
        self.assertEqual(self.host.nudge("shim", "Tarnwick.exe")[0], 0)
        x, y = self.main.x + 40, self.main.y + 100
        self.click(tf.OK_LABEL)
        self.wait_installs(2)
        # Straight to the right, then still: direction 4.
        self.host.mouse_path([(x + 8 * i, y) for i in range(25)], step_delay=0.03)
        self.wait_installs(5)
        with open(dump, "rb") as f:
            shown = f.read()
        self.assertEqual(struct.unpack("<2I", shown[:8]), (side, side))
        self.assertEqual({tf.pointer_side(c) for c in tf.pointer_loads(self.calls())}, {side})
        paths = (os.path.join(folder, "Dart.TWC"), parts)
        self.host.run_other(os.path.join(folder, "twcmake.exe"), "explode",
                            *map(winehost.windows_path, paths), relay=False)
        with open(os.path.join(parts, "Dart-04-large.cur"), "rb") as f:
            made = f.read()
        entries = [struct.unpack_from("<4B2H2I", made, 6 + 16 * i)
                   for i in range(struct.unpack_from("<H", made, 4)[0])]
        [(_, _, _, _, hot_x, hot_y, _, at)] = [e for e in entries if e[0] == side]
        rows = [made[at + 40 + r * side * 4:at + 40 + (r + 1) * side * 4] for r in range(side)]
        self.assertEqual(shown[8:], struct.pack("<2I", hot_x, hot_y) + b"".join(reversed(rows)))

        # Exit has Windows reload the user's scheme before any copy goes
        # back; Wine's reload fails, so the copy follows.
        self.show_by_tray()
        calls = self.exit_by(tf.EXIT_LABEL)
        last_install = tf.installs(calls)[-1].index
        reloads = [c for c in tf.calls_with(calls, "SystemParametersInfoW", tf.SPI_SETCURSORS)
                   if c.index > last_install]
        backs = [r for r in tf.restores(calls) if r[2] > last_install]
        self.assertEqual([(c.retval, r[0]) for c, r in zip(reloads, backs)], [(0, tf.OCR_NORMAL)])
        self.assertLess(reloads[0].index, backs[0][2])
