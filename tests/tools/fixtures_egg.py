"""EGG fixtures written by our own small writer: no free program writes the format.

make(out) writes into out/egg/: solid and non-solid archives, damaged variants, and solid_src/
(the tree the solid archive must extract to).
"""
import lzma
import os
import struct
import zlib

FILE_HEADER = 0x0A8590E3
NAME_RECORD = 0x0A8590E3 ^ 0  # the reader does not examine it
INFO_RECORD = 0x2C86950B
BLOCK = 0x02B50C13
END = 0x08E28222
SOLID = 0x24E5A060
FILETIME_2023 = (1700000000 + 11644473600) * 10000000


def _header(solid=False):
    data = struct.pack("<IHII", 0x41474745, 0x0100, 0x12345678, 0)
    if solid:
        data += struct.pack("<IBH", SOLID, 0, 0) + struct.pack("<I", END)
    return data + struct.pack("<I", END)


def _file(name, length, attributes=0):
    raw = name.encode("utf-8") if isinstance(name, str) else name
    return (struct.pack("<IIQ", FILE_HEADER, 1, length) + struct.pack("<IBH", 0x0A8590E3, 0, len(raw)) + raw
            + struct.pack("<IBHQB", INFO_RECORD, 0, 9, FILETIME_2023, attributes))


def deflate(data):
    c = zlib.compressobj(6, zlib.DEFLATED, -15)
    return c.compress(data) + c.flush()


def lzma_zip(data):
    # The ZIP form: version, properties size 5, then the properties and the raw coded data.
    props = bytes([(2 * 5 + 0) * 9 + 3]) + struct.pack("<I", 1 << 16)
    coded = lzma.compress(data, format=lzma.FORMAT_RAW,
                          filters=[{"id": lzma.FILTER_LZMA1, "dict_size": 1 << 16, "lc": 3, "lp": 0, "pb": 2}])
    return struct.pack("<BBH", 9, 20, 5) + props + coded


def _block(method, data, packed, crc=None):
    if crc is None:
        crc = zlib.crc32(data)
    return struct.pack("<IBBIII", BLOCK, method, 0, len(data), len(packed), crc) + struct.pack("<I", END) + packed


def _end():
    return struct.pack("<I", END)


def _write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def make(out):
    root = os.path.join(out, "egg")
    a = b"alpha " * 3000
    b = bytes(range(256)) * 40
    c = "\ud55c\uae00 text\n".encode("utf-8") * 50

    # Solid: a folder, files inside it and beside it, the data cut across two blocks of
    # different methods, and empty entries after the last block.
    entries = [("dir/", b"", 0x80), ("dir/a.txt", a, 0), ("b.bin", b, 0), ("\ud55c\uae00.txt", c, 0),
               ("empty.txt", b"", 0), ("tail/", b"", 0x80)]
    stream = a + b + c
    cut = len(a) + 1000
    solid = _header(solid=True)
    for name, data, attributes in entries:
        solid += _file(name, len(data), attributes) + _end()
    solid += _block(1, stream[:cut], deflate(stream[:cut])) + _block(4, stream[cut:], lzma_zip(stream[cut:]))
    _write(os.path.join(root, "solid.egg"), solid + _end())
    for name, data, attributes in entries:
        path = os.path.join(root, "solid_src", name)
        if attributes & 0x80:
            os.makedirs(path, exist_ok=True)
        else:
            _write(path, data)

    # Solid with an unknown block method, and with a damaged block CRC.
    bad = _header(solid=True) + _file("x.txt", len(a)) + _end()
    _write(os.path.join(root, "solid-method2.egg"), bad + _block(2, a, a) + _end())
    _write(os.path.join(root, "solid-badcrc.egg"), bad + _block(1, a, deflate(a), crc=0x1234) + _end())

    # Non-solid: one entry in two blocks; the first block's method byte says stored but every
    # block is decoded with the last block's method.
    half = len(a) // 2
    two = (_header() + _file("two.txt", len(a)) + _end() + _block(0, a[:half], deflate(a[:half]))
           + _block(1, a[half:], deflate(a[half:])) + _file("b.bin", len(b)) + _end()
           + _block(4, b, lzma_zip(b)) + _end())
    _write(os.path.join(root, "two-blocks.egg"), two)
    _write(os.path.join(root, "trailing.egg"), two + b"\0\0\0\0")
    _write(os.path.join(root, "unknown-record.egg"), _header() + struct.pack("<I", 0x04C63672) + two[18:])
    _write(os.path.join(root, "method3.egg"), _header() + _file("m.txt", len(a)) + _end() + _block(3, a, a) + _end())
    _write(os.path.join(root, "too-long.egg"), _header() + _file("l.txt", 10) + _end() + _block(0, a, a) + _end())
    _write(os.path.join(root, "short-file.egg"), _header() + _file("s.txt", len(a) + 5) + _end() + _block(0, a, a) + _end())
    _write(os.path.join(root, "name779.egg"), _header() + _file("n" * 779, 1) + _end() + _block(0, b"n", b"n") + _end())
    _write(os.path.join(root, "name780.egg"), _header() + _file("n" * 780, 1) + _end() + _block(0, b"n", b"n") + _end())
    # Key data shorter than AES-256's layout.
    short_key = struct.pack("<IBHB", 0x08D1470F, 0, 9, 2) + b"\0" * 8 + _end()
    _write(os.path.join(root, "short-key.egg"), _header() + _file("k.txt", 1) + short_key + _end() + _block(0, b"k", b"k") + _end())
