"""The real Tarnwick.exe under Wine with set names beyond ASCII: the
remembered name in Tarnwick.ini is code page 1252 text (Wine's ANSI code
page here), or UTF-8 behind a byte-order mark for a name 1252 cannot hold.

Names with a lone UTF-16 surrogate cannot be tried here: Wine refuses such
a name in CreateFileW (ERROR_FILE_NOT_FOUND) and lists a Unix name that is
not UTF-8 with U+FFFD in its place, so no program under Wine ever sees one.
The unit tests cover them.
"""

import unittest

from harness import tarnwick_folder as tf
from harness.tarnwick_case import AMBER, BLUE, GREEN, TarnwickCase

MARK = b"\xef\xbb\xbf"


def settings(line6):
    return b"0\r\n1\r\n1\r\n20\r\n100\r\n" + line6 + b"\r\n"


class NamesTest(TarnwickCase):
    def add(self, name, colour):
        # The Unix name is UTF-8, which Wine shows the program as UTF-16.
        self.folder.write(name + ".TWC",
                          tf.cursor_set(colour))

    def run_to_exit(self, loads):
        self.launch(loads=loads)
        self.main_window()
        return self.exit_by(tf.CLOSE_LABEL)

    def test_a_remembered_name_is_found_and_its_line_kept_byte_for_byte(self):
        rows = [("code page 1252", "\u00c4rger", b"\xc4rger.TWC"),
                ("marked Cyrillic", "\u0416\u0443\u043a",
                 MARK + "\u0416\u0443\u043a.TWC".encode("utf-8"))]
        for n, (what, name, line6) in enumerate(rows):
            with self.subTest(what):
                if n:
                    self.fresh_host()
                self.add(name, AMBER)
                self.add("Blue", BLUE)
                self.folder.write(tf.INI, settings(line6))
                calls = self.run_to_exit(loads=2)
                self.assertEqual(tf.opened(calls, ".TWC")[0], name + ".TWC")
                self.assertEqual(tf.calls_with(calls, "MessageBoxW"), [])
                self.assertEqual(self.folder.read(tf.INI), settings(line6))

    def test_a_chosen_name_the_code_page_cannot_hold_is_marked_and_found(self):
        # Wine's 1252 would write U+0100 as "A" if best fit were allowed,
        # naming another set, "Ada.TWC", which is here too.
        chosen = "\u0100da"
        self.add(chosen, GREEN)
        self.add("Ada", AMBER)
        self.add("Blue", BLUE)
        self.folder.write(tf.INI, settings(b"Blue.TWC"))
        self.launch(loads=2)
        self.main_window()
        icons = dict(self.wait_list_icons({"chosen": GREEN}, 1)[1])
        self.host.double_click(*icons["chosen"])
        self.wait_installs(1)
        self.exit_by(tf.CLOSE_LABEL)
        line6 = MARK + (chosen + ".TWC").encode("utf-8")
        self.assertEqual(self.folder.read(tf.INI), settings(line6))

        calls = self.run_to_exit(loads=2)
        self.assertEqual(tf.opened(calls, ".TWC")[0], chosen + ".TWC")
        self.assertEqual(self.folder.read(tf.INI), settings(line6))


if __name__ == "__main__":
    unittest.main()
