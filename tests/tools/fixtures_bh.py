"""BH archives made by a small writer of ours (no free program writes BH). The -lh5- data of
method 1 entries is written by a real LHA encoder: Debian's jlha-utils `lha`, lifted out of the
LZH archive it makes.

make(out) writes out/bh/*.bh and the plain files they hold, and out/bh/cases.txt.
"""
import os
import random
import struct
import subprocess
import tempfile
import zlib

KOREAN = "\ud55c\uae00"


def _crc_table():
    table = []
    for n in range(256):
        c = n
        for _ in range(8):
            c = (c >> 1) ^ 0xEDB88320 if c & 1 else c >> 1
        table.append(c)
    return table


TABLE = _crc_table()


def traditional_encrypt(data, password, check):
    """The PKWARE traditional cipher: a 12-byte header (last byte = check) then the data."""
    keys = [0x12345678, 0x23456789, 0x34567890]

    def update(byte):
        keys[0] = (keys[0] >> 8) ^ TABLE[(keys[0] ^ byte) & 0xFF]
        keys[1] = ((keys[1] + (keys[0] & 0xFF)) * 134775813 + 1) & 0xFFFFFFFF
        keys[2] = (keys[2] >> 8) ^ TABLE[(keys[2] ^ (keys[1] >> 24)) & 0xFF]

    for byte in password:
        update(byte)
    out = bytearray()
    for plain in bytes(random.Random(3).randbytes(11)) + bytes([check]) + data:
        t = (keys[2] | 2) & 0xFFFF
        out.append(plain ^ (((t * (t ^ 1)) >> 8) & 0xFF))
        update(plain)
    return bytes(out)


def lh5(data):
    """The -lh5- stream the real `lha` writes for data."""
    with tempfile.TemporaryDirectory() as work:
        with open(os.path.join(work, "f"), "wb") as f:
            f.write(data)
        subprocess.run(["lha", "a", "x.lzh", "f"], cwd=work, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        archive = open(os.path.join(work, "x.lzh"), "rb").read()
    assert archive[2:7] == b"-lh5-", archive[2:7]
    packed = struct.unpack("<I", archive[7:11])[0]
    level = archive[20]
    assert level == 2, level
    header = struct.unpack("<H", archive[0:2])[0]
    return archive[header:header + packed]


def entry(name, data, method=0, stored=None, crc=None, flags=0, dos=0x5A2C6E0F, attributes=0x20):
    name_bytes = name if isinstance(name, bytes) else name.encode("cp949")
    if stored is None:
        stored = data
    extra = b"xx"
    header = struct.pack("<IH3sBBIIIIH4sHH", 0x07054842, 37 + len(name_bytes) + len(extra),
                         b"\0\0\0", flags, method, dos, len(stored), len(data),
                         zlib.crc32(data) if crc is None else crc, attributes, b"\0" * 4,
                         len(name_bytes), len(extra))
    assert len(header) == 37
    return header + name_bytes + extra + stored


def deflate(data):
    compressor = zlib.compressobj(9, zlib.DEFLATED, -15)
    return compressor.compress(data) + compressor.flush()


def make(out):
    base = os.path.join(out, "bh")
    os.makedirs(base, exist_ok=True)
    rng = random.Random(8)
    words = [b"bh ", b"archive ", KOREAN.encode("utf-8") + b" ", b"window ", b"0123456789 "]
    text = b"".join(rng.choice(words) for _ in range(60000))
    binary = rng.randbytes(4000) * 10  # repeats within the 8 KiB window
    small = b"tiny " * 20  # lha stores what it cannot shrink: small, but compressible
    files = {"text.txt": text, "binary.bin": binary, "small.txt": small}
    for name, data in files.items():
        with open(os.path.join(base, name), "wb") as f:
            f.write(data)
    cases = []

    def add(name, blob, listed, code, extracted_codes):
        with open(os.path.join(base, name), "wb") as f:
            f.write(blob)
        cases.append((name, listed, code, extracted_codes))

    plain = (entry("text.txt", text, 1, lh5(text)) +
             entry("binary.bin", binary, 1, lh5(binary)) +
             entry("small.txt", small, 1, lh5(small)) +
             entry("folder\\" + KOREAN + ".txt", text, 2, deflate(text)) +
             entry("stored.txt", text, 0) +
             entry("deflate8.txt", text, 8, deflate(text)))
    add("methods.bh", plain, 6, 0, "0,0,0,0,0,0")
    add("extra-byte.bh", plain + b"\0", 6, 3, "0,0,0,0,0,0")
    # A 258-byte name is read (extracting it meets the 260-character folder bound: no
    # completion, an error report instead); a 259-byte one ends the walk.
    folders = ("d" * 50 + "\\") * 4
    long_name = folders + "n" * 50 + ".txt"
    assert len(long_name) == 258
    add("names.bh", entry(long_name, b"258") + entry(folders + "n" * 51 + ".txt", b"259"), 1, 3,
        "-")
    add("cut-to-size.bh", entry("cut.txt", text[:1000], 1, lh5(text)), 1, 0, "0")
    add("crc-zero.bh", entry("zero.txt", small, 1, lh5(small), crc=0), 1, 0, "24")
    add("method3.bh", entry("three.bin", b"abc", 3, b"abc"), 1, 0, "25")
    secret = (entry("secret.txt", text, 0, traditional_encrypt(text, b"secret", 0x11), flags=1) +
              entry("secret.lh5", text, 1, traditional_encrypt(lh5(text), b"secret", 0x22),
                    flags=1))
    add("encrypted.bh", secret, 2, 0, "0,0")

    with open(os.path.join(base, "cases.txt"), "w") as f:
        for name, listed, code, codes in cases:
            f.write("%s\t%d\t%d\t%s\n" % (name, listed, code, codes))
