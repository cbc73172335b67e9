#!/usr/bin/env python3
"""Extracting one entry of a large solid EGG archive against extracting all of it.

A benchmark, not a test: run it on a quiet machine.
    bench/egg_bench.py [--size-mb 200] [--runs 3]
A solid archive decodes every block whatever the selection, so one entry costs nearly what all
do; the difference is the writing. The archive (20 entries, deflate blocks of 8 MiB) is made by
our test writer, since no free program writes EGG. Best of the runs, runs interleaved.
"""
import argparse
import os
import random
import shutil
import subprocess
import sys
import tempfile

from bench_common import MARLOX, ROOT, best_interleaved, build_marlox

sys.path.insert(0, os.path.join(ROOT, "tests", "tools"))
import fixtures_egg  # noqa: E402

BLOCK = 8 << 20


def make_archive(path, size, entries=20):
    rng = random.Random(6)
    words = [w.encode() for w in "the of and archive 압축 해제 solid block entry data".split()]
    part = size // entries
    datas = []
    for _ in range(entries):
        chunk = bytearray()
        while len(chunk) < part:
            chunk += rng.choice(words) + (b"\n" if rng.random() < 0.1 else b" ")
        datas.append(bytes(chunk[:part]))
    with open(path, "wb") as f:
        f.write(fixtures_egg._header(solid=True))
        for i, data in enumerate(datas):
            f.write(fixtures_egg._file("part%02d.txt" % i, len(data)) + fixtures_egg._end())
        stream = b"".join(datas)
        for at in range(0, len(stream), BLOCK):
            piece = stream[at:at + BLOCK]
            f.write(fixtures_egg._block(1, piece, fixtures_egg.deflate(piece)))
        f.write(fixtures_egg._end())
    return datas


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--size-mb", type=int, default=200)
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()

    build_marlox()
    work = tempfile.mkdtemp(prefix="marlox-bench-")
    try:
        archive = os.path.join(work, "solid.egg")
        datas = make_archive(archive, args.size_mb << 20)
        out = os.path.join(work, "out")

        def clean():
            shutil.rmtree(out, ignore_errors=True)
            os.makedirs(out)

        (one, one_peak), (every, every_peak) = best_interleaved(
            [([MARLOX, "extract", "-o", out, archive, "--", "part00.txt"], subprocess.DEVNULL, clean),
             ([MARLOX, "extract", "-o", out, archive], subprocess.DEVNULL, clean)], args.runs)
        with open(os.path.join(out, "part19.txt"), "rb") as f:
            if f.read() != datas[19]:
                raise RuntimeError("marlox extracted the last entry wrongly")
        print(f"solid EGG, {args.size_mb} MiB in 20 entries, best of {args.runs} runs")
        print(f"first entry only {one:7.2f}s  peak {one_peak:6.1f} MiB")
        print(f"all entries      {every:7.2f}s  peak {every_peak:6.1f} MiB")
        print(f"ratio one/all    {one / every:7.2f}")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
