"""Wrap raw RGBA images into Windows .ico / .cur files.

    python3 pack.py ico OUT.ico  FILE.rgba:SIZE [FILE.rgba:SIZE ...]
    python3 pack.py cur OUT.cur  FILE.rgba:SIZE HOTSPOT_X HOTSPOT_Y

Input is what `convert x.png -depth 8 rgba:x.rgba` writes: top-down rows of
R,G,B,A bytes.  Each entry is stored as a classic 32-bit DIB with an AND
mask rather than as PNG, because LoadImage/LoadCursorFromFile on every
Windows version (and Wine) read that, and the mask keeps the shape right
where alpha is ignored.  A FILE.png is stored as it is, as the 256-pixel
image of an icon usually is (a DIB of that size would take 260 KB).
"""

import struct
import sys

PNG = b"\x89PNG\r\n\x1a\n"


def dib_entry(rgba, size):
    """BITMAPINFOHEADER + bottom-up BGRA pixels + 1-bit AND mask."""
    if len(rgba) != size * size * 4:
        raise ValueError("expected %d bytes for %dx%d, got %d"
                         % (size * size * 4, size, size, len(rgba)))
    rows = [rgba[y * size * 4:(y + 1) * size * 4] for y in range(size)]
    xor = bytearray()
    mask = bytearray()
    stride = ((size + 31) // 32) * 4
    for row in reversed(rows):                 # DIBs are stored bottom-up
        bits = bytearray(stride)
        for x in range(size):
            r, g, b, a = row[x * 4:x * 4 + 4]
            if a == 0:
                r = g = b = 0                  # keep the XOR part neutral
            xor += bytes((b, g, r, a))
            if a < 128:                        # 1 = screen shows through
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    # Height is doubled: the DIB holds the XOR image and the AND mask.
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    return header + bytes(xor) + bytes(mask)


def pack(kind, images, hotspot=(0, 0)):
    """kind 1 = icon, 2 = cursor; images = [(rgba bytes, size)]."""
    out_dir = struct.pack("<HHH", 0, kind, len(images))
    blobs = [data if data.startswith(PNG) else dib_entry(data, size)
             for data, size in images]
    offset = 6 + 16 * len(images)
    for (rgba, size), blob in zip(images, blobs):
        if kind == 1:
            planes_or_x, bits_or_y = 1, 32
        else:
            planes_or_x, bits_or_y = hotspot
        out_dir += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0,
                               planes_or_x, bits_or_y, len(blob), offset)
        offset += len(blob)
    return out_dir + b"".join(blobs)


def main(argv):
    kind, out, *rest = argv
    if kind == "ico":
        specs, hotspot = rest, (0, 0)
    elif kind == "cur":
        specs, hotspot = rest[:-2], (int(rest[-2]), int(rest[-1]))
    else:
        raise SystemExit("kind must be ico or cur")
    images = []
    for spec in specs:
        path, size = spec.rsplit(":", 1)
        with open(path, "rb") as f:
            images.append((f.read(), int(size)))
    with open(out, "wb") as f:
        f.write(pack(1 if kind == "ico" else 2, images, hotspot))


if __name__ == "__main__":
    main(sys.argv[1:])
