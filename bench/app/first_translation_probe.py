#!/usr/bin/python3
"""How soon a freshly started window answers its first local translation, with a large German
dictionary against an empty one. Each set-up lives in its own temporary working directory:
  large  DATA_FILE linked in as the German-English dictionary; one unmeasured start first lets
         the window write the index beside it, so the measured starts find it ready
  empty  an empty German-English dictionary, the same pair in the personal dictionary, so both
         set-ups answer "Haus" with "house"
Every run starts the window, types "Haus" into the input box as soon as the box is on the
accessibility bus, presses "Translate" and polls the local result box until it holds the
answer. Runs alternate between the set-ups, so a change in the machine's load hits both alike.
Prints per set-up the medians of: process start to answer, press to answer, process start to
the input box being reachable, and the window's CPU time up to the answer (less sensitive to a
busy machine than the wall clock), with the load average seen during the runs.

With --first-start OTHER_TALVERO the set-ups are instead the large dictionary at a first start
(its index removed before every start) with TALVERO and with OTHER_TALVERO (another build, say
of the previous version), alternating.

usage: first_translation_probe.py TALVERO DATA_FILE [RUNS] [--first-start OTHER_TALVERO]
       (Debian's python3: it has gi.Atspi)
   e.g. ./scripts/with-display.sh dbus-run-session -- \\
            /usr/bin/python3 bench/app/first_translation_probe.py "$PWD/build/app/talvero" \\
            "$PWD/build/bench-data/localdictionary_de_en.txt" 5"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "support"))
from atspi_window import find_frame, stop, text_of, walk  # noqa: E402

WORD, ANSWER = "Haus", "house"
INPUT, TRANSLATE, LOCAL_RESULT = "1000", "1032", "1005"
CONFIG = ("USE LOCAL DICTIONARY\nYES\nLOCAL DICTIONARY LANGUAGE PAIR\nGERMAN TO ENGLISH\n"
          "CHECK FOR UPDATES AT STARTUP\nNO\n")
LOCAL, PERSONAL = "localdictionary_de_en.txt", "personaldictionary_de_en.txt"
TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS  # utime + stime


def make_setup(kind, data_file):
    work = tempfile.mkdtemp(prefix="talvero-first-%s-" % kind)
    with open(os.path.join(work, "TalveroConfig.txt"), "w") as f:
        f.write(CONFIG)
    if kind.startswith("large"):
        os.symlink(os.path.abspath(data_file), os.path.join(work, LOCAL))
        open(os.path.join(work, PERSONAL), "w").close()
    else:
        open(os.path.join(work, LOCAL), "w").close()
        with open(os.path.join(work, PERSONAL), "w") as f:
            f.write("%s\n%s" % (WORD, ANSWER))
    return work


def one_run(talvero, work, timeout=60.0):
    """Returns (start→answer, press→answer, start→input reachable, CPU s) or raises."""
    env = dict(os.environ, HOME=work)
    env.pop("NO_AT_BRIDGE", None)
    t_start = time.monotonic()
    proc = subprocess.Popen([talvero], cwd=work, env=env,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        deadline = t_start + timeout
        controls = {}
        while time.monotonic() < deadline:
            if proc.poll() is not None:
                raise RuntimeError("the window ended with %d before it answered" % proc.returncode)
            frame = find_frame(proc.pid, timeout=0)
            if frame is not None:
                controls.clear()
                walk(frame, controls)
                if all(k in controls for k in (INPUT, TRANSLATE, LOCAL_RESULT)):
                    break
            time.sleep(0.01)
        else:
            raise RuntimeError("the input box never appeared on the accessibility bus")
        t_reachable = time.monotonic()
        controls[INPUT].get_editable_text_iface().set_text_contents(WORD)
        t_press = time.monotonic()
        controls[TRANSLATE].get_action_iface().do_action(0)
        result = controls[LOCAL_RESULT]
        shown = None
        while time.monotonic() < deadline:
            shown = text_of(result)
            if shown and ANSWER in shown:
                break
            time.sleep(0.005)
        else:
            raise RuntimeError("the local result box holds %r, not %r" % (shown, ANSWER))
        t_answer = time.monotonic()
        cpu = cpu_seconds(proc.pid)
        return (t_answer - t_start, t_answer - t_press, t_reachable - t_start, cpu)
    finally:
        stop(proc)


def wait_for_index(work, timeout=60.0):
    index = os.path.join(work, LOCAL + ".index")
    end = time.monotonic() + timeout
    while time.monotonic() < end and not os.path.exists(index):
        time.sleep(0.1)
    return os.path.getsize(index) if os.path.exists(index) else None


def warm_up(talvero, work, kind):
    """One unmeasured start: brings the program and data into the page cache and, for the large
    dictionary, leaves the index the later starts are to find."""
    env = dict(os.environ, HOME=work)
    env.pop("NO_AT_BRIDGE", None)
    if kind.startswith("large"):
        one_run(talvero, work)
        size = wait_for_index(work, timeout=1.0)
        if size is None:
            # The index may be written after the first answer; give the window time to finish.
            proc = subprocess.Popen([talvero], cwd=work, env=env,
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            size = wait_for_index(work)
            stop(proc)
        print("large: index %s" % ("not written" if size is None else "%d bytes" % size))
    else:
        one_run(talvero, work)


def main():
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    args = sys.argv[1:]
    other = None
    if "--first-start" in args:
        at = args.index("--first-start")
        other = os.path.abspath(args[at + 1])
        del args[at:at + 2]
    talvero, data_file = os.path.abspath(args[0]), args[1]
    runs = int(args[2]) if len(args) > 2 else 5
    kinds = ["large", "empty"] if other is None else ["large", "large-other"]
    programs = {"large": talvero, "empty": talvero, "large-other": other}
    works = {k: make_setup(k, data_file) for k in kinds}
    try:
        for k in kinds:
            warm_up(programs[k], works[k], k)
        index = os.path.join(works["large"], LOCAL + ".index")
        built = os.stat(index).st_mtime_ns if os.path.exists(index) else None
        results = {k: [] for k in kinds}
        loads = []
        for i in range(runs):
            for k in (kinds if i % 2 == 0 else kinds[::-1]):
                loads.append(os.getloadavg()[0])
                if other is not None:
                    for leftover in (os.path.join(works[k], LOCAL + ".index"),):
                        if os.path.exists(leftover):
                            os.unlink(leftover)
                r = one_run(programs[k], works[k])
                results[k].append(r)
                print("run %d %-5s start→answer %7.1f ms  press→answer %6.1f ms  "
                      "start→input %7.1f ms  cpu %5.2f s  load %.2f"
                      % (i + 1, k, r[0] * 1000, r[1] * 1000, r[2] * 1000, r[3], loads[-1]),
                      flush=True)
        now = os.stat(index).st_mtime_ns if os.path.exists(index) else None
        print("large: index %s by the measured starts"
              % ("left alone" if now == built and built is not None else "changed or missing"))
        print()
        print("medians of %d runs each (load average %.2f to %.2f, median %.2f):"
              % (runs, min(loads), max(loads), statistics.median(loads)))
        for k in kinds:
            med = [statistics.median(r[j] for r in results[k]) for j in range(4)]
            print("%-5s start→answer %7.1f ms  press→answer %6.1f ms  start→input %7.1f ms  "
                  "cpu to answer %5.2f s" % (k, med[0] * 1000, med[1] * 1000, med[2] * 1000,
                                             med[3]))
        return 0
    finally:
        for w in works.values():
            shutil.rmtree(w, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
