"""The Windows build as it is shipped, read back without Wine: the PE
headers of the programs, and the release archive with its checksum.

The archive is build/mingw/release/Tarnwick-<version>-win64.zip, made by
`cmake --build --preset mingw --target package`; scripts/test.sh makes it
and names it in $TARNWICK_ZIP, and then a missing archive fails.  Without
TARNWICK_ZIP the archive's tests look beside the exe, else skip.
"""

import hashlib
import os
import re
import struct
import unittest
import zipfile

from harness import tarnwick_folder as tf

PROGRAMS = ("Tarnwick.exe", "TarnwickWatch.exe", "twcmake.exe")
TEXTS = ("README.txt", "LICENSE", "licenses/GPL-3.txt",
         "licenses/gcc-runtime.txt", "licenses/mingw-w64.txt",
         "licenses/stb.txt")
FLAGS = {0x20: "HIGH_ENTROPY_VA", 0x40: "DYNAMICBASE", 0x100: "NX_COMPAT"}

with open(os.path.join(tf.REPO, "CMakeLists.txt")) as _f:
    VERSION = re.search(r"project\(Tarnwick VERSION ([0-9.]+)", _f.read())[1]
ARCHIVE = "Tarnwick-%s-win64.zip" % VERSION


def header_faults(data):
    """What a PE32+ image lacks of address space randomisation (with the
    relocations it needs) and of no execution of data."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    assert data[pe:pe + 4] == b"PE\0\0", "not a PE image"
    characteristics = struct.unpack_from("<H", data, pe + 22)[0]
    dll, = struct.unpack_from("<H", data, pe + 24 + 70)
    relocations, = struct.unpack_from("<I", data, pe + 24 + 112 + 8 * 5 + 4)
    faults = [name for flag, name in FLAGS.items() if not dll & flag]
    if characteristics & 1 or not relocations:       # RELOCS_STRIPPED
        faults.append("relocations")
    if dependent_load_flags(data, pe) != 0x800:      # LOAD_LIBRARY_SEARCH_SYSTEM32
        faults.append("dependent-load flags")
    return faults


def dependent_load_flags(data, pe):
    """The load configuration's DependentLoadFlags, None without one."""
    rva, size = struct.unpack_from("<II", data, pe + 24 + 112 + 8 * 10)
    count, = struct.unpack_from("<H", data, pe + 6)
    table = pe + 24 + struct.unpack_from("<H", data, pe + 20)[0]
    for i in range(count):
        vsize, start, _, raw = struct.unpack_from("<IIII", data,
                                                  table + 40 * i + 8)
        if rva and size >= 0x50 and start <= rva < start + vsize:
            return struct.unpack_from("<H", data, raw + rva - start + 0x4E)[0]
    return None


class ProgramHeadersTest(unittest.TestCase):
    def test_the_built_programs(self):
        folder = os.path.dirname(tf.tarnwick_exe())
        if not os.path.isfile(tf.tarnwick_exe()):
            self.skipTest("no Windows build at %s" % folder)
        for name in PROGRAMS:
            with open(os.path.join(folder, name), "rb") as f:
                self.assertEqual(header_faults(f.read()), [], name)


def release_archive(case):
    """The archive under test: $TARNWICK_ZIP, which must be there, else the
    one beside the exe under test, without which ``case`` skips."""
    path = os.environ.get("TARNWICK_ZIP") or os.path.join(
        os.path.dirname(tf.tarnwick_exe()), "release", ARCHIVE)
    if not os.path.isfile(path):
        if os.environ.get("TARNWICK_ZIP"):
            case.fail("no release archive at %s" % path)
        case.skipTest("no release archive: make it with `cmake --build "
                      "--preset mingw --target package`")
    return path


class ArchiveTest(unittest.TestCase):
    def setUp(self):
        self.path = release_archive(self)
        self.zip = zipfile.ZipFile(self.path)
        self.addCleanup(self.zip.close)

    def test_name_files_and_checksum(self):
        self.assertEqual(os.path.basename(self.path), ARCHIVE)
        sets = sorted(n for n in os.listdir(os.path.join(tf.REPO, "sets"))
                      if n.endswith((".TWC", ".png")))
        self.assertEqual(len(sets), 6, sets)    # three, each with its companion
        files = [n for n in self.zip.namelist() if not n.endswith("/")]
        self.assertEqual(sorted(files), sorted(PROGRAMS + TEXTS + tuple(sets)
                                               + ("Tarnwick.html",)))
        with open(self.path, "rb") as f:
            digest = hashlib.sha256(f.read()).hexdigest()
        with open(self.path + ".sha256") as f:
            self.assertEqual(f.read(), "%s  %s\n" % (digest, ARCHIVE))

    def test_programs_and_texts_inside(self):
        for name in PROGRAMS:
            self.assertEqual(header_faults(self.zip.read(name)), [], name)
        # The version of the project, in VERSIONINFO and in the manifest.
        exe = self.zip.read("Tarnwick.exe")
        quad = (VERSION.split(".") + ["0"] * 4)[:4]
        at = exe.index(struct.pack("<I", 0xFEEF04BD))   # VS_FIXEDFILEINFO
        ms, ls = struct.unpack_from("<II", exe, at + 8)
        self.assertEqual([ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF],
                         [int(p) for p in quad])
        self.assertIn(('version="%s"' % ".".join(quad)).encode(), exe)
        # Texts for Notepad: every line ends in CR LF.
        for name in TEXTS:
            text = self.zip.read(name)
            self.assertTrue(text.endswith(b"\r\n"), name)
            self.assertEqual(text.count(b"\n"), text.count(b"\r\n"), name)
        readme = self.zip.read("README.txt").decode("ascii")
        self.assertIn("Version %s\r\n" % VERSION, readme)
        self.assertIn("%LOCALAPPDATA%\\Tarnwick\\Sets", readme)
        self.assertIn(b"the Tarnwick authors", self.zip.read("LICENSE"))


if __name__ == "__main__":
    unittest.main()
