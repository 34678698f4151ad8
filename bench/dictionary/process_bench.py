#!/usr/bin/env python3
"""Whole-process figures of `talvero-cli local` against the plain std::unordered_map program.

process_bench.py CLI ANCHOR RUNS NAME=FILE:TEXT ...
For each dictionary FILE, runs both programs RUNS times, alternating, in a directory where FILE
is the local dictionary of the default pair, and prints the medians of wall time and peak
resident memory, and their ratios. talvero-cli runs once before them, its child writing the
dictionary's saved index after it (its figures are the "first run" columns; "index ready" is
when the index appeared, counted from the start of that run), so the medians are those of a
load from the index; the anchor runs once before them too, so both find the file in the page
cache.
Then the same for an empty directory (no dictionary at all), for `talvero-cli --help` and for
`espeak-ng --version`, the yardstick of the help's start.
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time


def run(argv, cwd):
    # Through GNU time: a process started straight from Python (vfork and exec) counts Python's
    # own resident memory in its peak, a floor of some 15 MiB; time's child starts from time's.
    with tempfile.NamedTemporaryFile("r") as out:
        start = time.perf_counter()
        proc = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", out.name] + argv, cwd=cwd,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        proc.wait()
        wall = time.perf_counter() - start
        if proc.returncode not in (0, 1):
            sys.exit(f"{argv[0]} failed with {proc.returncode}")
        peak_kib = int(out.read().split()[-1])
    return wall * 1000.0, peak_kib / 1024.0  # ms, MiB


def main():
    cli, anchor, runs = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]), int(sys.argv[3])
    print("| dictionary | pairs file | talvero-cli local: wall ms | anchor: wall ms | ratio "
          "| talvero-cli local: peak MiB | anchor: peak MiB | ratio "
          "| first run (writes the index): wall ms / peak MiB | index ready ms |")
    print("|---|---|---|---|---|---|---|---|---|---|")
    for arg in sys.argv[4:]:
        name, rest = arg.split("=", 1)
        path, text = rest.rsplit(":", 1)
        path = os.path.abspath(path)
        with tempfile.TemporaryDirectory() as work:
            os.symlink(path, os.path.join(work, "localdictionary_es_en.txt"))
            personal = os.path.join(work, "personaldictionary_es_en.txt")
            with open(personal, "w") as f:
                f.write("talvero\nTalvero")
            ours, theirs = [], []
            start = time.perf_counter()
            first = run([cli, "local", text], work)
            index = os.path.join(work, "localdictionary_es_en.txt.index")
            while not os.path.exists(index) and time.perf_counter() - start < 300:
                time.sleep(0.005)
            ready = (time.perf_counter() - start) * 1000.0
            run([anchor, path, personal, text], work)
            for _ in range(runs):
                ours.append(run([cli, "local", text], work))
                theirs.append(run([anchor, path, personal, text], work))
            mw = statistics.median(w for w, _ in ours)
            mm = statistics.median(m for _, m in ours)
            aw = statistics.median(w for w, _ in theirs)
            am = statistics.median(m for _, m in theirs)
            size = os.path.getsize(path) / 2**20
            print(f"| {name} | {size:.0f} MiB | {mw:.0f} | {aw:.0f} | {mw / aw:.2f} "
                  f"| {mm:.1f} | {am:.1f} | {mm / am:.2f} | {first[0]:.0f} / {first[1]:.1f} "
                  f"| {ready:.0f} |")
    with tempfile.TemporaryDirectory() as work:
        empty = [run([cli, "local", "Haus"], work) for _ in range(runs)]
        helps, versions = [], []
        for _ in range(runs):
            helps.append(run([cli, "--help"], work))
            versions.append(run(["espeak-ng", "--version"], work))
    print()
    print("| talvero-cli | wall ms | peak MiB |")
    print("|---|---|---|")
    for name, runs_ in (("local, no dictionary", empty), ("--help", helps),
                        ("espeak-ng --version", versions)):
        print(f"| {name} | {statistics.median(w for w, _ in runs_):.1f} "
              f"| {statistics.median(m for _, m in runs_):.1f} |")


if __name__ == "__main__":
    main()
