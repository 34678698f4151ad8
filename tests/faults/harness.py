#!/usr/bin/env python3
"""Crash and I/O-fault harness of the program's file writes (settings save, addition, Undo).

kill:   the driver is killed (SIGKILL) just before a random one of its file calls, RUNS times per
        operation. Afterwards the file must be the whole old or the whole new one, no earlier
        pair may be lost, and after the next start no temporary file may be left.
faults: each file call (open, write, fsync, rename) of each operation fails once, and always
        from then on. The operation must report the failure and leave the file byte-identical,
        or report success with the whole new file.
full:   the same operations on a small tmpfs that is full (needs root to mount).
index:  the saved index of a dictionary: killed at a random call while it is written, each of
        its file calls failing, and RUNS damaged indexes (cut short, zeroed, bytes changed,
        another version) in its place. The load must answer as from the text every time, leave
        no temporary file, and the index must be sound again afterwards.

usage: harness.py DRIVER SHIM [kill RUNS] [faults] [full] [index RUNS]"""
import os
import random
import subprocess
import sys
import tempfile

DRIVER, SHIM = sys.argv[1], sys.argv[2]
problems = []
counts = {}

SETTINGS = "TalveroConfig.txt"
OLD_PAIRS = "uno\none\ndos\ntwo"


def run(workdir, args, env=None):
    e = dict(os.environ)
    e.update({"LD_PRELOAD": SHIM, "FAULT_DIR": workdir})
    e.update(env or {})
    p = subprocess.run([DRIVER] + args, env=e, capture_output=True, text=True)
    return p.returncode, p.stderr


