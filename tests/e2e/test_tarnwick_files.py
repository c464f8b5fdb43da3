"""Hostile files beside the program: slices whose bitmap has no pixels,
settings files that Exit must not replace, or must write in place, and a
program folder too deep for the cursor loader."""

import os
import pathlib
import struct

from harness.tarnwick_case import BLUE, USER_SCRATCH, TarnwickCase, tf, winehost

# (slice, field offset in the slice, value): bitmap headers that say the
# picture has no column or no row.  Wine's cursor loader divides by those
# sizes and takes the whole program down with it.
EMPTY = [(0, 26, 0), (2, 30, 1), (6, 30, 0), (12, 30, 0xFFFFFFFF)]
OLD_HEADER_WIDTH_0 = 9     # the 12-byte header, width 0
GOOD = [i for i in range(tf.SLICES)
        if i not in {s for s, _, _ in EMPTY} | {OLD_HEADER_WIDTH_0}]


def liar_set():
    slices = [bytearray(tf.cursor_slice(d, BLUE)) for d in range(tf.SLICES)]
    for i, at, value in EMPTY:
        struct.pack_into("<I", slices[i], at, value)
    struct.pack_into("<IHHHH", slices[OLD_HEADER_WIDTH_0], 22, 12, 0, 64, 1, 8)
    return b"".join(slices)


class EmptySliceTest(TarnwickCase):
    def test_a_set_with_empty_slices_starts_and_rotates_the_good_ones(self):
        self.folder.write("Liar.TWC", liar_set())
        self.folder.write_settings(normal=1, interval=20, set_file="Liar.TWC")
        self.host.start(self.folder.exe)
        # Slice 2, the preview, is no picture either: said once by each
        # routine that makes it, as for any preview that cannot be made (the
        # settings reader's for the window, the list's for the set's icon).
        boxes = self.answer_start_up_boxes()
        self.assertEqual([b.args[1].string for b in boxes],
                         ["LoadINI\nInvalid picture",
                          "ShowIcons\nLiar.TWC\nInvalid picture"])
        self.click(tf.OK_LABEL)
        self.wait_hidden()
        x0, y = self.main.x + 40, self.main.y + 300
        self.host.mouse_path([(x0 + 8 * i, y) for i in range(25)],
                             step_delay=0.03)
        calls = self.wait_installs(15)

        loads = tf.pointer_loads(calls)
        # Three loads (settings, list, OK), each asking only for the slices
        # that have pixels, and getting a pointer for each.
        self.assertEqual(len(loads), 3 * len(GOOD))
        handles = dict(zip(GOOD, (c.retval for c in loads[-len(GOOD):])))
        self.assertTrue(all(handles.values()), handles)
        shown = [i.source for i in tf.installs(calls)]
        self.assertTrue(set(shown) <= set(handles.values()))
        self.assertEqual(shown[-5:], [handles[4]] * 5)   # at rest: right
        self.show_by_tray()
        self.exit_by(tf.EXIT_LABEL)


class SettingsFileTest(TarnwickCase):
    # Written with lone LF line ends, which Exit would turn into CR LF.
    OLD = b"0\n1\n0\n9\n77\nBlue.TWC\n"
    NEW = b"0\r\n1\r\n0\r\n9\r\n77\r\nBlue.TWC\r\n"

    def test_exit_keeps_what_it_could_not_read_and_keeps_a_hard_link(self):
        # (how the file is, wrapper for Wine, the reason Exit gives for
        # keeping it, or None when it writes it).
        table = [
            ("no read permission", winehost.NO_DAC_OVERRIDE,
             "could not be read"),
            ("read-only", (), "read-only"),
            ("a second name", (), None),
        ]
        self.each_row(table, self.check_exit_with)

    def check_exit_with(self, how, wrapper, kept):
        self.add_sets("Blue")
        ini = self.folder.write(tf.INI, self.OLD)
        other = os.path.join(self.host.tmp, "persist.ini")
        if how == "a second name":
            os.link(ini, other)
        os.chmod(ini, {"no read permission": 0, "read-only": 0o444}
                 .get(how, 0o644))
        inode = os.stat(ini).st_ino
        self.host.start(self.folder.exe, wrapper=wrapper)
        self.answer_start_up_boxes(timeout=30)
        self.click(tf.EXIT_LABEL)
        if kept:
            text = self.answer_message_box().args[1].string
            self.assertTrue(text.startswith("SaveINI\n"), text)
            self.assertIn("was kept as it is", text)
            self.assertIn(kept, text)
        self.assertEqual(self.host.wait_exit(timeout=20), 0)
        self.assertEqual(self.folder.read(tf.INI),
                         self.OLD if kept else self.NEW)
        self.assertEqual(os.stat(ini).st_ino, inode)
        if how == "a second name":
            with open(other, "rb") as f:
                self.assertEqual(f.read(), self.NEW)


