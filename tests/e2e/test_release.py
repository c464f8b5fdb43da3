"""The Windows build as it is shipped, read back without Wine: the PE
headers of the programs, and the release archive with its checksum.

The archive is build/mingw/release/Tarnwick-<version>-win64.zip, made by
`cmake --build --preset mingw --target package` (scripts/test.sh does);
$TARNWICK_ZIP names another.  Without one, the archive's tests skip and
say how to make it; with TARNWICK_ZIP set, a missing archive fails.
"""

import glob
import hashlib
import os
import re
import struct
import sys
import unittest
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import tarnwick_folder as tf  # noqa: E402

PROGRAMS = ("Tarnwick.exe", "TarnwickWatch.exe", "twcmake.exe")
LICENCES = ("licenses/GPL-3.txt", "licenses/gcc-runtime.txt",
            "licenses/mingw-w64.txt", "licenses/stb.txt")
TEXTS = ("README.txt", "LICENSE") + LICENCES

HIGH_ENTROPY_VA, DYNAMIC_BASE, NX_COMPAT = 0x20, 0x40, 0x100
RELOCS_STRIPPED = 0x1
LOAD_LIBRARY_SEARCH_SYSTEM32 = 0x800


def project_version():
    with open(os.path.join(tf.REPO, "CMakeLists.txt")) as f:
        return re.search(r"project\(Tarnwick VERSION ([0-9.]+)", f.read())[1]


def pe_facts(data):
    """What the loader makes of a PE32+ image: its file characteristics,
    DllCharacteristics, the size of its base relocations, and the
    DependentLoadFlags of its load configuration (None without one)."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("not a PE image")
    characteristics = struct.unpack_from("<H", data, pe + 22)[0]
    opt = pe + 24
    if struct.unpack_from("<H", data, opt)[0] != 0x20B:
        raise ValueError("not PE32+")
    dll_characteristics = struct.unpack_from("<H", data, opt + 70)[0]
    directories = opt + 112

    def directory(i):
        return struct.unpack_from("<II", data, directories + 8 * i)

    reloc_size = directory(5)[1]
    load_config_rva, load_config_size = directory(10)
    dependent = None
    if load_config_rva and load_config_size >= 80:
        offset = rva_offset(data, pe, load_config_rva)
        dependent = struct.unpack_from("<H", data, offset + 78)[0]
    return characteristics, dll_characteristics, reloc_size, dependent


def rva_offset(data, pe, rva):
    sections = struct.unpack_from("<H", data, pe + 6)[0]
    table = pe + 24 + struct.unpack_from("<H", data, pe + 20)[0]
    for i in range(sections):
        size, address, _, raw = struct.unpack_from("<IIII", data,
                                                   table + 40 * i + 8)
        if address <= rva < address + size:
            return raw + rva - address
    raise ValueError("RVA %x lies in no section" % rva)


def header_faults(data):
    """What a program's PE header lacks of address space randomisation
    (with the relocations it needs), no execution of data, and the
    loader's DLL search flag where the file has a load configuration."""
    chars, dll, relocs, dependent = pe_facts(data)
    faults = [name for flag, name in ((HIGH_ENTROPY_VA, "HIGH_ENTROPY_VA"),
                                      (DYNAMIC_BASE, "DYNAMICBASE"),
                                      (NX_COMPAT, "NX_COMPAT"))
              if not dll & flag]
    if chars & RELOCS_STRIPPED or not relocs:
        faults.append("relocations")
    if dependent is not None and not dependent & LOAD_LIBRARY_SEARCH_SYSTEM32:
        faults.append("DependentLoadFlags")
    return faults


def fixed_file_version(data):
    """(major, minor, patch, tweak) of the VERSIONINFO resource."""
    at = data.index(struct.pack("<I", 0xFEEF04BD))
    ms, ls = struct.unpack_from("<II", data, at + 8)
    return ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF


def find_archive():
    named = os.environ.get("TARNWICK_ZIP")
    if named:
        return named
    folder = os.path.join(os.path.dirname(tf.tarnwick_exe()), "release")
    found = glob.glob(os.path.join(folder, "Tarnwick-*-win64.zip"))
    return found[0] if len(found) == 1 else None


class ProgramHeadersTest(unittest.TestCase):
    def test_the_built_programs(self):
        folder = os.path.dirname(tf.tarnwick_exe())
        if not os.path.isfile(tf.tarnwick_exe()):
            self.skipTest("no Windows build at %s" % folder)
        for name in PROGRAMS:
            with open(os.path.join(folder, name), "rb") as f:
                self.assertEqual(header_faults(f.read()), [], name)


class ArchiveTest(unittest.TestCase):
    def setUp(self):
        self.path = find_archive()
        if not self.path or not os.path.isfile(self.path):
            if os.environ.get("TARNWICK_ZIP"):
                self.fail("no release archive at %s" % self.path)
            self.skipTest("no release archive: make it with `cmake --build "
                          "--preset mingw --target package`")
        self.zip = zipfile.ZipFile(self.path)
        self.addCleanup(self.zip.close)

    def test_name_files_and_checksum(self):
        version = project_version()
        self.assertEqual(os.path.basename(self.path),
                         "Tarnwick-%s-win64.zip" % version)
        sets = sorted(os.path.basename(p) for p in
                      glob.glob(os.path.join(tf.REPO, "sets", "*.TWC")))
        self.assertEqual(len(sets), 3, sets)
        files = sorted(n for n in self.zip.namelist() if not n.endswith("/"))
        self.assertEqual(files, sorted(PROGRAMS + TEXTS + tuple(sets) +
                                       ("Tarnwick.html",)))

        with open(self.path + ".sha256") as f:
            line = f.read()
        with open(self.path, "rb") as f:
            digest = hashlib.sha256(f.read()).hexdigest()
        self.assertEqual(line, "%s  %s\n" % (digest,
                                             os.path.basename(self.path)))

    def test_programs_and_texts_inside(self):
        major, minor = (int(p) for p in project_version().split(".")[:2])
        for name in PROGRAMS:
            self.assertEqual(header_faults(self.zip.read(name)), [], name)
        exe = self.zip.read("Tarnwick.exe")
        self.assertEqual(fixed_file_version(exe), (major, minor, 0, 0))
        self.assertIn(('version="%d.%d.0.0"' % (major, minor)).encode(), exe)

        # Notepad's texts: every line ends in CR LF.
        for name in TEXTS:
            with self.subTest(name):
                text = self.zip.read(name)
                self.assertTrue(text.endswith(b"\r\n"), name)
                self.assertEqual(text.count(b"\n"), text.count(b"\r\n"), name)
        readme = self.zip.read("README.txt").decode("ascii")
        self.assertIn("Version %s\r\n" % project_version(), readme)
        self.assertIn("%LOCALAPPDATA%\\Tarnwick\\Sets", readme)
        self.assertIn("the Tarnwick authors", self.zip.read("LICENSE")
                      .decode("ascii"))


if __name__ == "__main__":
    unittest.main()
