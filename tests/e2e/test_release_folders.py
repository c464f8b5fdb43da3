"""The release archive unpacked the way a user would, into a fresh prefix:
into a folder the user can write (a stick), which then keeps everything,
and into C:\\Program Files, which the user cannot write: the settings and the
scratch file then live in %LOCALAPPDATA%\\Tarnwick, and the user's own
sets in its Sets folder.  The archive is test_release's.
"""

import os
import zipfile

import test_release
from harness.tarnwick_case import BLUE, USER_SCRATCH, TarnwickCase, tf, winehost

BUNDLED = ("Classic.TWC", "Dart.TWC", "Round.TWC")


class ReleaseFoldersTest(TarnwickCase):
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
        loads = tf.calls_with(calls, "LoadCursorFromFileW")
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
