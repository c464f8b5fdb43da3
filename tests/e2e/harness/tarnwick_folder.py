"""Program folders for running the real Tarnwick.exe under Wine.

Tarnwick keeps everything beside its executable: the cursor sets (*.TWC),
Tarnwick.ini and the scratch file mw.tmp.  Each end-to-end test therefore
builds a folder of its own holding a copy of the exe, cursor sets made
here, and a settings file, and reads the folder back afterwards.

The cursor sets are real: every slice is a complete one-image 32x32
256-colour .cur file that LoadImageW accepts, drawn as an arrow
turned toward the slice's direction in the set's own colour, so each of
the sixteen slices of each set differs from every other.

Also here: small readers for the relay log of a Tarnwick run (which
pointer loads belong to one set load, what each tick
installed), so the tests can speak in those terms.
"""

import collections
import math
import os
import re
import shutil
import struct
import subprocess

from . import REPO

SLICE_SIZE = 2238
SLICES = 16
SET_SIZE = SLICE_SIZE * SLICES           # 35808

OCR_NORMAL = 0x7F00
OCR_APPSTARTING = 0x7F8A
OCR_WAIT = 0x7F02
SPI_SETCURSORS = 0x57
NIM_ADD, NIM_DELETE, NIM_SETVERSION = 0, 2, 4
MB_ICONEXCLAMATION = 0x30
MB_SETFOREGROUND, MB_TOPMOST = 0x10000, 0x40000

TITLE = "Tarnwick"
INI = "Tarnwick.ini"
SCRATCH = "mw.tmp"
WATCHER = "TarnwickWatch.exe"

RES = os.path.join(REPO, "res")  # the program's artwork
# The program icon's images in its file, in order (res/draw.sh): the small and
# large icons at 100 to 200 %, and 256.
ICON_SIZES = [16, 20, 24, 28, 32, 40, 48, 56, 64, 256]


def tarnwick_exe():
    """The exe under test: $TARNWICK_EXE, else the mingw build's output."""
    path = os.environ.get("TARNWICK_EXE") or \
        os.path.join(REPO, "build", "mingw", "Tarnwick.exe")
    return os.path.abspath(path)


def watcher_exe(exe=None):
    """The pointer watcher the build puts beside the exe under test."""
    return os.path.join(os.path.dirname(exe or tarnwick_exe()), WATCHER)


# --------------------------------------------------------------------------
# Cursor files

def _arrow_mask(direction):
    """32x32 booleans: an arrow from the centre toward ``direction``.

    Direction 0 points up and each step turns 22.5 degrees clockwise, the
    way the program numbers its sixteen images.
    """
    angle = math.radians(direction * 22.5)
    ux, uy = math.sin(angle), -math.cos(angle)      # screen y grows down
    cx = cy = 15.5
    rows = [[False] * 32 for _ in range(32)]
    for y in range(32):
        for x in range(32):
            px, py = x - cx, y - cy
            along = px * ux + py * uy                # toward the tip
            across = abs(px * -uy + py * ux)
            shaft = -12 <= along <= 4 and across <= 1.6
            head = 4 <= along <= 14 and across <= (14 - along) * 0.8
            rows[y][x] = shaft or head
    return rows


def arrow_pixels(direction):
    """32x32 rows, top first, of a slice's palette indexes: 0 clear, 1 the
    arrow's colour, 2 its black outline."""
    shape = _arrow_mask(direction)

    def edge(x, y):
        return any(not shape[yy][xx] for yy, xx in
                   ((y - 1, x), (y + 1, x), (y, x - 1), (y, x + 1))
                   if 0 <= yy < 32 and 0 <= xx < 32)
    return [[(2 if edge(x, y) else 1) if shape[y][x] else 0
             for x in range(32)] for y in range(32)]


