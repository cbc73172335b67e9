"""Deflate64 streams for the decoder's tests, written by 7-Zip's 7zz into ZIP archives and cut
out of them with Python's zipfile, plus two streams of our own: the longest match and the
empty stream.

make(out) writes into out/deflate64/, for each stream NAME:
  NAME.d64    the entry's stored bytes (for the encrypted entry, with its 12-byte header)
  NAME.plain  what they decode to
and secret.check, the one check byte the password test needs.
"""
import os
import random
import shutil
import struct
import subprocess
import zipfile

PASSWORD = "secret"


def _write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def _inputs():
    rng = random.Random(64)
    words = [b"deflate ", b"window ", "\ud55c\uae00 ".encode(), b"block ", b"0123456789 "]

    def text(n):
        out = bytearray()
        while len(out) < n:
            out += rng.choice(words)
        return bytes(out[:n])

    # Repeats 48 and 60 KiB apart can only be matched at distances past 32 KiB, which only
    # distance codes 30 and 31 reach.
    near = rng.randbytes(48 * 1024) * 4
    far = rng.randbytes(60 * 1024) * 4
    # A long run of one byte: match after match of the longest length 7zz writes, at distance 1.
    run = b"\x5a" * (200 * 1024)
    # A few MB of text, noise and runs: many blocks, of every kind the encoder chooses.
    mixed = bytearray()
    while len(mixed) < 3 * 1024 * 1024:
        kind = rng.randrange(4)
        if kind == 0:
            mixed += rng.randbytes(rng.randrange(1, 40000))
        elif kind == 1:
            mixed += bytes([rng.randrange(256)]) * rng.randrange(1, 70000)
        else:
            mixed += text(rng.randrange(1, 200000))
    return {
        "near": near,
        "far": far,
        "run": run,
        "mixed": bytes(mixed),
    }


def _stored_data(archive, name):
    """The entry's stored bytes and the check byte a traditional cipher would compare."""
    with zipfile.ZipFile(archive) as z:
        info = z.getinfo(name)
        assert info.compress_type == 9, (name, info.compress_type)
    with open(archive, "rb") as f:
        f.seek(info.header_offset)
        header = f.read(30)
        signature, _, flags, _, dos_time, _, _, _, _, name_len, extra_len = struct.unpack(
            "<IHHHHHIIIHH", header)
        assert signature == 0x04034B50
        f.seek(info.header_offset + 30 + name_len + extra_len)
        data = f.read(info.compress_size)
    check = (dos_time >> 8) if flags & 8 else (info.CRC >> 24)
    return data, check & 0xFF


class _Bits:
    """Deflate's bit order: fields least significant bit first, Huffman codes most
    significant bit first."""

    def __init__(self):
        self.out = bytearray()
        self.acc = 0
        self.count = 0

    def put(self, value, count):
        self.acc |= value << self.count
        self.count += count
        while self.count >= 8:
            self.out.append(self.acc & 0xFF)
            self.acc >>= 8
            self.count -= 8

    def code(self, code, length):
        self.put(int(format(code, "0%db" % length)[::-1], 2), length)

    def align(self):
        if self.count:
            self.put(0, 8 - self.count)

    def bytes(self):
        self.align()
        return bytes(self.out)


def _longest_match():
    """64 KiB of noise in two stored blocks, then a fixed block holding one match of the
    longest length (code 285, 16 extra bits all ones: 65538) at the longest distance (code 31,
    14 extra bits all ones: 65536). No encoder we have is known to write exactly this."""
    history = random.Random(65538).randbytes(65536)
    bits = _Bits()
    for half in (history[:32768], history[32768:]):
        bits.put(0, 1)  # not final
        bits.put(0, 2)  # stored
        bits.align()
        bits.put(len(half), 16)
        bits.put(len(half) ^ 0xFFFF, 16)
        for byte in half:
            bits.put(byte, 8)
    bits.put(1, 1)  # final
    bits.put(1, 2)  # fixed Huffman codes
    bits.code(0b11000000 + (285 - 280), 8)
    bits.put(0xFFFF, 16)
    bits.code(31, 5)
    bits.put(0x3FFF, 14)
    bits.code(0, 7)  # end of block
    plain = history + history + history[:2]
    return bits.bytes(), plain


def make(out):
    base = os.path.join(out, "deflate64")
    shutil.rmtree(base, ignore_errors=True)
    work = os.path.join(base, "work")
    os.makedirs(work)
    inputs = _inputs()
    for name, data in inputs.items():
        _write(os.path.join(work, name), data)
    quiet = {"stdout": subprocess.DEVNULL, "stderr": subprocess.DEVNULL, "check": True}
    subprocess.run(["7zz", "a", "-tzip", "-mm=Deflate64", "plain.zip"] + list(inputs),
                   cwd=work, **quiet)
    subprocess.run(["7zz", "a", "-tzip", "-mm=Deflate64", "-mem=ZipCrypto",
                    "-p" + PASSWORD, "secret.zip", "mixed"], cwd=work, **quiet)

    for name, data in inputs.items():
        stored, _ = _stored_data(os.path.join(work, "plain.zip"), name)
        _write(os.path.join(base, name + ".d64"), stored)
        _write(os.path.join(base, name + ".plain"), data)
    stored, check = _stored_data(os.path.join(work, "secret.zip"), "mixed")
    _write(os.path.join(base, "secret.d64"), stored)
    _write(os.path.join(base, "secret.plain"), inputs["mixed"])
    _write(os.path.join(base, "secret.check"), bytes([check]))

    stream, plain = _longest_match()
    _write(os.path.join(base, "longest.d64"), stream)
    _write(os.path.join(base, "longest.plain"), plain)
    # 7zz stores an empty file rather than compress it; an empty stream is one fixed block
    # holding only its end code.
    bits = _Bits()
    bits.put(1, 1)
    bits.put(1, 2)
    bits.code(0, 7)
    _write(os.path.join(base, "empty.d64"), bits.bytes())
    _write(os.path.join(base, "empty.plain"), b"")
    shutil.rmtree(work)
