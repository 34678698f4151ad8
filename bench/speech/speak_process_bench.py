#!/usr/bin/env python3
"""Whole-process figures of `talvero-cli speak --out` against `espeak-ng -w`.

speak_process_bench.py CLI RUNS [TEXT]
Runs both RUNS times, alternating, each writing TEXT into a WAV file, and prints the medians of
the time from starting the program to its first sample in the file (the file growing past its
header, seen through inotify) and to the end of the run, and the ratio of talvero-cli's first
sample to espeak-ng's whole run.
"""
import ctypes
import os
import select
import statistics
import struct
import subprocess
import sys
import tempfile
import time

IN_MODIFY = 0x00000002
IN_CLOSE_WRITE = 0x00000008
WAV_HEADER = 44

libc = ctypes.CDLL(None, use_errno=True)


def run(argv, out):
    """Milliseconds to the first sample in `out` and to the end of the run."""
    fd = libc.inotify_init1(os.O_NONBLOCK)
    if fd < 0:
        sys.exit("inotify_init1 failed")
    try:
        if libc.inotify_add_watch(fd, os.path.dirname(out).encode(), IN_MODIFY | IN_CLOSE_WRITE) < 0:
            sys.exit("inotify_add_watch failed")
        start = time.perf_counter()
        proc = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        first = None
        while proc.poll() is None or first is None:
            ready, _, _ = select.select([fd], [], [], 0.005)
            if ready:
                try:
                    os.read(fd, 65536)
                except BlockingIOError:
                    pass
            if first is None:
                try:
                    if os.path.getsize(out) > WAV_HEADER:
                        first = time.perf_counter() - start
                except FileNotFoundError:
                    pass
            if proc.poll() is not None and first is None:
                first = time.perf_counter() - start if os.path.getsize(out) > WAV_HEADER else -1
        proc.wait()
        whole = time.perf_counter() - start
        if proc.returncode != 0:
            sys.exit(f"{argv[0]} failed with {proc.returncode}")
        return first * 1000.0, whole * 1000.0
    finally:
        os.close(fd)


def main():
    cli, runs = os.path.abspath(sys.argv[1]), int(sys.argv[2])
    text = sys.argv[3] if len(sys.argv) > 3 else "Hello, this is a test of the voice."
    ours, theirs = [], []
    with tempfile.TemporaryDirectory() as work:
        a, b = os.path.join(work, "talvero.wav"), os.path.join(work, "espeak.wav")
        commands = ([cli, "speak", text, "--out", a], ["espeak-ng", "-w", b, text])
        for argv, out in zip(commands, (a, b)):  # both find their files in the page cache
            run(argv, out)
        for _ in range(runs):
            for argv, out, into in zip(commands, (a, b), (ours, theirs)):
                os.unlink(out)
                into.append(run(argv, out))
    of, ow = statistics.median(f for f, _ in ours), statistics.median(w for _, w in ours)
    ef, ew = statistics.median(f for f, _ in theirs), statistics.median(w for _, w in theirs)
    print("| program | first sample ms | whole run ms |")
    print("|---|---|---|")
    print(f"| talvero-cli speak --out | {of:.1f} | {ow:.1f} |")
    print(f"| espeak-ng -w | {ef:.1f} | {ew:.1f} |")
    print(f"\ntalvero-cli's first sample / espeak-ng's first sample: {of / ef:.2f} (target <= 1.2); "
          f"whole runs: {ow / ew:.2f}; load {os.getloadavg()[0]:.1f}")


if __name__ == "__main__":
    main()
