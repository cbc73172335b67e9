"""Archives read through the 7-Zip codec library, made by the tools people use: 7zz (7z solid
and not, AES-256 with and without encrypted names, a split set, tar), gcab (CAB), genisoimage
(ISO), makensis (an NSIS installer), lha (LZH), GNU tar (hard links) and Python's tarfile (TAR,
hostile names and links).

make(out) writes into out/codec/: the tree that went in (src/) and the archives.
"""
import io
import os
import random
import shutil
import subprocess
import struct
import tarfile
import zlib

KOREAN = "\ud55c\uae00"  # 한글


def _put(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def _run(*command, cwd=None):
    # A UTF-8 locale, so that 7zz reads a Korean password from its arguments as Korean.
    env = dict(os.environ, LC_ALL="C.UTF-8")
    subprocess.run(command, cwd=cwd, check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, env=env)


def _tar_member(tar, name, data, kind=tarfile.REGTYPE):
    info = tarfile.TarInfo(name)
    info.type = kind
    info.size = len(data)
    info.mtime = 1600000000
    tar.addfile(info, io.BytesIO(data))


# ---- RAR 5: no free program writes it, so a small writer of ours (stored entries) -----------

def _vint(n):
    out = bytearray()
    while True:
        out.append((n & 0x7F) | (0x80 if n > 0x7F else 0))
        n >>= 7
        if not n:
            return bytes(out)


def _rar5_header(kind, body, data_size=None):
    flags = 0x02 if data_size is not None else 0
    fields = _vint(kind) + _vint(flags) + (_vint(data_size) if data_size is not None else b"") + body
    size = _vint(len(fields))
    return struct.pack("<I", zlib.crc32(size + fields)) + size + fields


def rar5(entries):
    """entries: (name, data or None for a folder, method); method 0 stores, others are left to
    the reader (the data is then whatever was given)."""
    out = b"Rar!\x1a\x07\x01\x00" + _rar5_header(1, _vint(0))
    for name, data, method in entries:
        raw = name.encode("utf-8")
        if data is None:
            body = (_vint(0x01 | 0x02) + _vint(0) + _vint(0x10) + struct.pack("<I", 1600000000)
                    + _vint(0) + _vint(0) + _vint(len(raw)) + raw)
            out += _rar5_header(2, body)
            continue
        body = (_vint(0x02 | 0x04) + _vint(len(data)) + _vint(0x20)
                + struct.pack("<II", 1600000000, zlib.crc32(data)) + _vint(method << 7)
                + _vint(0) + _vint(len(raw)) + raw)
        out += _rar5_header(2, body, len(data)) + data
    return out + _rar5_header(5, _vint(0))


# ---- RAR 4 (the format before RAR 5), stored entries likewise --------------------------------

def _rar4_block(kind, flags, body, add=b""):
    rest = struct.pack("<BHH", kind, flags, 7 + len(body)) + body
    return struct.pack("<H", zlib.crc32(rest) & 0xFFFF) + rest + add


def rar4(entries):
    dos_time = (2020 - 1980) << 25 | 9 << 21 | 13 << 16 | 21 << 11 | 26 << 5 | 20
    out = b"Rar!\x1a\x07\x00" + _rar4_block(0x73, 0, bytes(6))
    for name, data in entries:
        raw = name.replace("/", "\\").encode("ascii")
        folder = data is None
        data = data or b""
        # 0x8000: sizes follow; 0xE0: a folder; version 2.0, method 0x30 stores.
        flags = 0x8000 | (0xE0 if folder else 0)
        body = struct.pack("<IIBIIBBHI", len(data), len(data), 2, zlib.crc32(data), dos_time, 20,
                           0x30, len(raw), 0x10 if folder else 0x20) + raw
        out += _rar4_block(0x74, flags, body, data)
    return out + _rar4_block(0x7B, 0, b"")


def _patch_7z_header(path, old, new):
    """Replaces bytes in a 7z archive's plain (uncompressed) header and fixes both CRCs."""
    with open(path, "rb") as f:
        data = bytearray(f.read())
    offset, size = struct.unpack_from("<QQ", data, 12)
    start = 32 + offset
    header = bytes(data[start:start + size])
    assert header.count(old) == 1, "the header holds the value once"
    header = header.replace(old, new)
    data[start:start + size] = header
    struct.pack_into("<I", data, 28, zlib.crc32(header))
    struct.pack_into("<I", data, 8, zlib.crc32(bytes(data[12:32])))
    with open(path, "wb") as f:
        f.write(bytes(data))


def make(out):
    base = os.path.join(out, "codec")
    shutil.rmtree(base, ignore_errors=True)
    rng = random.Random(7)
    src = os.path.join(base, "src")
    words = [b"codec ", b"archive ", KOREAN.encode() + b" ", b"bridge ", b"0123456789\n"]
    text = b"".join(rng.choice(words) for _ in range(6000))
    files = {
        "a.txt": text,
        "sub/b.bin": rng.randbytes(40000),
        "sub/deeper/c.txt": text[:777],
        KOREAN + ".txt": KOREAN.encode() * 10,
        "empty.txt": b"",
    }
    for name, data in files.items():
        _put(os.path.join(src, name), data)
    os.makedirs(os.path.join(src, "empty folder"))
    for root, folders, names in os.walk(src):
        for name in folders + names:
            os.utime(os.path.join(root, name), (1600000000, 1600000000))
    everything = sorted(os.listdir(src))

    def seven(name, *options):
        _run("7zz", "a", "-bd", *options, os.path.join(base, name), *everything, cwd=src)

    seven("solid.7z", "-ms=on", "-m0=lzma2")
    seven("nonsolid.7z", "-ms=off", "-m0=lzma2")
    seven("aes.7z", "-psecret", "-ms=off")
    seven("aes-names.7z", "-psecret", "-mhe=on")
    # Stored and encrypted: a wrong password is only found by the CRC, after the data.
    _run("7zz", "a", "-bd", "-psecret", "-ms=off", "-mx=0", os.path.join(base, "aes-stored.7z"),
         "a.txt", cwd=src)
    seven("korean-password.7z", "-p" + KOREAN + "\uc554\ud638", "-mhe=on")  # 한글암호
    seven("split.7z", "-v20k", "-ms=on", "-mx=0")
    seven("seven.tar", "-ttar")

    # A 7z archive with damaged data: one byte of the packed stream flipped.
    with open(os.path.join(base, "nonsolid.7z"), "rb") as f:
        damaged = bytearray(f.read())
    damaged[64] ^= 0xFF
    _put(os.path.join(base, "damaged.7z"), bytes(damaged))
    # The same cut short: its directory (at the end) is gone.
    _put(os.path.join(base, "cut.7z"), bytes(damaged[:len(damaged) // 2]))

    # gcab keeps the paths it is given, without folder entries.
    _run("gcab", "-c", "-z", os.path.join(base, "files.cab"), "a.txt", "sub/b.bin",
         "sub/deeper/c.txt", cwd=src)
    _run("genisoimage", "-quiet", "-J", "-R", "-o", os.path.join(base, "image.iso"), src)
    _run("lha", "-aq", os.path.join(base, "files.lzh"), "a.txt", "sub", cwd=src)

    nsis = os.path.join(base, "nsis-work")
    os.makedirs(nsis)
    with open(os.path.join(nsis, "setup.nsi"), "w") as f:
        f.write('OutFile "%s"\nInstallDir "$TEMP\\codec"\nSetCompressor /SOLID lzma\n'
                'Section\nSetOutPath "$INSTDIR"\nFile "%s"\nFile "%s"\nSectionEnd\n'
                % (os.path.join(base, "setup.exe"), os.path.join(src, "a.txt"),
                   os.path.join(src, "sub", "deeper", "c.txt")))
    _run("makensis", "-V1", os.path.join(nsis, "setup.nsi"))
    shutil.rmtree(nsis)

    _put(os.path.join(base, "stored.rar"),
         rar5([("sub", None, 0), ("sub/deeper", None, 0), ("a.txt", files["a.txt"], 0),
               ("sub/b.bin", files["sub/b.bin"], 0),
               ("sub/deeper/c.txt", files["sub/deeper/c.txt"], 0)]))
    _put(os.path.join(base, "stored4.rar"),
         rar4([("sub", None), ("sub/deeper", None), ("a.txt", files["a.txt"]),
               ("sub/b.bin", files["sub/b.bin"]), ("sub/deeper/c.txt", files["sub/deeper/c.txt"])]))
    # The same with one byte of a.txt's stored data changed: its CRC no longer matches.
    with open(os.path.join(base, "stored.rar"), "rb") as f:
        damaged_rar = bytearray(f.read())
    damaged_rar[damaged_rar.index(files["a.txt"][:64]) + 100] ^= 0x01
    _put(os.path.join(base, "damaged.rar"), bytes(damaged_rar))
    # A compressed entry (method 3) between two stored ones, for a codec library without RAR's
    # decompressor: the entry fails on its own and the others come out.
    _put(os.path.join(base, "method.rar"),
         rar5([("a.txt", files["a.txt"], 0), ("packed.bin", b"\x55" * 300, 3),
               ("sub/deeper/c.txt", files["sub/deeper/c.txt"], 0)]))

    # TAR entries that try to leave the target folder, between two good ones; and a name long
    # enough that its target reaches the path limit.
    with tarfile.open(os.path.join(base, "hostile.tar"), "w", format=tarfile.GNU_FORMAT) as tar:
        _tar_member(tar, "good1.txt", b"one\n")
        _tar_member(tar, "../escaped.txt", b"out\n")
        _tar_member(tar, "sub/../../escaped2.txt", b"out\n")
        _tar_member(tar, "/absolute.txt", b"out\n")
        _tar_member(tar, "good2.txt", b"two\n")
    with tarfile.open(os.path.join(base, "long.tar"), "w", format=tarfile.GNU_FORMAT) as tar:
        _tar_member(tar, "d" * 100 + "/" + "n" * 150 + ".txt", b"long\n")
    # Its second header broken (a zero inside the size field): the library's TAR reader fails
    # the open after it has read the long name, and must not be asked for items afterwards.
    with open(os.path.join(base, "long.tar"), "rb") as f:
        broken = bytearray(f.read())
    broken[1024 + 130] = 0
    _put(os.path.join(base, "broken-header.tar"), bytes(broken))

    # A file entry blocks the folder a later entry needs; the entry after that is fine.
    with tarfile.open(os.path.join(base, "blocked.tar"), "w", format=tarfile.GNU_FORMAT) as tar:
        _tar_member(tar, "x", b"a file\n")
        _tar_member(tar, "x/y.txt", b"under a file\n")
        _tar_member(tar, "z.txt", b"after\n")

    # Many entries behind a password, stored one by one: a wrong password stops at the first
    # and leaves a long tail of entries that are never written.
    many = os.path.join(base, "many-work")
    for i in range(40):
        _put(os.path.join(many, "f%02d.txt" % i), b"entry %d\n" % i * 50)
    _run("7zz", "a", "-bd", "-psecret", "-ms=off", os.path.join(base, "many-aes.7z"), ".",
         cwd=many)
    shutil.rmtree(many)

    # A solid 7z whose first entries' data is damaged while the last ones are selected alone.
    with open(os.path.join(base, "solid.7z"), "rb") as f:
        damaged_solid = bytearray(f.read())
    damaged_solid[40] ^= 0xFF
    _put(os.path.join(base, "damaged-solid.7z"), bytes(damaged_solid))

    # Real hard links as GNU tar stores them (a link record without data), the second one in a
    # folder, followed by a plain file.
    links = os.path.join(base, "links-work")
    _put(os.path.join(links, "orig.txt"), text[:3000])
    os.makedirs(os.path.join(links, "sub"))
    os.link(os.path.join(links, "orig.txt"), os.path.join(links, "hard.txt"))
    os.link(os.path.join(links, "orig.txt"), os.path.join(links, "sub", "hard2.txt"))
    _put(os.path.join(links, "last.txt"), b"last\n")
    _run("tar", "--format=gnu", "-cf", os.path.join(base, "hardlinks.tar"), "orig.txt",
         "hard.txt", "sub/hard2.txt", "last.txt", cwd=links)
    shutil.rmtree(links)
    # A hard link to a name the archive does not hold.
    with tarfile.open(os.path.join(base, "dangling.tar"), "w", format=tarfile.GNU_FORMAT) as tar:
        info = tarfile.TarInfo("lost.txt")
        info.type = tarfile.LNKTYPE
        info.linkname = "nowhere.txt"
        tar.addfile(info)
        _tar_member(tar, "kept.txt", b"kept\n")

    # Symbolic links out of the target, each followed by an entry through it.
    with tarfile.open(os.path.join(base, "symlinks.tar"), "w", format=tarfile.GNU_FORMAT) as tar:
        for name, target in (("up", ".."), ("upup", "../.."), ("abs", "/tmp")):
            info = tarfile.TarInfo(name)
            info.type = tarfile.SYMTYPE
            info.linkname = target
            tar.addfile(info)
            _tar_member(tar, name + "/marlox-codec-escape.txt", b"escaped\n")
        _tar_member(tar, "inside.txt", b"inside\n")

    # Modification times of 2^63 and more, which no system time can hold.
    for name, value in (("time-top.7z", 0xFFFFFFFFFFFFFFFF), ("time-half.7z", 1 << 63)):
        times = os.path.join(base, "time-work")
        _put(os.path.join(times, "t.txt"), b"timeless\n")
        os.utime(os.path.join(times, "t.txt"), (1600000000, 1600000000))
        _run("7zz", "a", "-bd", "-mhc=off", "-mtc=off", "-mta=off",
             os.path.join(base, name), "t.txt", cwd=times)
        shutil.rmtree(times)
        filetime = (1600000000 + 11644473600) * 10000000
        _patch_7z_header(os.path.join(base, name), struct.pack("<Q", filetime),
                         struct.pack("<Q", value))
