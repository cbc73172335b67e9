"""Shared pieces of the benchmark scripts: building the optimised command line and timing a
command with its peak memory."""
import os
import subprocess
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MARLOX = os.path.join(ROOT, "build", "linux-release", "cli", "marlox")


def build_marlox():
    for step in (["cmake", "--preset", "linux-release"],
                 ["cmake", "--build", "--preset", "linux-release"]):
        subprocess.run(step, cwd=ROOT, check=True, stdout=subprocess.DEVNULL)


GNU_TIME = "/usr/bin/time"


def run_measured(command, stdout=subprocess.DEVNULL, before=None):
    """Runs command once; returns (seconds, peak resident memory in MiB).

    The peak comes from GNU time, which starts the command from its own small process: a
    child forked from this Python process would count Python's memory as its own."""
    import time
    if before is not None:
        before()
    report = tempfile.NamedTemporaryFile(mode="r", suffix=".time")
    start = time.perf_counter()
    result = subprocess.run([GNU_TIME, "-f", "%M", "-o", report.name, *command], stdout=stdout,
                            stderr=subprocess.DEVNULL)
    elapsed = time.perf_counter() - start
    if result.returncode != 0:
        raise RuntimeError("failed: %s" % " ".join(command))
    peak_kib = int(report.read().strip().splitlines()[-1])
    report.close()
    return elapsed, peak_kib / 1024.0


def best_of(command, runs, stdout=subprocess.DEVNULL, before=None):
    """The best time of several runs, and the largest peak memory seen."""
    results = [run_measured(command, stdout, before) for _ in range(runs)]
    return min(r[0] for r in results), max(r[1] for r in results)


def best_interleaved(jobs, runs):
    """Runs each job (command, stdout, before) once per round, round after round, so that a
    machine busy with something else slows every tool alike; returns the best (time, peak)
    of each job."""
    best = [None] * len(jobs)
    for _ in range(runs):
        for i, (command, stdout, before) in enumerate(jobs):
            seconds, peak = run_measured(command, stdout, before)
            if best[i] is None:
                best[i] = (seconds, peak)
            else:
                best[i] = (min(best[i][0], seconds), max(best[i][1], peak))
    return best
