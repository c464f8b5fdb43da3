"""The helpers the live Tarnwick tests lean on; these run without Wine."""

import os
import struct
import tempfile
import unittest

from harness import tarnwick_folder as tf
from harness import winehost
from harness.tarnwick_case import (AMBER, BLUE, BUSY, COLOURS, GREEN, MISSING,  # noqa: F401
                                   RELAY, TarnwickCase)
from harness.tarnwick_folder import (OCR_APPSTARTING, OCR_NORMAL, OCR_WAIT,  # noqa: F401
                                     NIM_ADD, NIM_DELETE, SPI_SETCURSORS, TITLE)


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
0024:Call user32.LoadCursorW(00000000,00007f00) ret=1
0024:Ret  user32.LoadCursorW() retval=000100b4 ret=1
0024:Call user32.CopyImage(000100b4,00000002,00000000,00000000,00000000) ret=2
0024:Ret  user32.CopyImage() retval=000100b6 ret=2
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
        self.assertEqual([c[:2] + c[3:] for c in tf.captures(self.calls)],
                         [(0x100B4, 0x100B6, OCR_NORMAL)])

    def test_set_loads_come_in_sixteens(self):
        line = ('0024:Call user32.LoadImageW(0,1 L"Z:\\t\\mw.tmp",2,%x,%x,10)'
                ' ret=1\n0024:Ret  user32.LoadImageW() '
                'retval=00010001 ret=1\n')
        pointer, picture = line % (48, 48), line % (0, 0)
        for count, loads in [(16, 1), (32, 2), (0, 0)]:
            with self.subTest(count=count):
                calls = winehost.RelayLog(picture + pointer * count).calls()
                self.assertEqual(len(tf.set_loads(calls)), loads)
                self.assertEqual({tf.pointer_side(c) for c in
                                  tf.pointer_loads(calls)}, {48} if count else set())
        line = pointer
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


if __name__ == "__main__":
    unittest.main()