def read(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return None


def prepare(workdir, op, translation="table"):
    for name in os.listdir(workdir):
        os.unlink(os.path.join(workdir, name))
    if op == "save":
        rc, err = run(workdir, ["save", workdir, "20"])
        assert rc == 0, err
        old = read(os.path.join(workdir, SETTINGS))
        rc, err = run(workdir, ["save", workdir, "21"], {"FAULT_DIR": "/nonexistent"})
        new = read(os.path.join(workdir, SETTINGS))
        with open(os.path.join(workdir, SETTINGS), "wb") as f:
            f.write(old)
        return SETTINGS, old, new, ["save", workdir, "21"]
    with open(os.path.join(workdir, "personal.txt"), "w") as f:
        f.write(OLD_PAIRS)
    with open(os.path.join(workdir, "new.txt"), "w") as f:
        f.write("")
    old = OLD_PAIRS.encode()
    new = old + b"\nmesa\n" + translation.encode()
    # undo: the addition and then its Undo; the file ends as it began.
    return "personal.txt", old, new, [op, workdir, "mesa", translation]


def call_count(workdir, op):
    name, old, new, args = prepare(workdir, op)
    count_file = os.path.join(workdir, "..", "count-" + op)
    rc, err = run(workdir, args, {"FAULT_COUNT_FILE": count_file})
    assert rc == 0, err
    with open(count_file) as f:
        return int(f.read())


def leftovers(workdir):
    return [n for n in os.listdir(workdir) if ".tmp" in n]


def check_whole(op, label, content, old, new):
    if content not in (old, new):
        problems.append(f"{op} {label}: file is neither the old nor the new one: {content!r}")
    if op != "save" and content is not None and not content.startswith(old):
        problems.append(f"{op} {label}: an earlier pair was lost: {content!r}")


def kill_runs(root, runs):
    for op in ("save", "add", "undo"):
        workdir = os.path.join(root, op)
        os.makedirs(workdir, exist_ok=True)
        calls = call_count(workdir, op)
        outcomes = {"old": 0, "new": 0}
        for i in range(runs):
            name, old, new, args = prepare(workdir, op)
            at = random.randint(1, calls)
            rc, err = run(workdir, args, {"FAULT_KILL_AT": str(at)})
            content = read(os.path.join(workdir, name))
            check_whole(op, f"kill at call {at}", content, old, new)
            outcomes["old" if content == old else "new"] += 1
            run(workdir, ["start", workdir], {"FAULT_DIR": "/nonexistent"})
            if leftovers(workdir):
                problems.append(f"{op} kill at call {at}: left after start: {leftovers(workdir)}")
            # The next addition after any kill is read as a whole pair.
            if op != "save":
                run(workdir, ["add", workdir, "silla", "chair"], {"FAULT_DIR": "/nonexistent"})
                text = read(os.path.join(workdir, name)).decode()
                lines = text.split("\n")
                if lines[-2:] != ["silla", "chair"] or len(lines) % 2:
                    problems.append(f"{op} kill at call {at}: next addition misaligned: {text!r}")
        counts[f"kill {op}"] = f"{runs} runs over {calls} file calls: {outcomes}"


def fault_runs(root):
    for op in ("save", "add", "undo"):
        workdir = os.path.join(root, "f-" + op)
        os.makedirs(workdir, exist_ok=True)
        n_runs = 0
        for call in ("open", "write", "fsync", "rename"):
            for mode in ("once", "always"):
                for nth in range(1, 8):
                    name, old, new, args = prepare(workdir, op)
                    rc, err = run(workdir, args, {"FAULT_FAIL": f"{call}:{nth}:{mode}"})
                    content = read(os.path.join(workdir, name))
                    n_runs += 1
                    label = f"{call}:{nth}:{mode}"
                    if rc == 0:
                        want = old if op == "undo" else new
                        if content != want:
                            problems.append(f"{op} {label}: reported success, file {content!r}")
                    else:
                        if not err.strip():
                            problems.append(f"{op} {label}: failed without saying why")
                        if op == "undo":
                            # The addition went in; its Undo failed: the pair stays whole.
                            if content not in (old, new):
                                problems.append(f"{op} {label}: file {content!r}")
                        elif content != old:
                            problems.append(f"{op} {label}: failed but file changed: {content!r}")
                    if leftovers(workdir):
                        problems.append(f"{op} {label}: temporary left: {leftovers(workdir)}")
        counts[f"faults {op}"] = f"{n_runs} runs"


def full_runs(root):
    mnt = os.path.join(root, "full")
    os.makedirs(mnt, exist_ok=True)
    if subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64k", "tmpfs", mnt],
                      capture_output=True).returncode != 0:
        counts["full"] = "skipped: cannot mount a tmpfs here"
        return
    try:
        n_runs = 0
        for op in ("save", "add", "undo"):
            for slack in range(0, 4096, 97):
                # A pair longer than a page: the disk fills in the middle of its write.
                name, old, new, args = prepare(mnt, op, "table " * 1500)
                # Fill the file system, then free `slack` bytes.
                fd = os.open(os.path.join(mnt, "filler"), os.O_WRONLY | os.O_CREAT, 0o644)
                try:
                    while True:
                        os.write(fd, b"x" * 512)
                except OSError:
                    pass
                os.close(fd)
                size = os.path.getsize(os.path.join(mnt, "filler"))
                os.truncate(os.path.join(mnt, "filler"), max(0, size - slack))
                rc, err = run(mnt, args, {"FAULT_DIR": "/nonexistent"})
                content = read(os.path.join(mnt, name))
                n_runs += 1
                if rc == 0 and content != (old if op == "undo" else new):
                    problems.append(f"full {op} slack {slack}: success but file {content!r}")
                if rc != 0 and op != "undo" and content != old:
                    problems.append(f"full {op} slack {slack}: failed, file changed {content!r}")
                if rc != 0 and op == "undo" and content not in (old, new):
                    problems.append(f"full {op} slack {slack}: file {content!r}")
                if leftovers(mnt):
                    problems.append(f"full {op} slack {slack}: temporary left")
                os.unlink(os.path.join(mnt, "filler"))
        counts["full"] = f"{n_runs} runs on a 64 KiB tmpfs"
    finally:
        subprocess.run(["umount", mnt])


INDEX_PROBES = ["palabra1", "palabra1234", "palabra", "pal", "frase 7", "zzz", "\u00e9"]


