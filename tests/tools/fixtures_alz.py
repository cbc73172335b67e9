"""ALZ fixtures. No free program writes ALZ, so this is a small writer of our own: stored entries,
deflate through zlib, ALZ's bzip2 variant made from the real `bzip2` program's output (its block
bodies rewrapped bit for bit in ALZ's framing), traditional encryption, split sets with their
heads and tails, a self-extractor stub, and CP949 names.

make(out) writes into out/alz/: the trees that went in (src/, blocks-src/), the archives, and
cases.txt with one line per archive:
    archive  tree-or-dash  opened  open-error  listed  completions-or-dash
"""
import os
import random
import shutil
import struct
import subprocess
import zlib

KOREAN = "\ud55c\uae00"  # 한글
DOS_TIME = (2024 - 1980) << 25 | 3 << 21 | 15 << 16 | 10 << 11 | 20 << 5 | 30 // 2
BZIP2_BLOCK_MAGIC = 0x314159265359
BZIP2_END_MAGIC = 0x177245385090


# ---- the bzip2 variant: bzip2's own output, reframed -------------------------------------

class _Bits:
    def __init__(self, data):
        self.bits = "".join("{:08b}".format(b) for b in data)
        self.pos = 0

    def read(self, n):
        value = int(self.bits[self.pos:self.pos + n], 2)
        self.pos += n
        return value

    def bit(self):
        self.pos += 1
        return self.bits[self.pos - 1] == "1"


def _skip_block_body(r):
    """Walks one bzip2 block body (from the symbol map to the end-of-block symbol)."""
    ranges = r.read(16)
    in_use = 0
    for i in range(16):
        if ranges & (0x8000 >> i):
            in_use += bin(r.read(16)).count("1")
    alphabet = in_use + 2
    groups = r.read(3)
    order = list(range(groups))
    selectors = []
    for _ in range(r.read(15)):
        j = 0
        while r.bit():
            j += 1
        order.insert(0, order.pop(j))
        selectors.append(order[0])
    tables = []
    for _ in range(groups):
        length = r.read(5)
        lengths = []
        for _ in range(alphabet):
            while r.bit():
                length += -1 if r.bit() else 1
            lengths.append(length)
        # Canonical codes, as bzip2 assigns them: by length, then by symbol.
        codes, code = {}, 0
        for n in range(min(lengths), max(lengths) + 1):
            for symbol, l in enumerate(lengths):
                if l == n:
                    codes[(n, code)] = symbol
                    code += 1
            code <<= 1
        tables.append(codes)
    end = alphabet - 1
    for selector in selectors:
        codes = tables[selector]
        for _ in range(50):
            n, code = 0, 0
            while (n, code) not in codes:
                code = code * 2 + r.bit()
                n += 1
            if codes[(n, code)] == end:
                return
    raise ValueError("no end of block")


