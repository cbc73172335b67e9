"""ZIP fixtures made by the tools people use: Info-ZIP zip, 7-Zip's 7zz and Python's zipfile.

make(out) writes into out/zip/: src/ (the tree that went in), and the archives. Damaged
variants are made by patching bytes of archives those tools wrote. Every archive's expected
content is the src tree, unless zip_cases.txt (written here) says otherwise.
"""
import io
import os
import random
import shutil
import struct
import subprocess
import time
import zipfile
import zlib

# Times in the archives are local: make them in the zone the tests run in.
os.environ["TZ"] = "KST-9"
time.tzset()

KOREAN = "\ud55c\uae00"  # 한글


def _write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def _tree(src):
    rng = random.Random(5)
    words = [b"zip ", b"archive ", "\ud55c\uae00 ".encode(), b"entry ", b"0123456789 "]
    def text(n):
        out = bytearray()
        while len(out) < n:
            out += rng.choice(words)
        return bytes(out[:n])
    _write(os.path.join(src, "readme.txt"), text(3000))
    _write(os.path.join(src, "empty.txt"), b"")
    _write(os.path.join(src, "docs", "big.txt"), text(400000))
    _write(os.path.join(src, "docs", "random.bin"), rng.randbytes(140000))
    _write(os.path.join(src, "docs", KOREAN + ".txt"), text(5000))
    os.makedirs(os.path.join(src, "empty folder"))
    stamp = 1700000000  # an even second, exact in DOS time
    for root, dirs, files in os.walk(src):
        for name in files + dirs:
            os.utime(os.path.join(root, name), (stamp, stamp))


def _run(args, cwd, env=None):
    subprocess.run(args, cwd=cwd, check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, env=env)


