"""Archives read through the 7-Zip codec library, made by the tools people use: 7zz (7z solid
and not, AES-256 with and without encrypted names, a split set, tar), gcab (CAB), genisoimage
(ISO), makensis (an NSIS installer), lha (LZH) and Python's tarfile (TAR, hostile names).

make(out) writes into out/codec/: the tree that went in (src/) and the archives.
"""
import io
import os
import random
import shutil
import subprocess
import tarfile

KOREAN = "\ud55c\uae00"  # 한글


def _put(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def _run(*command, cwd=None):
    subprocess.run(command, cwd=cwd, check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)


def _tar_member(tar, name, data, kind=tarfile.REGTYPE):
    info = tarfile.TarInfo(name)
    info.type = kind
    info.size = len(data)
    info.mtime = 1600000000
    tar.addfile(info, io.BytesIO(data))


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