def cursor_slice(direction, colour, hotspot=None):
    """One 2238-byte .cur file: 6-byte header, one 16-byte entry, a
    40-byte BITMAPINFOHEADER (height doubled for the mask), a 256-entry
    palette, 32x32 8-bit pixels (bottom-up) and a 1-bit AND mask.

    ``colour`` is (r, g, b) of the arrow; the palette also carries the
    direction in an otherwise unused entry, so no two slices are equal
    even where two arrows happen to rasterise alike.
    """
    if hotspot is None:
        hotspot = (16, 16)
    header = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", 32, 32, 0, 0, hotspot[0], hotspot[1],
                        SLICE_SIZE - 22, 22)
    info = struct.pack("<IiiHHIIiiII", 40, 32, 64, 1, 8, 0, 1024 + 128,
                       0, 0, 256, 0)
    palette = bytearray(1024)
    r, g, b = colour
    palette[4:8] = bytes((b, g, r, 0))               # index 1: the arrow
    palette[8:12] = bytes((0, 0, 0, 0))              # index 2: its outline
    palette[1020:1024] = bytes((direction, direction, direction, 0))
    shape = arrow_pixels(direction)
    pixels = bytearray(32 * 32)
    mask = bytearray(32 * 4)
    for row in range(32):
        y = 31 - row                                  # DIBs are bottom-up
        for x in range(32):
            pixels[row * 32 + x] = shape[y][x]
            if not shape[y][x]:
                mask[row * 4 + x // 8] |= 0x80 >> (x % 8)
    data = header + entry + info + bytes(palette) + bytes(pixels) + \
        bytes(mask)
    assert len(data) == SLICE_SIZE, len(data)
    return data


def cursor_set(colour):
    """The 35808 bytes of a .TWC file: sixteen slices, direction 0 first."""
    return b"".join(cursor_slice(d, colour) for d in range(SLICES))


def companion_pixel(colour, cell, x, y):
    """(r, g, b, a) at (x, y) of each cell of a companion made by
    ``companion_png``: the top half a one-pixel checkerboard of the set's
    colour and black, which no scaling leaves as it is; below, clear on the
    left and the colour half clear on the right."""
    if y < cell // 2:
        return tuple(colour) + (255,) if (x + y) % 2 == 0 else (0, 0, 0, 255)
    return (255, 255, 255, 0) if x < cell // 2 else tuple(colour) + (128,)


def companion_png(colour, cell):
    """A set's large pictures, NAME.png: 4 by 4 cells of ``cell`` pixels."""
    side = 4 * cell
    raw = bytes(v for y in range(side) for x in range(side)
                for v in companion_pixel(colour, cell, x % cell, y % cell))
    return subprocess.run(["convert", "-size", "%dx%d" % (side, side),
                           "-depth", "8", "rgba:-", "png:-"], input=raw,
                          stdout=subprocess.PIPE, check=True).stdout


def res_picture(name, opaque=False):
    """{(x, y): (r, g, b)} of a picture in res/ (ImageMagick's name: an
    icon's n-th image is ``file.ico[n]``); only its opaque pixels, with
    ``opaque``."""
    out = subprocess.run(["convert", os.path.join(RES, name), "-depth", "8",
                          "txt:-"], stdout=subprocess.PIPE, check=True,
                         text=True).stdout
    return {(int(x), int(y)): (int(r), int(g), int(b)) for x, y, r, g, b, a in
            re.findall(r"^(\d+),(\d+): \((\d+),(\d+),(\d+),?(\d*)", out, re.M)
            if not opaque or a == "255"}


def settings_text(auto=0, normal=1, busy=0, interval=20, slider=100,
                  set_file=""):
    """Tarnwick.ini as the program writes it: six lines, each CR LF."""
    lines = [str(auto), str(normal), str(busy), str(interval), str(slider),
             set_file]
    return "".join(l + "\r\n" for l in lines).encode("ascii")


# --------------------------------------------------------------------------
# The folder

class ProgramFolder:
    """A folder with a copy of Tarnwick.exe, the pointer watcher beside it
    (unless ``watcher`` is False, or the build made none), and whatever a
    test puts in."""

    def __init__(self, root, exe=None, watcher=True, name="Tarnwick"):
        self.path = os.path.join(root, name)
        os.makedirs(self.path, exist_ok=True)
        self.exe = os.path.join(self.path, "Tarnwick.exe")
        shutil.copy2(exe or tarnwick_exe(), self.exe)
        if watcher and os.path.isfile(watcher_exe(exe)):
            shutil.copy2(watcher_exe(exe), self.file(WATCHER))

    def program_files(self):
        """The files the build puts in the folder, as listed."""
        return sorted(n for n in ("Tarnwick.exe", WATCHER)
                      if self.exists(n))

    def file(self, name):
        return os.path.join(self.path, name)

    def write(self, name, data):
        with open(self.file(name), "wb") as f:
            f.write(data)
        return self.file(name)

    def read(self, name):
        with open(self.file(name), "rb") as f:
            return f.read()

    def exists(self, name):
        return os.path.exists(self.file(name))

    def add_set(self, name, colour, companion=None):
        """NAME.TWC, and with ``companion`` (a cell size) NAME.png beside it."""
        if companion:
            self.write(name + ".png", companion_png(colour, companion))
        return self.write(name + ".TWC", cursor_set(colour))

    def write_settings(self, **fields):
        return self.write(INI, settings_text(**fields))

    def listing(self):
        return sorted(os.listdir(self.path))


# --------------------------------------------------------------------------
# Reading a Tarnwick run from its relay log

IMAGE_CURSOR, LR_LOADFROMFILE = 2, 0x10


def pointer_loads(calls):
    """The pointers the program made of a file: LoadImageW(NULL, file,
    IMAGE_CURSOR, side, side, LR_LOADFROMFILE) with the side it asks for
    (the file is ``args[1]``).
    The window's pictures of the same file are loaded at their own size
    (side 0) and are left out."""
    return [c for c in calls if c.func == "LoadImageW" and len(c.args) == 6
            and c.args[2].value == IMAGE_CURSOR and c.args[3].value != 0]


def pointer_side(load):
    """The side a pointer load asked for."""
    return load.args[3].value


def set_loads(calls):
    """Pointer loads grouped into set loads of sixteen each.

    Every load of a set asks the platform for all sixteen slices in order,
    each through the scratch file, and a load that finds the wrong size
    makes no call at all, so the calls come in complete runs of sixteen.
    """
    loads = pointer_loads(calls)
    if len(loads) % SLICES:
        raise AssertionError("%d pointer loads is not a whole "
                             "number of set loads" % len(loads))
    return [loads[i:i + SLICES] for i in range(0, len(loads), SLICES)]


class Install(collections.namedtuple(
        "Install", "role source copy destroyed index")):
    """One SetSystemCursor of a fresh copy: ``source`` is the handle the
    CopyIcon right before it copied, ``destroyed`` whether a DestroyIcon
    of that copy came straight after, ``index`` the log line."""


def installs(calls):
    """Every install of a fresh copy, in order.

    Restores (SetSystemCursor of a handle that no CopyIcon made just
    before) are left out; see ``restores``.
    """
    out = []
    for i, c in enumerate(calls):
        if c.func != "SetSystemCursor" or i == 0:
            continue
        made = calls[i - 1]
        handle = c.args[0].value
        if made.func != "CopyIcon" or made.retval != handle:
            continue
        after = calls[i + 1] if i + 1 < len(calls) else None
        destroyed = after is not None and after.func == "DestroyIcon" and \
            after.args[0].value == handle
        out.append(Install(c.args[1].value, made.args[0].value, handle,
                           destroyed, c.index))
    return out


def restores(calls):
    """SetSystemCursor calls that hand back a saved copy: (role, handle,
    log line), in order."""
    fresh = {i.index for i in installs(calls)}
    return [(c.args[1].value, c.args[0].value, c.index) for c in calls
            if c.func == "SetSystemCursor" and c.index not in fresh]


def captures(calls):
    """The copies taken of a role's system pointer (CopyImage of what
    LoadCursorW just returned), as (shown handle, copy, log line, role), in
    order.  The window's own LoadCursorW calls, for the pointer shape it
    shows, are never copied."""
    out = []
    for prev, c in zip(calls, calls[1:]):
        if c.func == "CopyImage" and prev.func == "LoadCursorW" and \
                c.args[0].value == prev.retval:
            out.append((prev.retval, c.retval, c.index, prev.args[1].value))
    return out


def opened(calls, suffix=""):
    """Bare names of the files the program opened (msvcrt._wfopen must be
    relayed), in order, optionally only those ending in ``suffix``."""
    out = []
    for c in calls:
        if c.func == "_wfopen" and c.args and c.args[0].string:
            name = c.args[0].string.rsplit("\\", 1)[-1]
            if name.lower().endswith(suffix.lower()):
                out.append(name)
    return out


def calls_with(calls, func, first_arg=None):
    return [c for c in calls if c.func == func and
            (first_arg is None or c.args[0].value == first_arg)]


# --------------------------------------------------------------------------
# Where things are in the window

TWIPS_PER_PIXEL = 15            # Wine's default 96 dpi

# Client-area rectangles of the controls the tests touch, in twips (left,
# top, width, height), as the window lays them out.
OK_LABEL = (6240 + 360, 5100 + 225, 720, 435)
EXIT_LABEL = (6240 + 1230, 5100 + 225, 705, 435)
CLOSE_LABEL = (8280, 0, 375, 360)
LIST_VIEW = (120, 840, 6015, 4215)
PREVIEW = (6240 + 840, 720 + 330, 510, 510)
NORMAL_CHECK = (6240 + 120, 1800 + 360, 1875, 240)
TITLE_STRIP = (0, 0, 8295, 360)
BANNER = (120, 5160, 4050, 1125)
ICON = (60, 60, 480, 480)       # the program icon (Image1)
SETS_PAGE = "Tarnwick.html"     # shipped beside the program; the banner opens it
FRAME2 = (6240, 3000)           # the slider's frame; the knob is 7x21 px
KNOB_TOP = 345


def screen_rect(window, rect, dpi=96):
    """(x0, y0, x1, y1) on the screen of a client rectangle in twips; the
    client area starts inside a one-pixel border."""
    left, top, width, height = (v * dpi // 1440 for v in rect)
    x0, y0 = window.x + 1 + left, window.y + 1 + top
    return x0, y0, x0 + width, y0 + height


def screen_centre(window, rect, dpi=96):
    x0, y0, x1, y1 = screen_rect(window, rect, dpi)
    return (x0 + x1) // 2, (y0 + y1) // 2


# --------------------------------------------------------------------------
# Screenshots

class Picture:
    """An RGB picture read from a binary PPM (what ``import x.ppm`` writes)."""

    def __init__(self, path):
        self.path = path
        with open(path, "rb") as f:
            data = f.read()
        fields, pos = [], 0
        while len(fields) < 4:
            while data[pos:pos + 1].isspace():
                pos += 1
            if data[pos:pos + 1] == b"#":
                pos = data.index(b"\n", pos)
                continue
            end = pos
            while not data[end:end + 1].isspace():
                end += 1
            fields.append(data[pos:end])
            pos = end
        if fields[0] != b"P6" or fields[3] != b"255":
            raise ValueError("not an 8-bit binary PPM: %r" % fields)
        self.width, self.height = int(fields[1]), int(fields[2])
        self.pixels = data[pos + 1:pos + 1 + self.width * self.height * 3]

    def at(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.pixels[i:i + 3])

    def find(self, colour, box, tolerance=8):
        """Points in box (x0, y0, x1, y1) whose colour is within
        ``tolerance`` of ``colour`` on every channel."""
        x0, y0, x1, y1 = box
        r, g, b = colour
        out = []
        for y in range(max(y0, 0), min(y1, self.height)):
            row = y * self.width * 3
            for x in range(max(x0, 0), min(x1, self.width)):
                i = row + x * 3
                p = self.pixels[i:i + 3]
                if abs(p[0] - r) <= tolerance and abs(p[1] - g) <= tolerance \
                        and abs(p[2] - b) <= tolerance:
                    out.append((x, y))
        return out


def blobs(points, gap=6):
    """Groups of points lying within ``gap`` pixels of each other along x
    (one row of list icons), as (centre x, centre y, count), left to
    right."""
    groups = []
    for x, y in sorted(points):
        if groups and x - groups[-1][-1][0] <= gap:
            groups[-1].append((x, y))
        else:
            groups.append([(x, y)])
    return [(sum(p[0] for p in g) // len(g), sum(p[1] for p in g) // len(g),
             len(g)) for g in groups]
