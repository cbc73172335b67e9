"""Hostile sizes, written by hand: no tool writes entries that claim 2^62 bytes.

make(out) writes out/sizes/huge.zip: two stored ZIP64 entries, a.bin and b.bin, each
claiming 2^62 bytes packed and unpacked, with no data behind them.
"""
import os
import shutil
import struct

HUGE = 1 << 62


def _entry(name, offset):
    name = name.encode()
    extra = struct.pack("<HHQQ", 1, 16, HUGE, HUGE)
    local = struct.pack("<IHHHHHIIIHH", 0x04034B50, 45, 0, 0, 0, 0x21, 0, 0xFFFFFFFF,
                        0xFFFFFFFF, len(name), len(extra)) + name + extra
    central = struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 45, 45, 0, 0, 0, 0x21, 0,
                          0xFFFFFFFF, 0xFFFFFFFF, len(name), len(extra), 0, 0, 0, 0,
                          offset) + name + extra
    return local, central


def make(out):
    base = os.path.join(out, "sizes")
    shutil.rmtree(base, ignore_errors=True)
    os.makedirs(base)
    body, directory = b"", b""
    for name in ("a.bin", "b.bin"):
        local, central = _entry(name, len(body))
        body += local
        directory += central
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 2, 2, len(directory), len(body), 0)
    with open(os.path.join(base, "huge.zip"), "wb") as f:
        f.write(body + directory + end)
