"""Encrypted ZIP members made by Info-ZIP zip (traditional encryption) and 7-Zip's 7zz
(traditional and WinZip AES), for the decryption tests.

The tests do not read ZIP files here: for every archive this writes, into crypto/, the member's
stored bytes exactly as they stand in the archive (NAME.member) and the few header facts a
reader would hand to the decoders (NAME.facts, one "key value" per line). Python's zipfile
finds the member; the local header is decoded here for its own flags and time.
"""
import os
import random
import shutil
import struct
import subprocess
import zipfile

PASSWORD = "secret"
# One byte over the WinZip AES limit; Info-ZIP takes it whole.
LONG_PASSWORD = ("0123456789" * 13)[:129]


def plaintext(size, seed):
    """Text that compresses, with random runs in it so that compressed sizes stay large."""
    rng = random.Random(seed)
    words = [b"alpha ", b"beta ", b"gamma ", b"\xed\x95\x9c\xea\xb8\x80 ", b"1234567890 "]
    out = bytearray()
    while len(out) < size:
        if rng.random() < 0.5:
            out += rng.choice(words)
        else:
            out += bytes(rng.randrange(256) for _ in range(8))
    return bytes(out[:size])


def facts_of(archive):
    with zipfile.ZipFile(archive) as z:
        infos = z.infolist()
        assert len(infos) == 1, archive
        info = infos[0]
    raw = open(archive, "rb").read()
    offset = info.header_offset
    (signature, _, flags, method, time, date, _, _, _, name_length,
     extra_length) = struct.unpack("<IHHHHHIIIHH", raw[offset:offset + 30])
    assert signature == 0x04034B50
    extra = raw[offset + 30 + name_length:offset + 30 + name_length + extra_length]
    data_offset = offset + 30 + name_length + extra_length
    encryption = 1 if flags & 1 else 0
    # The AES field 0x9901: vendor version, "AE", strength, then the real method.
    pos = 0
    while pos + 4 <= len(extra):
        tag, size = struct.unpack("<HH", extra[pos:pos + 4])
        body = extra[pos + 4:pos + 4 + size]
        if tag == 0x9901:
            version, vendor, strength, real_method = struct.unpack("<H2sBH", body)
            assert vendor == b"AE" and method == 99
            encryption = 1 + strength
            method = real_method
        pos += 4 + size
    facts = {
        "method": method,
        "encryption": encryption,
        "flags": flags,
        # The central directory's CRC: a local header with flag bit 3 may hold 0 there.
        "crc": info.CRC,
        "dostime": (date << 16) | time,
        "packed": info.compress_size,
        "size": info.file_size,
    }
    member = raw[data_offset:data_offset + info.compress_size]
    return facts, member


def make(out):
    folder = os.path.join(out, "crypto")
    work = os.path.join(folder, "work")
    os.makedirs(work)
    plain = plaintext(200003, 11)
    with open(os.path.join(folder, "plain.bin"), "wb") as f:
        f.write(plain)
    with open(os.path.join(work, "plain.bin"), "wb") as f:
        f.write(plain)

    def run(*args, stdin=None):
        subprocess.run(args, cwd=work, check=True, input=stdin, stdout=subprocess.DEVNULL)

    cases = {
        # Info-ZIP sets flag bit 3 on encrypted entries: the check byte comes from the time.
        "infozip_stored": (PASSWORD, ["zip", "-q", "-e", "-P", PASSWORD, "-0", "A.zip",
                                      "plain.bin"], None),
        "infozip_stdin_deflate": (PASSWORD, ["zip", "-q", "-e", "-P", PASSWORD, "A.zip", "-"],
                                  plain),
        "infozip_long_password": (LONG_PASSWORD, ["zip", "-q", "-e", "-P", LONG_PASSWORD, "-0",
                                                  "A.zip", "plain.bin"], None),
        # 7-Zip leaves flag bit 3 clear: the check byte comes from the CRC.
        "7z_zipcrypto_stored": (PASSWORD, ["7zz", "a", "-tzip", "-mem=ZipCrypto", "-mm=Copy",
                                           "-p" + PASSWORD, "A.zip", "plain.bin"], None),
    }
    for strength in ("AES128", "AES192", "AES256"):
        cases["7z_%s_stored" % strength.lower()] = (
            PASSWORD, ["7zz", "a", "-tzip", "-mem=" + strength, "-mm=Copy", "-p" + PASSWORD,
                       "A.zip", "plain.bin"], None)
    for method in ("Deflate", "BZip2", "LZMA"):
        cases["7z_aes256_%s" % method.lower()] = (
            PASSWORD, ["7zz", "a", "-tzip", "-mem=AES256", "-mm=" + method, "-p" + PASSWORD,
                       "A.zip", "plain.bin"], None)

    for name, (password, command, stdin) in cases.items():
        archive = os.path.join(work, "A.zip")
        if os.path.exists(archive):
            os.remove(archive)
        run(*command, stdin=stdin)
        facts, member = facts_of(archive)
        assert facts["encryption"] != 0, name
        if facts["encryption"] == 1:
            # The tool really took the whole password: Python's own reader agrees.
            with zipfile.ZipFile(archive) as z:
                assert z.read(z.infolist()[0], pwd=password.encode()) == plain, name
        facts["password"] = password
        with open(os.path.join(folder, name + ".member"), "wb") as f:
            f.write(member)
        with open(os.path.join(folder, name + ".facts"), "w") as f:
            for key, value in facts.items():
                f.write("%s %s\n" % (key, value))
    shutil.rmtree(work)