def alz_bzip2(data, level=9):
    """Compresses with the real bzip2 and rewraps its blocks: no stream header, "DLZ" 01 in place
    of each block magic and CRC, no randomisation bit, "DLZ" 02 in place of the end magic and
    the combined CRC."""
    stream = subprocess.run(["bzip2", "-%d" % level, "-c"], input=data, stdout=subprocess.PIPE,
                            check=True).stdout
    r = _Bits(stream)
    assert r.read(24) == 0x425A68  # "BZh" and the level digit
    r.read(8)
    out = []
    while True:
        magic = r.read(48)
        if magic == BZIP2_END_MAGIC:
            out.append("{:032b}".format(0x444C5A02))
            break
        assert magic == BZIP2_BLOCK_MAGIC
        r.read(32)
        assert not r.bit(), "bzip2 no longer randomises blocks"
        start = r.pos
        r.read(24)  # origin pointer
        _skip_block_body(r)
        out.append("{:032b}".format(0x444C5A01) + r.bits[start:r.pos])
    bits = "".join(out)
    bits += "0" * (-len(bits) % 8)
    return int(bits, 2).to_bytes(len(bits) // 8, "big")


def alz_bzip2_by_pieces(data, level=9):
    """The same framing made faster for large inputs: each piece small enough to fill exactly
    one bzip2 block goes through its own `bzip2` run, and the block body is cut out between the
    block header and the end magic, found by its combined CRC (which for one block equals the
    block CRC). No Huffman walk, so 100 MB convert in seconds."""
    piece = level * 100000 * 7 // 9  # below the block size even if every byte starts a run
    bits = []
    for at in range(0, len(data), piece):
        stream = subprocess.run(["bzip2", "-%d" % level, "-c"], input=data[at:at + piece],
                                stdout=subprocess.PIPE, check=True).stdout
        total = len(stream) * 8
        value = int.from_bytes(stream, "big")
        assert value >> (total - 80) & ((1 << 48) - 1) == BZIP2_BLOCK_MAGIC
        crc = value >> (total - 112) & 0xFFFFFFFF
        assert not value >> (total - 113) & 1, "bzip2 no longer randomises blocks"
        for padding in range(8):
            tail = value >> padding
            if tail & 0xFFFFFFFF == crc and tail >> 32 & ((1 << 48) - 1) == BZIP2_END_MAGIC:
                break
        else:
            raise ValueError("no single-block bzip2 stream")
        length = total - 113 - 80 - padding
        body = tail >> 80 & ((1 << length) - 1)
        bits.append("{:032b}".format(0x444C5A01) + format(body, "0%db" % length))
    bits.append("{:032b}".format(0x444C5A02))
    text = "".join(bits)
    text += "0" * (-len(text) % 8)
    return int(text, 2).to_bytes(len(text) // 8, "big")


# ---- traditional encryption ----------------------------------------------------------------

def _crc_byte(crc, b):
    return ~zlib.crc32(bytes([b]), ~crc & 0xFFFFFFFF) & 0xFFFFFFFF


def encrypt(data, password, check, seed):
    keys = [0x12345678, 0x23456789, 0x34567890]

    def update(p):
        keys[0] = _crc_byte(keys[0], p)
        keys[1] = ((keys[1] + (keys[0] & 0xFF)) * 134775813 + 1) & 0xFFFFFFFF
        keys[2] = _crc_byte(keys[2], keys[1] >> 24)

    for p in password:
        update(p)
    header = random.Random(seed).randbytes(11) + bytes([check])
    out = bytearray()
    for p in header + data:
        t = (keys[2] | 2) & 0xFFFF
        out.append(p ^ (((t * (t ^ 1)) >> 8) & 0xFF))
        update(p)
    return bytes(out)


# ---- records -------------------------------------------------------------------------------

def entry(name, data=b"", method="deflate", width=4, password=None, attributes=0x20,
          alz_method=None, crc=None, stored=None, descriptor=None, name_length=None):
    """One file header and its stored data. name: str (written in CP949) or bytes."""
    if isinstance(name, str):
        name = name.encode("cp949")
    number = {"store": 0, "bzip2": 1, "deflate": 2}[method]
    if stored is None:
        if method == "store":
            stored = data
        elif method == "deflate":
            c = zlib.compressobj(6, zlib.DEFLATED, -15)
            stored = c.compress(data) + c.flush()
        else:
            stored = alz_bzip2(data)
    crc = zlib.crc32(data) if crc is None else crc
    packed = len(stored)
    if password is not None:
        stored = encrypt(stored, password, crc >> 24, len(name) + len(data))
    if descriptor is None:
        descriptor = width << 4 | (1 if password is not None else 0)
    header = b"BLZ\x01" + struct.pack("<HBIBB", len(name) if name_length is None else name_length,
                                      attributes, DOS_TIME, descriptor, 0)
    if width:
        header += struct.pack("<BBI", number if alz_method is None else alz_method, 0, crc)
        header += packed.to_bytes(width, "little") + len(data).to_bytes(width, "little")
    return header + name + stored


def folder(name):
    return entry(name, method="store", width=0, attributes=0x10)


def archive(*entries, start=b"ALZ\x01\x0a\x00\x00\x00",
            end=b"CLZ\x01" + bytes(8) + b"CLZ\x02"):
    # The end-of-list record's 12 bytes take in the end-of-archive signature, as archives in
    # the wild have it.
    return start + b"".join(entries) + end


def split(blob, volume):
    """The volumes of a split set: 8-byte heads on all but the first, 16-byte tails on all but
    the last."""
    tail = b"CLZ\x01" + bytes(8) + b"CLZ\x03"
    parts = [blob[:volume - 16] + tail]
    at, number = volume - 16, 1
    while at < len(blob):
        head = b"ALZ\x01\x0a\x00" + struct.pack("<H", number)
        piece = blob[at:at + volume - 24]
        at += len(piece)
        parts.append(head + piece + (tail if at < len(blob) else b""))
        number += 1
    return parts


# ---- the fixtures --------------------------------------------------------------------------

def _text(rng, n):
    words = [b"alz ", b"archive ", KOREAN.encode() + b" ", b"entry ", b"0123456789 "]
    out = bytearray()
    while len(out) < n:
        out += rng.choice(words)
        # Runs of equal bytes, short and long, for the variant's run-length stage.
        if rng.random() < 0.02:
            out += bytes([rng.randrange(256)]) * rng.choice([3, 4, 5, 259, 260, 1000])
    return bytes(out[:n])


def _put(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def make(out):
    base = os.path.join(out, "alz")
    shutil.rmtree(base, ignore_errors=True)
    rng = random.Random(24)
    files = {
        "readme.txt": _text(rng, 3000),
        "docs/deflated.txt": _text(rng, 40000),
        "docs/packed.bin": _text(rng, 60000) + rng.randbytes(3000),
        "docs/hundred.txt": _text(rng, 100),
        "empty.txt": b"",
        KOREAN + ".txt": _text(rng, 200),
        "wide.bin": rng.randbytes(5000),
    }
    src = os.path.join(base, "src")
    for name, data in files.items():
        _put(os.path.join(src, name), data)
    os.makedirs(os.path.join(src, "empty folder"))
    blocks = {
        # bzip2 -1 cuts 100 kB blocks; level 9 only at 900 kB.
        "level1.bin": _text(rng, 250000),
        "level9.bin": _text(rng, 1000000),
    }
    for name, data in blocks.items():
        _put(os.path.join(base, "blocks-src", name), data)

    def entries(password=None):
        f = files
        return [
            entry("readme.txt", f["readme.txt"], "store", 2, password, attributes=0x21),
            folder("docs"),
            entry("docs/deflated.txt", f["docs/deflated.txt"], "deflate", 4, password),
            entry("docs/packed.bin", f["docs/packed.bin"], "bzip2", 4, password),
            entry("docs/hundred.txt", f["docs/hundred.txt"], "store", 4, password),
            entry("empty.txt", method="store", width=0),
            entry(KOREAN + ".txt", f[KOREAN + ".txt"], "deflate", 1, password),
            entry("wide.bin", f["wide.bin"], "store", 8, password),
            folder("empty folder/"),
        ]

    cases = []

    def add(name, blob, tree, opened, code, listed, completions):
        _put(os.path.join(base, name), blob)
        cases.append((name, tree, opened, code, listed, completions))

    all_ok = ",".join(["0"] * 7)
    plain = archive(*entries())
    add("plain.alz", plain, "src", 1, 0, 9, all_ok)
    add("encrypted.alz", archive(*entries(b"secret")), "src", 1, 0, 9, all_ok)
    # A self-extractor: the archive behind a 30,000-byte program.
    stub = b"MZ" + bytes(29998)
    add("sfx.exe", stub + plain, "src", 1, 0, 9, all_ok)
    # The signature bytes inside a program, without the header's 0A 00 00 00: read from 0.
    add("sfx-no-header.exe", stub + b"ALZ\x01\x0b\x00\x00\x00" + plain[8:], "-", 0, 256, 0, "-")
    add("neither.alz", b"XLZ\x01" + plain[4:], "-", 0, 0, 0, "-")
    bz = blocks["level1.bin"]
    add("blocks.alz", archive(entry("level1.bin", bz, "bzip2", 4, stored=alz_bzip2(bz, 1)),
                              entry("level9.bin", blocks["level9.bin"], "bzip2", 4)),
        "blocks-src", 1, 0, 2, "0,0")

    # Split sets: four volumes, and the same with the third missing.
    volumes = split(plain, 5000)
    assert len(volumes) == 4, len(plain)
    names = ["split.alz", "split.a00", "split.a01", "split.a02"]
    for name, data in zip(names, volumes):
        _put(os.path.join(base, name), data)
    cases.append(("split.alz", "src", 1, 0, 9, all_ok))
    # Without .a01 the set ends at .a00, inside the bzip2 entry's data.
    for name, data in zip(["gap.alz", "gap.a00", "gap.a02"], volumes[:2] + volumes[3:]):
        _put(os.path.join(base, name), data)
    cases.append(("gap.alz", "-", 0, 53, 4, "0,0,50"))

    # Headers at their limits.
    text = files["readme.txt"]
    add("name-260.alz", archive(entry("n" * 260, text)), "-", 0, 4, 0, "-")
    # Read; its extraction then meets the extraction loop's path bounds, not ours.
    add("name-259.alz", archive(entry("n" * 255 + ".txt", text)), "-", 1, 0, 1, "-")
    add("name-empty.alz", archive(entry("", text)), "-", 0, 4, 0, "-")
    add("width-9.alz", archive(entry("wide.txt", text, descriptor=0x90)), "-", 0, 3, 0, "-")
    add("method-3.alz", archive(entry("three.txt", text, "store", alz_method=3)), "-", 1, 0, 1,
        "25")
    # The end-of-archive record standing on its own, and bytes after it.
    add("end-record.alz", archive(entry("a.txt", text),
                                  end=b"CLZ\x01" + bytes(12) + b"CLZ\x02"), "-", 1, 0, 1, "0")
    add("trailing.alz", plain + b"junk", "-", 0, 256, 9, all_ok)
    add("zero-signature.alz", archive(entry("a.txt", text), end=bytes(4)), "-", 0, 256, 1, "0")
    # Sizes beyond the end of the input: listed, the archive flagged, then the data is missing.
    add("cut.alz", archive(entry("a.txt", text, "store"))[:-1000], "-", 0, 53, 1, "21")

    # The variant's failures: all 50, except what only the CRC can tell.
    good = alz_bzip2(text)
    real_bzip2 = subprocess.run(["bzip2", "-c"], input=text, stdout=subprocess.PIPE,
                                check=True).stdout
    variant_cases = [
        ("bz-real-bzip2.alz", entry("a.txt", text, "bzip2", stored=real_bzip2), "50"),
        ("bz-dlz3.alz", entry("a.txt", text, "bzip2", stored=good[:3] + b"\x03" + good[4:]), "50"),
        ("bz-origin.alz", entry("a.txt", text, "bzip2", stored=good[:4] + b"\xff" + good[5:]),
         "50"),
        ("bz-cut.alz", entry("a.txt", text, "bzip2", stored=good[:len(good) // 2]), "50"),
        ("bz-no-end.alz", entry("a.txt", text, "bzip2", stored=good[:-4]), "50"),
        # No byte value in use: the symbol map right after the origin pointer is all zero.
        ("bz-no-symbols.alz",
         entry("a.txt", text, "bzip2", stored=good[:7] + b"\0\0" + good[9:]), "50"),
        ("bz-crc.alz", entry("a.txt", text, "bzip2", crc=zlib.crc32(text) ^ 1), "24"),
        # 0 is compared like any other CRC: the variant has no check of its own.
        ("bz-crc-zero.alz", entry("a.txt", text, "bzip2", crc=0), "24"),
    ]
    for name, record, code in variant_cases:
        # The variant reads ahead past its entry; the entry behind must not notice.
        blob = archive(record, entry("after.txt", text, "store"))
        add(name, blob, "-", 1, 0, 2, code + ",0")

    with open(os.path.join(base, "cases.txt"), "w") as f:
        for case in cases:
            f.write("%s\t%s\t%d\t%d\t%d\t%s\n" % case)
