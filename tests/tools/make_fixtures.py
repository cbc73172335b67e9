#!/usr/bin/env python3
"""Makes the archive fixtures the tests read, with real tools we did not write: gzip, bzip2 and
tar, and Python's zlib and lzma modules for raw deflate and LZMA streams.

Usage: make_fixtures.py OUTPUT_FOLDER
Every fixture is made fresh; both the Linux and the Windows test programs read the folder.
"""
import bz2
import glob
import importlib.util
import lzma
import os
import random
import shutil
import struct
import subprocess
import sys
import zlib


def pattern(size, seed):
    rng = random.Random(seed)
    words = [b"alpha ", b"beta ", b"gamma ", b"\xed\x95\x9c\xea\xb8\x80 ", b"1234567890 "]
    out = bytearray()
    while len(out) < size:
        out += rng.choice(words)
        if rng.random() < 0.05:
            out += bytes(rng.randrange(256) for _ in range(16))
    return bytes(out[:size])


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def run(*args, cwd):
    subprocess.run(args, cwd=cwd, check=True)


def zip_lzma(data, props_size=5):
    """LZMA data in the ZIP form: version, properties size, properties, then the stream."""
    filters = [{"id": lzma.FILTER_LZMA1, "dict_size": 1 << 16}]
    props = lzma._encode_filter_properties(filters[0])
    stream = lzma.compress(data, format=lzma.FORMAT_RAW, filters=filters)
    return struct.pack("<BBH", 9, 20, props_size) + props + stream


def main():
    out = os.path.abspath(sys.argv[1])
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    work = os.path.join(out, "work")
    os.makedirs(work)

    text = pattern(300000, 1)
    write(os.path.join(out, "plain.bin"), text)

    # gzip with a stored name and time, and from standard input (no name).
    write(os.path.join(work, "report.txt"), text)
    os.utime(os.path.join(work, "report.txt"), (1600000000, 1600000000))
    run("gzip", "-9", "-N", "-k", "report.txt", cwd=work)
    shutil.copy(os.path.join(work, "report.txt.gz"), os.path.join(out, "renamed.gz"))
    with open(os.path.join(out, "stdin.gz"), "wb") as f:
        subprocess.run(["gzip", "-c", "-n"], input=text, stdout=f, check=True)
    shutil.copy(os.path.join(out, "stdin.gz"), os.path.join(out, "upper.TGZ"))

    # Two members: concatenated gzip output, as parallel compressors write it.
    first, second = text[:100000], text[100000:]
    a = subprocess.run(["gzip", "-c", "-n"], input=first, stdout=subprocess.PIPE, check=True).stdout
    b = subprocess.run(["gzip", "-c", "-n"], input=second, stdout=subprocess.PIPE, check=True).stdout
    write(os.path.join(out, "members.gz"), a + b)
    write(os.path.join(out, "garbage.gz"), a + b"trailing garbage, not a member")

    # Files whose last eight bytes read 0, which gzip -d decodes in full: zero padding after
    # the member (as on tapes and disk images), and an empty last member. An ISIZE of 0 over
    # real data is what a 4 GiB image looks like; here it is patched into a small member.
    empty = subprocess.run(["gzip", "-c", "-n"], input=b"", stdout=subprocess.PIPE, check=True).stdout
    write(os.path.join(out, "empty.gz"), empty)
    whole = subprocess.run(["gzip", "-c", "-n"], input=text, stdout=subprocess.PIPE, check=True).stdout
    write(os.path.join(out, "padded.gz"), whole + bytes(4096))
    write(os.path.join(out, "empty-last.gz"), whole + empty)
    write(os.path.join(out, "isize-zero.gz"), whole[:-4] + bytes(4))

    # A comment and a name in one header: gzip writes the name; the comment is spliced in.
    named = open(os.path.join(work, "report.txt.gz"), "rb").read()
    name_end = named.index(b"\0", 10) + 1
    commented = bytearray(named[:name_end]) + b"a comment\0" + named[name_end:]
    commented[3] |= 0x10
    write(os.path.join(out, "commented.gz"), bytes(commented))

    # Damage: a wrong CRC in the trailer, and deflate data cut short.
    damaged = bytearray(a)
    damaged[-8] ^= 0xFF
    write(os.path.join(out, "badcrc.gz"), bytes(damaged))
    write(os.path.join(out, "cut.gz"), a[: len(a) // 2])

    # tar inside gzip and bzip2.
    tree = os.path.join(work, "tree")
    os.makedirs(os.path.join(tree, "sub"))
    write(os.path.join(tree, "one.txt"), pattern(5000, 2))
    write(os.path.join(tree, "sub", "two.bin"), pattern(70000, 3))
    run("tar", "cf", os.path.join(out, "tree.tar"), "tree", cwd=work)
    run("tar", "czf", os.path.join(out, "tree.tgz"), "tree", cwd=work)
    run("tar", "cjf", os.path.join(out, "tree.tar.bz2"), "tree", cwd=work)
    shutil.copy(os.path.join(out, "tree.tar.bz2"), os.path.join(out, "tree.tbz2"))

    # bzip2: one stream, two streams, and damage.
    with open(os.path.join(out, "text.bz2"), "wb") as f:
        subprocess.run(["bzip2", "-c"], input=text, stdout=f, check=True)
    c = subprocess.run(["bzip2", "-c"], input=first, stdout=subprocess.PIPE, check=True).stdout
    d = subprocess.run(["bzip2", "-c"], input=second, stdout=subprocess.PIPE, check=True).stdout
    write(os.path.join(out, "streams.bz2"), c + d)
    broken = bytearray(c)
    broken[len(broken) // 2] ^= 0x55
    write(os.path.join(out, "broken.bz2"), bytes(broken))

    # Raw streams for the decoders.
    raw = zlib.compressobj(9, zlib.DEFLATED, -15)
    write(os.path.join(out, "raw.deflate"), raw.compress(text) + raw.flush())
    write(os.path.join(out, "raw.lzma"), zip_lzma(text))
    write(os.path.join(out, "props4.lzma"), zip_lzma(text, props_size=4))
    write(os.path.join(out, "raw.bz2"), bz2.compress(text))

    shutil.rmtree(work)

    # Each area's own fixtures: tests/tools/fixtures_*.py, each with make(output_folder).
    here = os.path.dirname(os.path.abspath(__file__))
    for script in sorted(glob.glob(os.path.join(here, "fixtures_*.py"))):
        loader = importlib.util.spec_from_file_location(os.path.basename(script)[:-3], script)
        module = importlib.util.module_from_spec(loader)
        loader.loader.exec_module(module)
        module.make(out)


if __name__ == "__main__":
    main()