def make(out):
    base = os.path.join(out, "zip")
    shutil.rmtree(base, ignore_errors=True)
    src = os.path.join(base, "src")
    _tree(src)
    items = ["readme.txt", "empty.txt", "docs", "empty folder"]
    cases = []

    # Info-ZIP stores the UTF-8 names of this system without the UTF-8 flag: such archives are
    # read with code page 65001 chosen, as a user would choose it.
    def infozip(name, *options, expected="src"):
        _run(["zip", "-q", "-r", *options, os.path.join(base, name), *items], cwd=src)
        cases.append((name, expected, 65001))

    def sevenzip(name, *options, expected="src"):
        _run(["7zz", "a", "-tzip", *options, os.path.join(base, name), *items], cwd=src)
        cases.append((name, expected, 0))

    infozip("infozip.zip")
    infozip("infozip-bzip2.zip", "-Z", "bzip2")
    infozip("infozip-store.zip", "-0")
    infozip("infozip-crypt.zip", "-P", "secret")
    # A split set: .z01, .z02 ... and the .zip last.
    infozip("infozip-split.zip", "-s", "64k")
    # A self-extractor: a program stub in front, offsets adjusted with -A.
    stub = b"MZ" + bytes(random.Random(9).randbytes(69998))
    shutil.copy(os.path.join(base, "infozip.zip"), os.path.join(base, "plain-copy.zip"))
    with open(os.path.join(base, "sfx-adjusted.exe"), "wb") as f:
        f.write(stub + open(os.path.join(base, "plain-copy.zip"), "rb").read())
    _run(["zip", "-q", "-A", os.path.join(base, "sfx-adjusted.exe")], cwd=base)
    cases.append(("sfx-adjusted.exe", "src", 65001))
    # The same stub simply put in front: the offsets still count from the archive.
    with open(os.path.join(base, "sfx-prepended.exe"), "wb") as f:
        f.write(stub + open(os.path.join(base, "infozip-crypt.zip"), "rb").read())
    cases.append(("sfx-prepended.exe", "src", 65001))
    os.remove(os.path.join(base, "plain-copy.zip"))

    # Traditional encryption of standard input: sizes in a data descriptor (flag bit 3).
    piped = subprocess.run(["zip", "-q", "-P", "secret", "-", "-"], input=b"piped data\n" * 500,
                           stdout=subprocess.PIPE, check=True).stdout
    _write(os.path.join(base, "infozip-stdin.zip"), piped)

    for method in ("Copy", "Deflate", "Deflate64", "BZip2", "LZMA"):
        sevenzip("7z-%s.zip" % method.lower(), "-mm=" + method, "-mcu=on")
    for strength in ("AES128", "AES192", "AES256"):
        sevenzip("7z-%s.zip" % strength.lower(), "-mem=" + strength, "-psecret")
    sevenzip("7z-deflate64-crypt.zip", "-mm=Deflate64", "-mem=ZipCrypto", "-psecret")

    # Python's zipfile: ZIP64 headers, every method, data descriptors, a long comment.
    def pyzip(name, compression, force_zip64=False, stream=False, comment=b""):
        buffer = io.BytesIO()
        class Unseekable(io.RawIOBase):
            def writable(self):
                return True
            def write(self, b):
                return buffer.write(b)
        target = Unseekable() if stream else buffer
        with zipfile.ZipFile(target, "w", compression) as z:
            for root, dirs, files in sorted(os.walk(src)):
                for d in sorted(dirs):
                    path = os.path.join(root, d)
                    z.write(path, os.path.relpath(path, src))
                for f in sorted(files):
                    path = os.path.join(root, f)
                    info = zipfile.ZipInfo.from_file(path, os.path.relpath(path, src))
                    info.compress_type = compression
                    with z.open(info, "w", force_zip64=force_zip64) as w, open(path, "rb") as r:
                        w.write(r.read())
            z.comment = comment
        _write(os.path.join(base, name), buffer.getvalue())
        cases.append((name, "src", 0))

    pyzip("py-zip64.zip", zipfile.ZIP_DEFLATED, force_zip64=True)
    pyzip("py-stored.zip", zipfile.ZIP_STORED)
    pyzip("py-bzip2.zip", zipfile.ZIP_BZIP2)
    pyzip("py-lzma.zip", zipfile.ZIP_LZMA)
    pyzip("py-stream.zip", zipfile.ZIP_DEFLATED, stream=True)
    pyzip("py-comment.zip", zipfile.ZIP_DEFLATED, comment=b"c" * 40000)

    # More entries than a 16-bit count holds.
    with zipfile.ZipFile(os.path.join(base, "py-many.zip"), "w", zipfile.ZIP_STORED) as z:
        for i in range(70000):
            z.writestr("d%02d/f%05d.txt" % (i % 100, i), b"%d" % i)

    # Names in code page 949, as Korean Windows tools write them: Info-ZIP stores the bytes of
    # the file names as they are.
    legacy = os.path.join(base, "legacy")
    korean949 = KOREAN.encode("cp949")
    os.makedirs(os.path.join(legacy.encode(), korean949))
    _write(os.path.join(legacy.encode(), korean949, korean949 + b".txt"), b"cp949 name")
    _run(["zip", "-q", "-r", os.path.join(base, "cp949.zip"), korean949], cwd=legacy)
    shutil.rmtree(legacy)
    _write(os.path.join(base, "cp949-expected", KOREAN, KOREAN + ".txt"), b"cp949 name")
    cases.append(("cp949.zip", "cp949-expected", 949))

    # Written to a pipe and cut short (a download that stopped): the sizes and CRCs are only
    # in the data descriptors. Info-ZIP through a pipe, Python to a stream that cannot seek,
    # with 32- and 64-bit descriptors; and one whose descriptors lack their signature.
    piped = subprocess.run(["zip", "-q", "-r", "-", *items], cwd=src, stdout=subprocess.PIPE,
                           check=True).stdout
    _write(os.path.join(base, "pipe.zip"), piped)
    pyzip("py-stream64.zip", zipfile.ZIP_DEFLATED, force_zip64=True, stream=True)
    cases.pop()
    def cut_before_directory(name):
        data = open(os.path.join(base, name), "rb").read()
        return data[:data.index(b"PK\x01\x02")]
    for name in ("pipe.zip", "py-stream.zip", "py-stream64.zip"):
        _write(os.path.join(base, name[:-4] + "-cut.zip"), cut_before_directory(name))
    bare = cut_before_directory("py-stream.zip").replace(b"PK\x07\x08", b"")
    _write(os.path.join(base, "py-stream-bare-cut.zip"), bare)
    # Zeros after the last descriptor, as a download that was padded: only decoding that entry
    # to the end of its deflate stream finds its descriptor.
    _write(os.path.join(base, "py-stream-padded-cut.zip"),
           cut_before_directory("py-stream.zip") + bytes(300))
    # Cut inside the data of docs/random.bin.
    data = open(os.path.join(base, "pipe-cut.zip"), "rb").read()
    _write(os.path.join(base, "pipe-cut-in-data.zip"), data[:data.index(b"docs/random.bin") + 5000])

    # Names in the Chinese and Japanese code pages whose last byte is 0x5C, the second byte of
    # the character (表 is 95 5C in 932), written without the UTF-8 flag as those systems do.
    class LegacyName(zipfile.ZipInfo):
        def _encodeFilenameFlags(self):
            return self.raw_name, self.flag_bits
    for code_page, names in ((932, ["\u8868", "\u30bd", "dir\\", "dir/\u8868"]),
                             (950, ["\u529f", "\u8a31"]), (936, ["\u4e57"])):
        with zipfile.ZipFile(os.path.join(base, "cp%d-5c.zip" % code_page), "w") as z:
            for name in names:
                info = LegacyName(name)
                info.raw_name = name.encode("gbk" if code_page == 936 else "cp%d" % code_page)
                info.compress_type = zipfile.ZIP_DEFLATED
                z.writestr(info, name.encode("utf-8") * 20)

    # Damage made from real archives.
    good = open(os.path.join(base, "7z-aes256.zip"), "rb").read()
    first = zipfile.ZipFile(os.path.join(base, "7z-aes256.zip")).infolist()
    big = [i for i in first if i.filename.endswith("big.txt")][0]
    local_name_len, local_extra_len = struct.unpack("<HH", good[big.header_offset + 26:big.header_offset + 30])
    data_start = big.header_offset + 30 + local_name_len + local_extra_len
    code_at = data_start + big.compress_size - 10  # the authentication code ends the data
    bad = bytearray(good)
    bad[code_at] ^= 0x01
    _write(os.path.join(base, "aes-badcode.zip"), bytes(bad))
    bad = bytearray(good)
    bad[data_start + 100] ^= 0x01
    _write(os.path.join(base, "aes-baddata.zip"), bytes(bad))

    plain = open(os.path.join(base, "infozip.zip"), "rb").read()
    end = plain.rindex(b"PK\x05\x06")
    central = struct.unpack("<I", plain[end + 16:end + 20])[0]
    # The central directory offset points past the end of the file.
    broken = bytearray(plain)
    broken[end + 16:end + 20] = struct.pack("<I", len(plain) + 1000)
    _write(os.path.join(base, "cd-past-end.zip"), bytes(broken))
    # The second central record is overwritten: the first entries stay listed.
    second = plain.index(b"PK\x01\x02", central + 4)
    broken = bytearray(plain)
    broken[second:second + 4] = b"XXXX"
    _write(os.path.join(base, "cd-damaged.zip"), bytes(broken))
    # An end record that claims a comment far longer than the file.
    broken = bytearray(plain)
    broken[end + 20:end + 22] = struct.pack("<H", 65535)
    _write(os.path.join(base, "huge-comment.zip"), bytes(broken))

    # Hostile: names that leave the target folder, and an entry claiming more data than exists.
    with zipfile.ZipFile(os.path.join(base, "hostile.zip"), "w") as z:
        for name in ("../evil.txt", "/abs.txt", "C:/drive.txt", "a/../../up.txt", "ok.txt"):
            info = zipfile.ZipInfo("x")
            info.filename = name  # as written: zipfile would clean it otherwise
            z.writestr(info, b"payload")
    stored = open(os.path.join(base, "infozip-store.zip"), "rb").read()
    end = stored.rindex(b"PK\x05\x06")
    first = struct.unpack("<I", stored[end + 16:end + 20])[0]
    broken = bytearray(stored)
    broken[first + 20:first + 24] = struct.pack("<I", 0x7FFFFFF0)
    _write(os.path.join(base, "size-beyond.zip"), bytes(broken))
    plain = open(os.path.join(base, "infozip.zip"), "rb").read()
    end = plain.rindex(b"PK\x05\x06")
    central = struct.unpack("<I", plain[end + 16:end + 20])[0]
    first = central
    # Two central records for the same local header.
    record_end = plain.index(b"PK\x01\x02", first + 4)
    duplicated = plain[:record_end] + plain[first:record_end] + plain[record_end:end]
    count = struct.unpack("<H", plain[end + 10:end + 12])[0] + 1
    tail = bytearray(plain[end:])
    tail[8:10] = struct.pack("<H", count)
    tail[10:12] = struct.pack("<H", count)
    tail[12:16] = struct.pack("<I", len(duplicated) - central)
    _write(os.path.join(base, "overlap.zip"), duplicated + bytes(tail))

    # Fields of unusual sizes, for tests that make exactly that allocation fail: a directory
    # comment of 40,009 bytes on the second entry, a local extra field of 30,011 on the third.
    with zipfile.ZipFile(os.path.join(base, "odd-sizes.zip"), "w") as z:
        z.writestr("first.txt", b"first")
        commented = zipfile.ZipInfo("second.txt")
        commented.comment = b"c" * 40009
        z.writestr(commented, b"second")
        extended = zipfile.ZipInfo("third.txt")
        extended.extra = struct.pack("<HH", 0xCAFE, 30007) + bytes(30007)
        z.writestr(extended, b"third")

    # The overlapping-file bomb: every entry's stored data is everything after its own local
    # header, the later entries' headers included, so that each byte is extracted many times.
    kernel = b"overlap " * 500
    tail, records = kernel, []
    for k in reversed(range(4)):
        name = b"bomb%d.txt" % k
        crc = zlib.crc32(tail)
        header = struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, 0, 0, 0x21, crc, len(tail),
                             len(tail), len(name), 0) + name
        records.insert(0, (name, crc, len(tail)))
        tail = header + tail
    central, offset = b"", 0
    for name, crc, size in records:
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, 0, 0, 0, 0x21, crc,
                               size, size, len(name), 0, 0, 0, 0, 0, offset) + name
        offset += 30 + len(name)
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 4, 4, len(central), len(tail), 0)
    _write(os.path.join(base, "overlap-bomb.zip"), tail + central + end)

    with open(os.path.join(base, "cases.txt"), "w") as f:
        for name, expected, code_page in cases:
            f.write("%s\t%s\t%d\n" % (name, expected, code_page))
