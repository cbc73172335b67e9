"""Entries that fail at extraction, made with Python's zipfile and patched: the staged output
must leave a file already at the target untouched.

make(out) writes into out/staged/:
  crc.zip          data.txt, stored, 300,000 bytes whose recorded CRC-32 is wrong: the failure
                   is found only after every byte was written
  unsupported.zip  data.txt with compression method 98, which no decoder serves
"""
import os
import random
import shutil
import struct
import zipfile


def _zip_one(path, data):
    with zipfile.ZipFile(path, "w", zipfile.ZIP_STORED) as z:
        z.writestr("data.txt", data)


def _patch(path, local_at, central_at, size, value):
    """Writes value over the field at local_at in the local header and at central_at in the
    central record of the archive's only entry."""
    raw = bytearray(open(path, "rb").read())
    central = raw.rindex(b"PK\x01\x02")
    raw[local_at:local_at + size] = value
    raw[central + central_at:central + central_at + size] = value
    with open(path, "wb") as f:
        f.write(bytes(raw))


def make(out):
    base = os.path.join(out, "staged")
    shutil.rmtree(base, ignore_errors=True)
    os.makedirs(base)
    data = random.Random(12).randbytes(300000)

    crc = os.path.join(base, "crc.zip")
    _zip_one(crc, data)
    _patch(crc, 14, 16, 4, struct.pack("<I", zipfile.crc32(data) ^ 0x5A5A5A5A))

    unsupported = os.path.join(base, "unsupported.zip")
    _zip_one(unsupported, data)
    _patch(unsupported, 8, 10, 2, struct.pack("<H", 98))