class LongPathTest(TarnwickCase):
    def test_a_folder_too_deep_for_the_cursor_loader_still_rotates(self):
        # The scratch file's path there would be over MAX_PATH, which the
        # system's cursor loader refuses: every pointer would be null.  It
        # goes to the per-user folder instead; the settings stay beside.
        # One long name, so the relay log still spells the exe's path whole.
        name = "d" * (256 - len(winehost.windows_path(self.host.tmp)) - 1)
        self.folder = tf.ProgramFolder(self.host.tmp, tf.tarnwick_exe(), name=name)
        scratch = winehost.windows_path(self.folder.file(tf.SCRATCH))
        self.assertGreaterEqual(len(scratch), 260)
        calls = self.start_rotating(busy=0)
        loads = tf.pointer_loads(calls)
        self.assertEqual(len(loads), 3 * tf.SLICES)
        self.assertTrue(all(c.retval for c in loads))
        self.assertEqual({c.args[1].string.lower() for c in loads},
                         {USER_SCRATCH})
        installed = {i.source for i in tf.installs(calls)}
        self.assertTrue(installed <= {c.retval for c in loads[-tf.SLICES:]})
        self.exit_by(tf.CLOSE_LABEL)
        self.assertEqual(self.folder.listing(),
                         sorted(self.folder.program_files()
                                + ["Blue.TWC", tf.INI]))
        self.assertEqual(os.listdir(self.user_local()), [])


class ScratchNameTest(TarnwickCase):
    def test_what_lies_under_the_scratch_files_name_is_left_as_it_is(self):
        # per_user: there, the program folder read-only; the run makes mw.tmp2.
        self.each_row([("second name", 0), ("link", 0), ("folder", 0),
                       ("second name", 1), ("link", 1)], self.check_scratch_beside)

    def check_scratch_beside(self, what, per_user):
        data = bytes(range(256)) * 20       # longer than an image
        document = pathlib.Path(self.host.tmp, "document.txt")
        document.write_bytes(data)
        self.add_sets("Blue")
        self.folder.write_settings(set_file="Blue.TWC")
        folder = self.user_local() if per_user else self.folder.path
        there = os.path.join(folder, tf.SCRATCH)
        if per_user:
            os.makedirs(folder)
            for name in self.folder.listing():
                os.chmod(self.folder.file(name), 0o444)
            os.chmod(self.folder.path, 0o555)
        {"second name": os.link, "link": os.symlink,
         "folder": lambda _, path: os.mkdir(path)}[what](document, there)
        self.host.start(self.folder.exe,
                        wrapper=winehost.NO_DAC_OVERRIDE * per_user)
        self.assertEqual(self.answer_start_up_boxes(timeout=30), [])
        calls = self.exit_by(tf.EXIT_LABEL)
        self.assertEqual(document.read_bytes(), data)
        self.assertEqual(os.path.islink(there), what == "link")
        self.assertTrue(os.path.isdir(there) if what == "folder"
                        else os.path.samefile(there, document))
        # Blue loaded twice through the run's own file, which Exit removed.
        loads = tf.pointer_loads(calls)
        self.assertEqual(len([c for c in loads if c.retval]), 2 * tf.SLICES)
        self.assertEqual({c.args[1].string.lower() for c in loads},
                         {USER_SCRATCH + "2" * per_user})
        self.assertEqual(tf.calls_with(calls, "SystemParametersInfoW",
                                       tf.SPI_SETCURSORS), [])
        self.assertEqual(sorted(os.listdir(self.user_local())),
                         [tf.INI, tf.SCRATCH] * per_user)
