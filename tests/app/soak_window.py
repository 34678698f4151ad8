#!/usr/bin/python3
"""Soak of the running Talvero window, driven from outside over AT-SPI: translates, adds and
undoes in a loop for MINUTES, sampling the process's resident memory every SAMPLE seconds.
Each addition must append its pair to the personal file and each Undo must give the file back as
it was. Prints the samples as CSV (seconds, rss_kib), the growth from the first minute's level
and the counts; fails when an addition or Undo went wrong or nothing was added.

usage: soak_window.py PID MINUTES [SAMPLE]"""
import sys
import time

sys.path.insert(0, __file__.rsplit("/", 1)[0] + "/../support")
from atspi_window import Atspi, find_frame, text_of, walk  # noqa: E402

WORDS = ["perro", "el perro", "gato", "casa blanca", "el perro come", "hola", "mesa"]


def rss_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


# The personal file of the pair the soak's settings load, in Talvero's working directory.
PERSONAL = "personaldictionary_es_en.txt"


def read(path):
    with open(path, encoding="latin-1") as f:
        return f.read()


def wait_for_change(path, old, seconds=3):
    deadline = time.time() + seconds
    while time.time() < deadline:
        now = read(path)
        if now != old:
            return now
        time.sleep(0.02)
    return old


def press(controls, ident):
    node = controls.get(str(ident))
    if node is None or not node.get_state_set().contains(Atspi.StateType.ENABLED):
        return False
    node.get_action_iface().do_action(0)
    return True


def main():
    pid, minutes = int(sys.argv[1]), float(sys.argv[2])
    sample = float(sys.argv[3]) if len(sys.argv) > 3 else 30
    frame = find_frame(pid)
    if frame is None:
        print("no Talvero window of pid %d" % pid)
        return 1
    controls = {}
    walk(frame, controls)
    start = time.time()
    next_sample = start
    samples = []
    counts = {"translate": 0, "add": 0, "bad add": 0, "undo": 0, "bad undo": 0}
    i = 0
    while time.time() - start < minutes * 60:
        word = WORDS[i % len(WORDS)]
        controls["1000"].get_editable_text_iface().set_text_contents(word)
        if press(controls, 1032):
            counts["translate"] += 1
        for _ in range(40):  # the results of this turn are in once Translate is enabled again
            time.sleep(0.05)
            if controls["1032"].get_state_set().contains(Atspi.StateType.ENABLED):
                break
        text_of(controls["1005"])
        if "1007" in controls and "1008" in controls:
            before = after = read(PERSONAL)
            pair = ("soak %d" % i, "prueba %d" % i)
            controls["1007"].get_editable_text_iface().set_text_contents(pair[0])
            controls["1008"].get_editable_text_iface().set_text_contents(pair[1])
            # The toolkit runs a button's action from its idle time: wait for the file.
            if press(controls, 1009):
                counts["add"] += 1
                after = wait_for_change(PERSONAL, before)
                if after.splitlines()[-2:] != list(pair) or not after.startswith(before):
                    counts["bad add"] += 1
            if press(controls, 1010):
                counts["undo"] += 1
                if wait_for_change(PERSONAL, after) != before:
                    counts["bad undo"] += 1
        i += 1
        if time.time() >= next_sample:
            samples.append((round(time.time() - start), rss_kib(pid)))
            print("%d,%d" % samples[-1], flush=True)
            next_sample += sample
    samples.append((round(time.time() - start), rss_kib(pid)))
    print("%d,%d" % samples[-1])
    base = max(s[1] for s in samples if s[0] <= 60)
    last = samples[-1][1]
    print("actions: %s" % counts)
    print("rss after the first minute %d KiB, at the end %d KiB, peak %d KiB, growth %.1f %%"
          % (base, last, max(s[1] for s in samples), 100.0 * (last - base) / base))
    return 1 if counts["bad add"] or counts["bad undo"] or not counts["add"] else 0


if __name__ == "__main__":
    sys.exit(main())
