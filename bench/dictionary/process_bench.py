#!/usr/bin/env python3
"""Whole-process figures of `talvero-cli local` against the plain std::unordered_map program.

process_bench.py CLI ANCHOR RUNS NAME=FILE:TEXT ...
For each dictionary FILE, in a directory where FILE is the local dictionary of the default pair:
- the first run of talvero-cli, which writes the saved index and answers from it, against the
  anchor's run on the same file (the anchor loads the pairs into std::unordered_map and looks
  one up): its wall time (when the index is ready) and its peak memory (the index writer's);
- the index's size against the text's;
- RUNS warm runs of each, alternating: medians of wall time, processor time and peak memory;
- RUNS cold runs of talvero-cli, the text and the index evicted from the page cache first
  (posix_fadvise DONTNEED): median wall time, and what was read (the files' resident bytes
  afterwards, read-ahead included).
Each figure stands beside its target and its anchor. The warm processor time of the largest
dictionary is compared with that of the smallest (the same lookup at a hundredth of the size).
Then the same for an empty directory (no dictionary at all), for `talvero-cli --help` and for
`espeak-ng --version`, the yardstick of the help's start. The load average is printed beside.
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time


def run(argv, cwd):
    """(wall ms, peak MiB, processor ms) of one run."""
    # Through GNU time for the peak: a process started straight from Python (vfork and exec)
    # counts Python's own resident memory in its peak, a floor of some 15 MiB; time's child
    # starts from time's. The processor time is the child's own, from wait4.
    with tempfile.NamedTemporaryFile("r") as out:
        start = time.perf_counter()
        proc = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", out.name] + argv, cwd=cwd,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        _, status, usage = os.wait4(proc.pid, 0)
        wall = time.perf_counter() - start
        proc.returncode = os.waitstatus_to_exitcode(status)
        if proc.returncode not in (0, 1):
            sys.exit(f"{argv[0]} failed with {proc.returncode}")
        peak_kib = int(out.read().split()[-1])
    cpu = (usage.ru_utime + usage.ru_stime) * 1000.0
    return wall * 1000.0, peak_kib / 1024.0, cpu


def evict(*paths):
    for path in paths:
        fd = os.open(path, os.O_RDONLY)
        os.fsync(fd)
        os.posix_fadvise(fd, 0, 0, os.POSIX_FADV_DONTNEED)
        os.close(fd)


def resident_mib(*paths):
    out = subprocess.run(["fincore", "--bytes", "--noheadings", "--raw", "-o", "RES"] + list(paths),
                         capture_output=True, text=True, check=True).stdout.split()
    return sum(int(x) for x in out) / 2**20


def load():
    return f"load {os.getloadavg()[0]:.1f}"


def med(values):
    return statistics.median(values)


def main():
    cli, anchor, runs = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]), int(sys.argv[3])
    print(f"{os.cpu_count()} processors; medians of {runs} runs, talvero-cli and the anchor "
          "alternating; the load average (1 min) beside each row")
    print()
    print("| dictionary | text MiB | first run = index ready, ms | anchor wall ms | ratio (target "
          "<= 1) | first run peak MiB | anchor peak MiB | ratio (target <= 0.6) | index / text "
          "(target <= 1.3) | load |")
    print("|---|---|---|---|---|---|---|---|---|---|")
    warm_rows, cold_rows, cpus = [], [], []
    for arg in sys.argv[4:]:
        name, rest = arg.split("=", 1)
        path, text = rest.rsplit(":", 1)
        path = os.path.abspath(path)
        # Beside the data, on a disk whose pages can be evicted (not /tmp, which may be tmpfs).
        with tempfile.TemporaryDirectory(dir=os.environ.get("TALVERO_BENCH_WORK")
                                         or os.path.dirname(path)) as work:
            os.symlink(path, os.path.join(work, "localdictionary_es_en.txt"))
            personal = os.path.join(work, "personaldictionary_es_en.txt")
            with open(personal, "w") as f:
                f.write("talvero\nTalvero")
            index = os.path.join(work, "localdictionary_es_en.txt.index")
            # Both find the text in the page cache.
            run([anchor, path, personal, text], work)
            first = run([cli, "local", text], work)
            first_anchor = run([anchor, path, personal, text], work)
            if not os.path.exists(index):
                sys.exit(f"{name}: no index after the first run")
            text_mib = os.path.getsize(path) / 2**20
            ratio_size = os.path.getsize(index) / os.path.getsize(path)
            print(f"| {name} | {text_mib:.0f} | {first[0]:.0f} | {first_anchor[0]:.0f} | "
                  f"{first[0] / first_anchor[0]:.2f} | {first[1]:.1f} | {first_anchor[1]:.1f} | "
                  f"{first[1] / first_anchor[1]:.2f} | {ratio_size:.2f} | {load()} |")
            ours, theirs = [], []
            for _ in range(runs):
                ours.append(run([cli, "local", text], work))
                theirs.append(run([anchor, path, personal, text], work))
            warm_rows.append((name, ours, theirs, load()))
            cpus.append((name, med(c for _, _, c in ours)))
            cold = []
            for _ in range(runs):
                evict(path, index)
                wall = run([cli, "local", text], work)[0]
                cold.append((wall, resident_mib(path, index)))
            cold_rows.append((name, cold, load()))

    print()
    print("Warm (index in the page cache):")
    print()
    print("| dictionary | talvero-cli wall ms (target <= 20) | anchor wall ms | ratio "
          "| talvero-cli processor ms | anchor processor ms | talvero-cli peak MiB "
          "| anchor peak MiB | ratio | load |")
    print("|---|---|---|---|---|---|---|---|---|---|")
    for name, ours, theirs, at in warm_rows:
        mw, aw = med(w for w, _, _ in ours), med(w for w, _, _ in theirs)
        mc, ac = med(c for _, _, c in ours), med(c for _, _, c in theirs)
        mm, am = med(m for _, m, _ in ours), med(m for _, m, _ in theirs)
        print(f"| {name} | {mw:.1f} | {aw:.0f} | {mw / aw:.3f} | {mc:.1f} | {ac:.0f} | {mm:.1f} "
              f"| {am:.1f} | {mm / am:.4f} | {at} |")
    if len(cpus) > 1:
        (small, small_cpu), (large, large_cpu) = cpus[0], cpus[-1]
        print()
        print(f"Processor time of a warm lookup, {large} against {small}: {large_cpu:.1f} / "
              f"{small_cpu:.1f} ms = {large_cpu / max(small_cpu, 0.01):.2f} (target <= 2)")
    print()
    print("Cold (text and index evicted from the page cache before each run):")
    print()
    print("| dictionary | talvero-cli wall ms (target <= 150) | read MiB (target < 16) | load |")
    print("|---|---|---|---|")
    for name, cold, at in cold_rows:
        print(f"| {name} | {med(w for w, _ in cold):.1f} | {med(r for _, r in cold):.2f} | {at} |")

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
        print(f"| {name} | {med(w for w, _, _ in runs_):.1f} | {med(m for _, m, _ in runs_):.1f} |")


if __name__ == "__main__":
    main()
