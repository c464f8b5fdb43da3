"""Checks that res/draw.sh produced files Windows will accept.

The resource compiler and LoadImage are picky about headers, and a wrong
hotspot is invisible until someone clicks a link a few pixels off, so the
files are read back here byte by byte.
"""

import os
import runpy
import struct
import unittest

from harness import tarnwick_folder as tf

RES, ICON_SIZES = tf.RES, tf.ICON_SIZES
# draw.sh's packer is a script beside the artwork, not a package: its
# functions are taken from running its file.
dib_entry = runpy.run_path(os.path.join(RES, "pack.py"))["dib_entry"]
PNG = b"\x89PNG\r\n\x1a\n"  # how a PNG file starts


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


# The banner drawn for each scaling, at the size of its place in the window.
BANNERS = {100: (270, 75), 125: (337, 93), 150: (405, 112), 175: (472, 131),
           200: (540, 150)}


class ArtworkFilesTest(unittest.TestCase):
    def test_icon_has_every_size(self):
        kind, ents = entries(read("tarnwick.ico"))
        self.assertEqual(kind, 1)
        self.assertEqual([(w, h, f1, f2) for w, h, f1, f2, _ in ents],
                         [(s, s, 1, 32) for s in ICON_SIZES])
        for w, h, _, _, blob in ents:
            with self.subTest(size=w):
                if w == 256:
                    self.assertEqual(blob[:8], PNG)
                    continue
                hsize, dw, dh, planes, bits = struct.unpack_from(
                    "<IiiHH", blob)
                self.assertEqual((hsize, dw, dh, planes, bits),
                                 (40, w, 2 * h, 1, 32))

    def test_icon_corners_clear_centre_solid(self):
        _, ents = entries(read("tarnwick.ico"))
        for w, _, _, _, blob in ents[:-1]:
            with self.subTest(size=w):
                self.assertTrue(pixel(blob, w, 0, 0)[4])
                self.assertTrue(pixel(blob, w, w - 1, w - 1)[4])
                self.assertFalse(pixel(blob, w, w // 2, w // 2)[4])
        # Rim is red, between rim and mouse is yellow (32x32 entry).
        blob = ents[ICON_SIZES.index(32)][4]
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

    def test_banners_are_rgb_pngs_of_their_places_size(self):
        for percent, size in BANNERS.items():
            with self.subTest(percent=percent):
                data = read("banner-%d.png" % percent)
                self.assertEqual(data[:8], PNG)
                w, h, depth, colour = struct.unpack_from(">IIBB", data, 16)
                self.assertEqual((w, h, depth, colour), size + (8, 2))

                rgb = tf.res_picture("banner-%d.png" % percent)
                self.assertEqual(rgb[1, 1], (192, 64, 0))          # frame
                r, g, b = rgb[w * 150 // 270, h * 8 // 75]         # peach field
                self.assertTrue(r == 255 and 190 < g < 230 and 130 < b < 200,
                                (r, g, b))


if __name__ == "__main__":
    unittest.main()