def index_runs(root, runs):
    workdir = os.path.join(root, "index")
    os.makedirs(workdir, exist_ok=True)
    with open(os.path.join(workdir, "local.txt"), "w") as f:
        f.write("\n".join(f"palabra{i}\nword{i}\nfrase {i % 97}\nphrase {i}" for i in range(4000)))
    with open(os.path.join(workdir, "personal.txt"), "w") as f:
        f.write("palabra1\nmine")
    index = os.path.join(workdir, "local.txt.index")
    lookup = ["lookup", workdir] + INDEX_PROBES
    quiet = {"FAULT_DIR": "/nonexistent"}

    def check(label, env=None):
        rc, out = run_out(workdir, lookup, env or quiet)
        # A failed read of the dictionary itself is reported, not hidden: that is a clear outcome.
        reported = env is not None and b"message: Could not open" in out
        if rc != 0 or (out != expected and not reported):
            problems.append(f"index {label}: answers differ from the text's: {out[:300]!r}")
        if leftovers(workdir):
            problems.append(f"index {label}: temporary left: {leftovers(workdir)}")
        # Whatever happened, the next load writes or keeps a sound index and the one after uses it.
        run_out(workdir, lookup, quiet)
        rc, err = run(workdir, lookup, quiet)
        if "index: used" not in err:
            problems.append(f"index {label}: no sound index afterwards")

    rc, expected = run_out(workdir, lookup, quiet)
    good = read(index)
    if rc != 0 or good is None:
        problems.append("index: the first load wrote no index")
        return
    os.unlink(index)
    count_file = os.path.join(root, "count-index")
    run(workdir, lookup, {"FAULT_COUNT_FILE": count_file})
    with open(count_file) as f:
        calls = int(f.read())
    for i in range(runs):
        os.unlink(index)
        at = random.randint(1, calls)
        run(workdir, lookup, {"FAULT_KILL_AT": str(at)})
        content = read(index)
        if content is not None and content != good:
            problems.append(f"index kill at call {at}: a torn index was left")
        check(f"kill at call {at}")
    n_faults = 0
    for call in ("open", "write", "rename", "any"):
        for mode in ("once", "always"):
            for nth in range(1, 6):
                os.unlink(index)
                check(f"{call}:{nth}:{mode}", {"FAULT_DIR": workdir, "FAULT_FAIL": f"{call}:{nth}:{mode}"})
                n_faults += 1
    damaged = [b"", good[: len(good) // 2], good[:-1], bytes(len(good)), good[:8] + b"\x02" + good[9:]]
    for i in range(runs):
        bad = bytearray(good)
        for _ in range(random.randint(1, 4)):
            bad[random.randrange(len(bad))] ^= 1 << random.randrange(8)
        damaged.append(bytes(bad))
        damaged.append(bytes(random.getrandbits(8) for _ in range(random.randint(1, 4096))))
    for n, content in enumerate(damaged):
        with open(index, "wb") as f:
            f.write(content)
        check(f"damaged index {n}")
    counts["index"] = (f"{runs} kills over {calls} file calls, {n_faults} failed calls, "
                       f"{len(damaged)} damaged indexes")


def run_out(workdir, args, env=None):
    e = dict(os.environ)
    e.update({"LD_PRELOAD": SHIM, "FAULT_DIR": workdir})
    e.update(env or {})
    p = subprocess.run([DRIVER] + args, env=e, capture_output=True)
    return p.returncode, p.stdout


def main():
    args = sys.argv[3:]
    random.seed(int(os.environ.get("FAULT_SEED", "1")))
    with tempfile.TemporaryDirectory(prefix="talvero-faults-") as root:
        if "kill" in args:
            kill_runs(root, int(args[args.index("kill") + 1]))
        if "faults" in args:
            fault_runs(root)
        if "full" in args:
            full_runs(root)
        if "index" in args:
            index_runs(root, int(args[args.index("index") + 1]))
    for key, value in counts.items():
        print(f"{key}: {value}")
    for p in problems[:40]:
        print("PROBLEM:", p)
    print(f"faults found: {len(problems)}")
    return 1 if problems else 0


sys.exit(main())
