#!/usr/bin/env python3
"""Points a PE32+ image's load configuration entry at its `_load_config_used`.

Usage: pe_load_config.py <nm> <image>

The linker of this toolchain (binutils before it learnt of the symbol) leaves the
entry empty, so the structure the program defines, with its dependent-load flag,
would go unread. The symbol's address is taken from the linker's own symbol table
(`nm`), so this runs before the image is stripped.
"""

import struct
import subprocess
import sys

LOAD_CONFIG = 10  # the data directory's index of the load configuration


def main(nm, image):
    symbols = subprocess.run([nm, image], check=True, capture_output=True,
                             text=True).stdout
    address = next((int(line.split()[0], 16) for line in symbols.splitlines()
                    if line.endswith(" _load_config_used")), None)
    if address is None:
        sys.exit("%s: no _load_config_used" % image)
    with open(image, "r+b") as f:
        data = bytearray(f.read())
        pe, = struct.unpack_from("<I", data, 0x3C)
        optional = pe + 24
        if data[pe:pe + 4] != b"PE\0\0" or \
                struct.unpack_from("<H", data, optional)[0] != 0x20B:
            sys.exit("%s: not a PE32+ image" % image)
        base, = struct.unpack_from("<Q", data, optional + 24)
        rva = address - base
        # The structure's own first field is its size.
        offset = next(s_raw + rva - s_rva
                      for s_rva, s_size, s_raw in sections(data, pe)
                      if s_rva <= rva < s_rva + s_size)
        size, = struct.unpack_from("<I", data, offset)
        entry = optional + 112 + 8 * LOAD_CONFIG
        struct.pack_into("<II", data, entry, rva, size)
        f.seek(0)
        f.write(data)


def sections(data, pe):
    count, = struct.unpack_from("<H", data, pe + 6)
    optional_size, = struct.unpack_from("<H", data, pe + 20)
    table = pe + 24 + optional_size
    for i in range(count):
        _, vsize, rva, _, raw = struct.unpack_from("<8sIIII", data, table + 40 * i)
        yield rva, vsize, raw


if __name__ == "__main__":
    main(*sys.argv[1:])
