#!/usr/bin/env python3
"""Times listing and extraction of ZIP archives by `marlox` and by unzip, 7zz and bsdtar, in one
run, and prints wall-time ratios and peak memory.

A benchmark, not a test: run it on a quiet machine.
    bench/zip_bench.py [--size-mb 1024] [--entries 100000] [--runs 3]
Inputs: a ZIP of many small text files plus a few large binaries (--size-mb in total), and a
ZIP of --entries tiny entries. ratio = marlox time / the fastest other tool's time.
"""
import argparse
import os
import random
import shutil
import subprocess
import sys
import tempfile
import zipfile

from bench_common import MARLOX, best_interleaved, build_marlox


def make_tree(folder, total):
    rng = random.Random(11)
    words = [w.encode() for w in "zip archive 압축 해제 entry folder data text speed".split()]
    small_total = total // 5
    count = 0
    written = 0
    while written < small_total:
        path = os.path.join(folder, "text", "d%03d" % (count // 200), "f%05d.txt" % count)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        size = rng.randrange(1000, 20000)
        body = b" ".join(rng.choice(words) for _ in range(size // 6))
        with open(path, "wb") as f:
            f.write(body)
        written += len(body)
        count += 1
    large = (total - written) // 4
    os.makedirs(os.path.join(folder, "bin"))
    for i in range(4):
        with open(os.path.join(folder, "bin", "blob%d.bin" % i), "wb") as f:
            left = large
            while left > 0:
                # Half random, half repetitive: compresses to about 60%.
                piece = rng.randbytes(1 << 19) + bytes([i]) * (1 << 19)
                f.write(piece[:left])
                left -= len(piece)
    return count


def tools(archive, out):
    return {
        "marlox": ([MARLOX, "list", archive], [MARLOX, "extract", "-o", out, archive]),
        "unzip": (["unzip", "-l", archive], ["unzip", "-q", "-o", archive, "-d", out]),
        "7zz": (["7zz", "l", archive], ["7zz", "x", "-y", "-o" + out, archive]),
        "bsdtar": (["bsdtar", "-tf", archive], ["bsdtar", "-xf", archive, "-C", out]),
    }


def measure(label, archive, work, runs):
    out = os.path.join(work, "out")

    def clean():
        shutil.rmtree(out, ignore_errors=True)
        os.makedirs(out)

    available = {name: commands for name, commands in tools(archive, out).items()
                 if shutil.which(commands[0][0]) or os.path.exists(commands[0][0])}
    jobs = []
    for list_command, extract_command in available.values():
        jobs.append((list_command, subprocess.DEVNULL, None))
        jobs.append((extract_command, subprocess.DEVNULL, clean))
    best = best_interleaved(jobs, runs)
    results = {name: (best[2 * i], best[2 * i + 1]) for i, name in enumerate(available)}
    print(f"\n{label}: {os.path.getsize(archive) / 2**20:.0f} MiB archive, best of {runs}")
    print(f"{'tool':8} {'list':>9} {'peak':>8} {'extract':>9} {'peak':>8}")
    for name, ((lt, lm), (et, em)) in results.items():
        print(f"{name:8} {lt:8.2f}s {lm:6.0f}MB {et:8.2f}s {em:6.0f}MB")
    others = [v for k, v in results.items() if k != "marlox"]
    if "marlox" in results and others:
        fastest_list = min(v[0][0] for v in others)
        fastest_extract = min(v[1][0] for v in others)
        ours = results["marlox"]
        print(f"ratio to the fastest: list {ours[0][0] / fastest_list:.2f}, "
              f"extract {ours[1][0] / fastest_extract:.2f}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--size-mb", type=int, default=1024)
    parser.add_argument("--entries", type=int, default=100000)
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()
    build_marlox()
    work = tempfile.mkdtemp(prefix="marlox-zipbench-")
    try:
        tree = os.path.join(work, "tree")
        os.makedirs(tree)
        files = make_tree(tree, args.size_mb << 20)
        mixed = os.path.join(work, "mixed.zip")
        subprocess.run(["zip", "-q", "-r", mixed, "."], cwd=tree, check=True)
        shutil.rmtree(tree)
        measure(f"mixed ({files} text files + 4 binaries)", mixed, work, args.runs)
        os.remove(mixed)

        many = os.path.join(work, "many.zip")
        with zipfile.ZipFile(many, "w", zipfile.ZIP_DEFLATED) as z:
            for i in range(args.entries):
                z.writestr("d%03d/e%06d.txt" % (i % 500, i), b"entry %d\n" % i)
        measure(f"{args.entries} entries", many, work, args.runs)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
