"""EGG fixtures written by our own small writer: no free program writes the format.

make(out) writes into out/egg/: solid and non-solid archives, encrypted archives (traditional,
AES-128, AES-256), bzip2 blocks, a split set, damaged variants, and the trees the archives must
extract to (solid_src/, crypt_src/, bzip2_src/, split_src/).

AES comes from the openssl command (ECB over our own counter blocks: WinZip AES counts little
endian, which no stock counter mode does); PBKDF2 and HMAC from Python's hashlib and hmac.
"""
import bz2
import hashlib
import hmac
import lzma
import os
import random
import struct
import subprocess
import zlib

from fixtures_alz import encrypt as traditional_encrypt
from fixtures_crypto import plaintext

FILE_HEADER = 0x0A8590E3
NAME_RECORD = 0x0A8590E3 ^ 0  # the reader does not examine it
INFO_RECORD = 0x2C86950B
BLOCK = 0x02B50C13
END = 0x08E28222
SOLID = 0x24E5A060
SPLIT = 0x24F5A262
ENCRYPTION = 0x08D1470F
PASSWORD = b"secret"
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


# ---- encryption ----------------------------------------------------------------------------

def _aes_ecb(key, blocks):
    return subprocess.run(["openssl", "enc", "-aes-%d-ecb" % (8 * len(key)), "-nopad", "-K",
                           key.hex()], input=blocks, stdout=subprocess.PIPE, check=True).stdout


