"""Checks that res/draw.sh produced files Windows will accept.

The resource compiler and LoadImage are picky about headers, and a wrong
hotspot is invisible until someone clicks a link a few pixels off, so the
files are read back here byte by byte.
"""

import os
import runpy
import struct
import unittest

from harness import REPO

RES = os.path.join(REPO, "res")
# draw.sh's packer is a script beside the artwork, not a package: its
# functions are taken from running its file.
dib_entry = runpy.run_path(os.path.join(RES, "pack.py"))["dib_entry"]


def read(name):
    with open(os.path.join(RES, name), "rb") as f:
        return f.read()


def entries(data):
    """(type, [(w, h, field1, field2, blob)]) of an .ico/.cur file."""
    _, kind, count = struct.unpack_from("<HHH", data)
    out = []
    for i in range(count):
        w, h, _, _, f1, f2, size, off = struct.unpack_from(
            "<BBBBHHII", data, 6 + 16 * i)
        out.append((w or 256, h or 256, f1, f2, data[off:off + size]))
    return kind, out


def pixel(blob, size, x, y):
    """(b, g, r, a, masked) at top-down (x, y) of a 32-bit DIB entry."""
    row = size - 1 - y
    b, g, r, a = blob[40 + (row * size + x) * 4:40 + (row * size + x) * 4 + 4]
    stride = ((size + 31) // 32) * 4
    mask = blob[40 + size * size * 4 + row * stride + x // 8]
    return b, g, r, a, bool(mask & (0x80 >> (x % 8)))


class PackTest(unittest.TestCase):
    def test_mask_follows_alpha_threshold(self):
        # Two pixels either side of the 128 cut, rest transparent.
        rgba = bytearray(32 * 32 * 4)
        rgba[0:4] = bytes((10, 20, 30, 127))
        rgba[4:8] = bytes((10, 20, 30, 128))
        blob = dib_entry(bytes(rgba), 32)
        self.assertEqual(pixel(blob, 32, 0, 0), (30, 20, 10, 127, True))
        self.assertEqual(pixel(blob, 32, 1, 0), (30, 20, 10, 128, False))
        self.assertTrue(pixel(blob, 32, 31, 31)[4])

    def test_wrong_size_rejected(self):
        with self.assertRaises(ValueError):
            dib_entry(bytes(16 * 16 * 4), 32)


class ArtworkFilesTest(unittest.TestCase):
    def test_icon_has_32_and_16(self):
        kind, ents = entries(read("tarnwick.ico"))
        self.assertEqual(kind, 1)
        self.assertEqual([(w, h, f1, f2) for w, h, f1, f2, _ in ents],
                         [(32, 32, 1, 32), (16, 16, 1, 32)])
        for w, h, _, _, blob in ents:
            with self.subTest(size=w):
                hsize, dw, dh, planes, bits = struct.unpack_from(
                    "<IiiHH", blob)
                self.assertEqual((hsize, dw, dh, planes, bits),
                                 (40, w, 2 * h, 1, 32))

    def test_icon_corners_clear_centre_solid(self):
        _, ents = entries(read("tarnwick.ico"))
        for w, _, _, _, blob in ents:
            with self.subTest(size=w):
                self.assertTrue(pixel(blob, w, 0, 0)[4])
                self.assertTrue(pixel(blob, w, w - 1, w - 1)[4])
                self.assertFalse(pixel(blob, w, w // 2, w // 2)[4])
        # Rim is red, between rim and mouse is yellow (32x32 entry).
        blob = ents[0][4]
        b, g, r, _, _ = pixel(blob, 32, 16, 1)
        self.assertTrue(r > 150 and g < 80 and b < 80, (r, g, b))
        b, g, r, _, _ = pixel(blob, 32, 5, 16)
        self.assertTrue(r > 200 and g > 170 and b < 100, (r, g, b))

    def test_hand_cursor_hotspot_on_fingertip(self):
        kind, ents = entries(read("hand.cur"))
        self.assertEqual(kind, 2)
        (w, h, hx, hy, blob), = ents
        self.assertEqual((w, h, hx, hy), (32, 32, 13, 3))
        # The hotspot is on the drawn tip; a pixel above it is empty,
        # one below is inside the finger.
        self.assertFalse(pixel(blob, 32, 13, 3)[4])
        self.assertTrue(pixel(blob, 32, 13, 1)[4])
        self.assertFalse(pixel(blob, 32, 13, 6)[4])
        self.assertTrue(pixel(blob, 32, 2, 2)[4])

    def test_banner_is_plain_24_bit(self):
        data = read("banner.bmp")
        self.assertEqual(data[:2], b"BM")
        off, = struct.unpack_from("<I", data, 10)
        hsize, w, h, planes, bits, comp = struct.unpack_from(
            "<IiiHHI", data, 14)
        self.assertEqual((hsize, w, h, planes, bits, comp),
                         (40, 270, 75, 1, 24, 0))
        stride = (270 * 3 + 3) & ~3
        self.assertEqual(len(data), off + stride * 75)

        def rgb(x, y):
            p = off + (74 - y) * stride + x * 3
            return tuple(reversed(data[p:p + 3]))
        self.assertEqual(rgb(1, 1), (192, 64, 0))          # frame
        r, g, b = rgb(150, 8)                                # peach field
        self.assertTrue(r == 255 and 190 < g < 230 and 130 < b < 200,
                        (r, g, b))


if __name__ == "__main__":
    unittest.main()
