#!/usr/bin/env python3
"""Times `marlox extract` against the tools people use on the same inputs and prints ratios.

A benchmark, not a test: run it on a quiet machine.
    bench/extract_bench.py [--size-mb 100] [--runs 3]
It builds the optimised Linux preset, makes a 100 MB input (text-like, with some binary runs),
compresses it with gzip and bzip2, and times decompression to a file by each tool. The same
input also goes into an ALZ archive as one entry in ALZ's bzip2 variant (real bzip2 blocks
rewrapped by our test writer), timed against `bzip2 -dc` on the .bz2. The best of
the runs counts; ratio = marlox time / reference time (below 1 means marlox is faster).
"""
import argparse
import filecmp
import os
import random
import shutil
import subprocess
import sys
import tempfile

from bench_common import MARLOX, ROOT, best_interleaved, build_marlox

sys.path.insert(0, os.path.join(ROOT, "tests", "tools"))
import fixtures_alz  # noqa: E402


def make_input(path, size):
    rng = random.Random(42)
    words = [w.encode() for w in "the of and archive 압축 해제 extract folder file entry data".split()]
    with open(path, "wb") as f:
        written = 0
        while written < size:
            chunk = bytearray()
            while len(chunk) < 1 << 20:
                if rng.random() < 0.02:
                    chunk += rng.randbytes(64)
                else:
                    chunk += rng.choice(words) + b" "
            f.write(chunk)
            written += len(chunk)
        f.truncate(size)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--size-mb", type=int, default=100)
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()

    build_marlox()

    work = tempfile.mkdtemp(prefix="marlox-bench-")
    try:
        data = os.path.join(work, "data.bin")
        make_input(data, args.size_mb << 20)
        subprocess.run(["gzip", "-k", "-6", data], check=True)
        subprocess.run(["bzip2", "-k", "-9", data], check=True)
        with open(data, "rb") as f:
            content = f.read()
        with open(data + ".alz", "wb") as f:
            f.write(fixtures_alz.archive(fixtures_alz.entry(
                "data.bin", content, "bzip2", 4, stored=fixtures_alz.alz_bzip2_by_pieces(content))))
        del content
        print(f"input: {args.size_mb} MiB, best of {args.runs} runs")
        print(f"{'format':8} {'reference':>12} {'marlox':>10} {'ratio':>7}")
        for suffix, tool in ((".gz", "gzip"), (".bz2", "bzip2"), (".alz", "bzip2")):
            archive = data + suffix
            reference_input = data + (".bz2" if suffix == ".alz" else suffix)
            out = os.path.join(work, "out")

            def clean():
                shutil.rmtree(out, ignore_errors=True)
                os.makedirs(out)

            with open(os.path.join(work, "ref.out"), "wb") as sink:
                (reference, _), (ours, _) = best_interleaved(
                    [([tool, "-dc", reference_input], sink, lambda: sink.truncate(0)),
                     ([MARLOX, "extract", "-o", out, archive], subprocess.DEVNULL, clean)],
                    args.runs)
            extracted = os.path.join(out, "data.bin")
            if not filecmp.cmp(extracted, data, shallow=False):
                raise RuntimeError("marlox extracted %s wrongly" % suffix)
            print(f"{suffix:8} {reference:11.2f}s {ours:9.2f}s {ours / reference:7.2f}")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