def winzip_aes(data, password, salt, key_length):
    """WinZip AES: keys and verifier from PBKDF2-HMAC-SHA1, counter mode with a little-endian
    counter from 1, HMAC-SHA1 over the ciphertext cut to ten bytes.
    Returns (verifier, ciphertext, code)."""
    derived = hashlib.pbkdf2_hmac("sha1", password, salt, 1000, 2 * key_length + 2)
    key, mac_key, verifier = derived[:key_length], derived[key_length:-2], derived[-2:]
    counters = b"".join(struct.pack("<QQ", i + 1, 0) for i in range((len(data) + 15) // 16))
    stream = _aes_ecb(key, counters)
    cipher = bytes(p ^ k for p, k in zip(data, stream))
    return verifier, cipher, hmac.new(mac_key, cipher, hashlib.sha1).digest()[:10]


class Cipher:
    """One entry's encryption: its record, and the packed data of each of its blocks. Every
    block is encrypted from a fresh state with the same key data, as the reader decrypts it."""

    def __init__(self, kind, crc, seed, password=PASSWORD):
        self.kind, self.crc, self.password = kind, crc, password
        self.salt = random.Random(seed).randbytes({"zip": 0, "aes128": 8, "aes256": 16}[kind])
        self.seed = seed
        self.key_data = None

    def block(self, packed):
        if self.kind == "zip":
            # The 12-byte header goes to the key data with the CRC whose top byte it checks.
            out = traditional_encrypt(packed, self.password, self.crc >> 24, self.seed)
            key_data = out[:12] + struct.pack("<I", self.crc)
            packed = out[12:]
        else:
            length = 16 if self.kind == "aes128" else 32
            verifier, packed, code = winzip_aes(packed, self.password, self.salt, length)
            key_data = self.salt + verifier + code
        assert self.key_data in (None, key_data), "blocks of one entry share its key data"
        self.key_data = key_data
        return packed

    def record(self, flip=None):
        method = {"zip": 0, "aes128": 1, "aes256": 2}[self.kind]
        key = bytearray(self.key_data)
        if flip is not None:
            key[flip] ^= 1
        return struct.pack("<IBHB", ENCRYPTION, 0, len(key) + 1, method) + bytes(key) + _end()


def _entry(name, data, blocks, cipher=None, flip=None):
    """A non-solid entry: blocks is a list of (method, plain piece, packed piece)."""
    packed = [(m, piece, cipher.block(p) if cipher else p) for m, piece, p in blocks]
    record = cipher.record(flip) if cipher else b""
    return (_file(name, len(data)) + record + _end()
            + b"".join(_block(m, piece, p) for m, piece, p in packed))


# ---- split sets ----------------------------------------------------------------------------

def split(body, cuts, base_id=0x5A170000):
    """The volumes of a split set holding body (everything after the archive header): each
    starts with the same 33 bytes (archive header, split information with the neighbours'
    identifiers, end record); body is cut at the given offsets."""
    pieces = [body[a:b] for a, b in zip([0] + cuts, cuts + [len(body)])]
    volumes = []
    for i, piece in enumerate(pieces):
        previous = base_id + i - 1 if i > 0 else 0
        following = base_id + i + 1 if i + 1 < len(pieces) else 0
        prologue = (struct.pack("<IHII", 0x41474745, 0x0100, base_id + i, 0)
                    + struct.pack("<IBHII", SPLIT, 0, 8, previous, following) + _end())
        assert len(prologue) == 33
        volumes.append(prologue + piece)
    return volumes


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

    # The same entries without the solid record, each file in a block of its own: what the
    # solid pass must say to the host is what the common loop says for this one.
    plain = _header()
    for name, data, attributes in entries:
        plain += _file(name, len(data), attributes) + _end()
        if data:
            plain += _block(1, data, deflate(data))
    _write(os.path.join(root, "plain.egg"), plain + _end())

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
    _write(os.path.join(root, "unknown-record.egg"), _header() + struct.pack("<I", 0x04C63672) + two[18:])
    _write(os.path.join(root, "method3.egg"), _header() + _file("m.txt", len(a)) + _end() + _block(3, a, a) + _end())
    _write(os.path.join(root, "too-long.egg"), _header() + _file("l.txt", 10) + _end() + _block(0, a, a) + _end())
    _write(os.path.join(root, "short-file.egg"), _header() + _file("s.txt", len(a) + 5) + _end() + _block(0, a, a) + _end())
    _write(os.path.join(root, "name779.egg"), _header() + _file("n" * 779, 1) + _end() + _block(0, b"n", b"n") + _end())
    _write(os.path.join(root, "name780.egg"), _header() + _file("n" * 780, 1) + _end() + _block(0, b"n", b"n") + _end())
    # Key data shorter than AES-256's layout.
    short_key = struct.pack("<IBHB", 0x08D1470F, 0, 9, 2) + b"\0" * 8 + _end()
    _write(os.path.join(root, "short-key.egg"), _header() + _file("k.txt", 1) + short_key + _end() + _block(0, b"k", b"k") + _end())

    _make_encrypted(root)
    _make_split(root)


def _tree(root, files):
    for name, data in files.items():
        _write(os.path.join(root, name), data)


def _make_encrypted(root):
    half = plaintext(5000, 4)
    files = {
        "deflate.txt": plaintext(20000, 1),
        "lzma.bin": plaintext(15000, 2),
        "stored.bin": random.Random(3).randbytes(3000),
        "bzip2.txt": plaintext(12000, 5),
        # Two blocks with the same plain data: the same ciphertext, so one authentication code
        # in the key data fits both, and each block must be decrypted from a fresh state.
        "sub/twice.txt": half + half,
    }
    _tree(os.path.join(root, "crypt_src"), files)

    blocks = {
        "deflate.txt": [(1, files["deflate.txt"], deflate(files["deflate.txt"]))],
        "lzma.bin": [(4, files["lzma.bin"], lzma_zip(files["lzma.bin"]))],
        "stored.bin": [(0, files["stored.bin"], files["stored.bin"])],
        "bzip2.txt": [(2, files["bzip2.txt"], bz2.compress(files["bzip2.txt"]))],
        "sub/twice.txt": [(0, half, half), (0, half, half)],
    }

    def entries(kind, flip=None):
        return b"".join(_entry(name, data, blocks[name], Cipher(kind, zlib.crc32(data), seed),
                               flip) for seed, (name, data) in enumerate(files.items()))

    for kind in ("zip", "aes128", "aes256"):
        _write(os.path.join(root, "crypt-%s.egg" % kind), _header() + entries(kind) + _end())
    # The first byte of every entry's authentication code changed: the data decrypts, then
    # fails authentication.
    _write(os.path.join(root, "crypt-badcode.egg"), _header() + entries("aes256", flip=18) + _end())

    # bzip2 blocks, unencrypted: one entry in two blocks, each a whole bzip2 stream.
    text = plaintext(150000, 6)
    cut = 70000
    blocks = [(2, text[:cut], bz2.compress(text[:cut])), (2, text[cut:], bz2.compress(text[cut:]))]
    _write(os.path.join(root, "bzip2.egg"), _header() + _entry("bzip2.txt", text, blocks) + _end())
    _write(os.path.join(root, "bzip2_src", "bzip2.txt"), text)

    # Solid with encryption records on its entries: solid blocks are never decrypted, so even
    # the right password ends in a data or CRC failure.
    a, b = files["deflate.txt"], files["bzip2.txt"]
    cipher = Cipher("aes256", 0, 7)
    block = _block(1, a + b, cipher.block(deflate(a + b)))
    solid = _header(solid=True)
    for name, data in (("a.txt", a), ("b.txt", b)):
        solid += _file(name, len(data)) + cipher.record() + _end()
    _write(os.path.join(root, "solid-crypt.egg"), solid + block + _end())


def _make_split(root):
    big = plaintext(60000, 8)
    named = plaintext(700, 9)
    secret = plaintext(30000, 10)
    # A name that the second border cuts inside a Korean character.
    korean = "\ud55c\uae00 \ud3f4\ub354/\uc774\ub984.txt"
    files = {"big.txt": big, korean: named, "secret.bin": secret}
    _tree(os.path.join(root, "split_src"), files)
    first = _entry("big.txt", big, [(1, big, deflate(big))])
    second = _entry(korean, named, [(0, named, named)])
    third = _entry("secret.bin", secret, [(4, secret, lzma_zip(secret))],
                   Cipher("aes256", zlib.crc32(secret), 11))
    body = first + second + third + _end()
    # Borders: inside the deflate data, inside the second name (its 23 bytes of header lie
    # before it), and inside the encrypted LZMA data.
    name_at = len(first) + 23 + len("\ud55c".encode())
    cuts = [len(first) // 2, name_at + 1, len(first) + len(second) + len(third) // 2]
    for i, volume in enumerate(split(body, cuts)):
        _write(os.path.join(root, "split%d.egg" % (i + 1)), volume)
