#!/usr/bin/python3
"""The window program natively on a headless sway (no Xwayland), driven as a user would: the
commands of the command line, the selection read through the compositor's data control while the
window is not focused, the banner as an overlay, the desktop portal's shortcuts through a
stand-in portal. Run by sway_test.sh inside a session bus of its own.

    sway_check.py DIR [SHOT_DIR]

DIR holds the program (talvero) and the stand-ins; SHOT_DIR, when given, gets a screenshot of
each step.
"""
import json
import os
import shutil
import signal
import subprocess
import sys
import time

DIR = sys.argv[1]
SHOTS = sys.argv[2] if len(sys.argv) > 2 and sys.argv[2] else None
TALVERO = os.path.join(DIR, "talvero")
HOME = os.path.join(DIR, "home")
FAILURES = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    if not ok:
        FAILURES.append(what)
    return ok


def wait_for(predicate, seconds=10.0):
    end = time.time() + seconds
    while time.time() < end:
        value = predicate()
        if value:
            return value
        time.sleep(0.1)
    return predicate()


def start_sway():
    run = os.path.join(DIR, "run")
    os.makedirs(run, mode=0o700, exist_ok=True)
    os.environ.update(XDG_RUNTIME_DIR=run, WLR_BACKENDS="headless", WLR_LIBINPUT_NO_DEVICES="1",
                      WLR_RENDERER="pixman")
    for name in ("DISPLAY", "WAYLAND_DISPLAY"):
        os.environ.pop(name, None)
    conf = os.path.join(DIR, "sway.conf")
    with open(conf, "w") as f:
        f.write("output HEADLESS-1 resolution 1280x800\n")
    log = open(os.path.join(DIR, "sway.log"), "w")
    sway = subprocess.Popen(["sway", "-c", conf], stdout=log, stderr=log)

    def ready():
        names = os.listdir(run)
        socks = [n for n in names if n.startswith("sway-ipc.")]
        return "wayland-1" in names and socks and os.path.join(run, socks[0])
    sock = wait_for(ready, 20)
    if not sock:
        print("sway did not start:\n" + open(os.path.join(DIR, "sway.log")).read())
        sys.exit(1)
    # HOME too: the one-window-per-user lock lives there, and a Talvero of the same user
    # elsewhere must not take this one's place.
    os.environ.update(WAYLAND_DISPLAY="wayland-1", SWAYSOCK=sock, GDK_BACKEND="wayland",
                      HOME=DIR)
    # Screen readers see the window through AT-SPI here as well.
    os.environ.pop("NO_AT_BRIDGE", None)
    return sway


def windows():
    """The windows sway manages: (pid, title, rect)."""
    out = subprocess.run(["swaymsg", "-t", "get_tree"], capture_output=True, text=True).stdout
    found = []

    def walk(node):
        if node.get("pid"):
            found.append((node["pid"], node.get("name"), node.get("rect")))
        for child in node.get("nodes", []) + node.get("floating_nodes", []):
            walk(child)
    walk(json.loads(out))
    return found


def shot(name, region=None):
    path = os.path.join(SHOTS or DIR, name)
    subprocess.run(["grim"] + (["-g", region] if region else []) + [path], check=True)
    return path


CORNER = "928,671 352x129"  # where a banner of the skin's size shows on a 1280x800 screen


def talvero(*args, timeout=20):
    return subprocess.run([TALVERO, *args], cwd=HOME, capture_output=True, text=True,
                          timeout=timeout)


def copy_primary(text=None, data=None, mime=None):
    cmd = ["wl-copy", "--primary"] + (["--type", mime] if mime else [])
    if text is not None:
        subprocess.run(cmd + [text], check=True)
    else:
        subprocess.run(cmd, input=data, check=True)


def personal():
    with open(os.path.join(HOME, "personaldictionary_es_en.txt"), encoding="utf-8") as f:
        return f.read()


def prepare_home():
    if os.path.exists(HOME):
        shutil.rmtree(HOME)
    os.makedirs(HOME)
    settings = [("USE LOCAL DICTIONARY", "YES"),
                ("LOCAL DICTIONARY LANGUAGE PAIR", "SPANISH TO ENGLISH"),
                ("SHOW TRANSLATION POPUP BANNER", "YES"), ("POPUP BANNER SOURCE", "0"),
                ("ASK FOR CONFIRMATION BEFORE ADDING NEW TRANSLATION", "NO"),
                ("ACTIVATE HOTKEY TO FILL BOXES", "YES"),
                ("ADD AUTOMATICALLY TO DICTIONARY WHEN BOXES ARE FILLED", "YES"),
                ("CHECK FOR UPDATES AT STARTUP", "NO")]
    with open(os.path.join(HOME, "TalveroConfig.txt"), "w") as f:
        f.write("\n".join(k + "\n" + v for k, v in settings))
    with open(os.path.join(HOME, "localdictionary_es_en.txt"), "w") as f:
        f.write("el gato\nthe cat\nperro\ndog")
    with open(os.path.join(HOME, "personaldictionary_es_en.txt"), "w") as f:
        f.write("casa\nhouse")


class Window:
    def __init__(self):
        self.log = open(os.path.join(DIR, "talvero.log"), "a")
        self.proc = subprocess.Popen([TALVERO], cwd=HOME, stdout=self.log, stderr=self.log)
        self.mine = lambda: [w for w in windows() if w[0] == self.proc.pid]
        # The window is up once it answers a hand-over (it takes the bus name when it runs).
        wait_for(lambda: self.mine(), 30)
        wait_for(lambda: talvero("--show", timeout=10).returncode == 0, 30)

    def stop(self):
        self.proc.send_signal(signal.SIGTERM)
        try:
            self.proc.wait(10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()


def added(pair):
    return wait_for(lambda: personal().endswith("\n" + pair[0] + "\n" + pair[1]), 5)


def capture_pair(first, second, capture):
    copy_primary(first)
    capture()
    copy_primary(second)
    capture()
    return added((first, second))


def by_command():
    r = talvero("--capture")
    check(r.returncode == 0, "talvero --capture hands over and exits 0 (%d %s)"
          % (r.returncode, r.stderr.strip()))


PRESS = """
import sys
sys.path.insert(0, sys.argv[1])
from atspi_window import find_frame, walk
controls = {}
walk(find_frame(int(sys.argv[2])), controls)
controls[sys.argv[3]].get_action_iface().do_action(0)
"""


def with_atspi(w):
    """The window as a screen reader sees it, as on X11: the boxes the captures filled, and the
    options dialog's note on what to bind."""
    sys.path.insert(0, DIR)
    from atspi_window import app_of, find_frame, text_of, walk
    frame = find_frame(w.proc.pid)
    if not check(frame is not None, "AT-SPI finds the window"):
        return
    controls = {}
    walk(frame, controls)
    check((text_of(controls["1007"]), text_of(controls["1008"])) == ("gato negro", "black cat"),
          "AT-SPI reads the captured pair in the boxes")
    # Pressing Options runs the dialog's modal loop inside the call: from a process of its own.
    presser = subprocess.Popen(["/usr/bin/python3", "-c", PRESS, DIR, str(w.proc.pid), "1048"])

    def dialog():
        app = app_of(w.proc.pid)
        for i in range(app.get_child_count() if app else 0):
            child = app.get_child_at_index(i)
            if child is not None and child.get_name() == "Set options":
                return child
        return None
    options = wait_for(dialog, 10)
    if check(options is not None, "the options dialog opens"):
        found = {}
        walk(options, found)
        note = found.get("1101")
        check(note is not None and "talvero --capture" in (note.get_name() or ""),
              "the options say which command to bind: %r" % (note and note.get_name()))
        time.sleep(0.5)
        shot("07-options-no-hotkey-note.png")
        found["2"].get_action_iface().do_action(0)
    presser.wait(20)


def without_portal():
    prepare_home()
    w = Window()
    check(len(w.mine()) == 1, "the window starts with no message box: %s" % w.mine())
    shot("01-start-no-message-box.png")

    check(capture_pair("gato negro", "black cat", by_command),
          "two captures by command add the pair gato negro / black cat")
    time.sleep(0.7)  # the unfocused window repaints a moment later
    shot("02-capture-pair-by-command.png")
    with_atspi(w)

    # Not text, too large, nothing: no box is filled, the next two captures make the pair.
    copy_primary(data=open(os.path.join(SHOTS or DIR, "01-start-no-message-box.png"),
                           "rb").read(), mime="image/png")
    by_command()
    copy_primary(data=b"x" * (10 * 1024 * 1024), mime="text/plain;charset=utf-8")
    started = time.time()
    by_command()
    check(time.time() - started < 3, "a 10 MB selection is refused quickly")
    check(capture_pair("perro", "dog", by_command),
          "a picture and a 10 MB text fill no box: the next two captures make the pair")

    # Two captures at once: one box, or (one after the other) both, never a pair twice.
    before = personal()
    copy_primary("uno")
    both = [subprocess.Popen([TALVERO, "--capture"], cwd=HOME) for _ in range(2)]
    check(all(p.wait(20) == 0 for p in both), "two captures at once both exit 0")
    time.sleep(0.5)
    check(personal()[len(before):] in ("", "\nuno\nuno"),
          "two captures at once add nothing twice: %r" % personal()[len(before):])

    # The selection translated: the banner shows as an overlay, the compositor still manages
    # one window.
    before = open(shot("corner-before.png", CORNER), "rb").read()
    copy_primary("el gato")
    r = talvero("--translate-selection")
    check(r.returncode == 0, "talvero --translate-selection exits 0")
    time.sleep(0.5)
    after = open(shot("corner-after.png", CORNER), "rb").read()
    shot("03-translate-selection-banner.png")
    check(len(w.mine()) == 1 and len(windows()) == 1,
          "the banner is no managed window: %s" % windows())
    check(before != after, "the banner shows bottom right")

    r = talvero()
    check(r.returncode == 0 and len(windows()) == 1,
          "a plain second start exits 0 and opens no second window (%d, %s)"
          % (r.returncode, windows()))
    shot("04-second-start.png")

    r = talvero("--capture", "--nonsense")
    check(r.returncode == 2 and "Usage" in r.stderr, "an unknown option: usage and status 2")

    # A window that does not answer: the command gives up with a message.
    w.proc.send_signal(signal.SIGSTOP)
    started = time.time()
    r = talvero("--capture")
    w.proc.send_signal(signal.SIGCONT)
    check(r.returncode == 1 and "did not answer" in r.stderr and time.time() - started < 10,
          "a window that does not answer: status 1 and a message (%d)" % r.returncode)
    w.stop()


def portal_control(method, *args):
    return subprocess.run(["gdbus", "call", "--session", "--dest", "org.freedesktop.portal.Desktop",
                           "--object-path", "/io/github/talvero/TestPortal", "--method",
                           "io.github.talvero.TestPortal." + method, *args],
                          capture_output=True, text=True)


def with_portal():
    prepare_home()
    state = os.path.join(DIR, "portal.json")
    if os.path.exists(state):
        os.remove(state)
    portal = subprocess.Popen(["/usr/bin/python3", os.path.join(DIR, "portal_standin.py"), state])
    wait_for(lambda: os.path.exists(state))
    w = Window()
    bound = wait_for(lambda: json.load(open(state))["binds"])
    check(bool(bound) and bound[0]["shortcuts"][0] == {
        "id": "capture", "preferred_trigger": "CTRL+ALT+z",
        "description": bound[0]["shortcuts"][0]["description"]}
        and bound[0]["shortcuts"][1]["id"] == "translate-selection",
        "the portal binds capture (CTRL+ALT+z) and translate-selection: %s" % bound)

    def by_shortcut():
        portal_control("Activate", "capture")
        time.sleep(0.7)
    check(capture_pair("gato blanco", "white cat", by_shortcut),
          "Activated on capture adds the pair gato blanco / white cat")
    shot("05-portal-activated-capture.png")

    # The second shortcut translates the selection.
    copy_primary("perro")
    portal_control("Activate", "translate-selection")
    sys.path.insert(0, DIR)
    from atspi_window import find_frame, text_of, walk
    controls = {}
    walk(find_frame(w.proc.pid), controls)
    check(wait_for(lambda: (text_of(controls["1000"]), text_of(controls["1005"]))
                   == ("perro", "dog"), 5),
          "Activated on translate-selection translates the selection")

    # The portal goes away: no message, the command still works.
    portal_control("Leave")
    portal.wait(10)
    time.sleep(0.5)
    check(len(w.mine()) == 1, "a portal that leaves the bus shows no message")
    check(capture_pair("gato gris", "grey cat", by_command),
          "after the portal left, the command still captures")
    w.stop()

    # A portal that refuses the combination: "RegisterHotKey failed".
    portal = subprocess.Popen(["/usr/bin/python3", os.path.join(DIR, "portal_standin.py"), state,
                               "--refuse"])
    wait_for(lambda: os.path.exists(state))
    w = Window()
    boxes = wait_for(lambda: len(w.mine()) == 2 and w.mine(), 10)
    check(bool(boxes) and any(t == "Talvero" for _, t, _ in boxes),
          "a refused binding shows the message box: %s" % w.mine())
    shot("06-portal-refused.png")
    w.stop()
    portal.terminate()
    portal.wait(10)

    # A portal that never answers: no message, the window and the command work.
    os.remove(state)
    portal = subprocess.Popen(["/usr/bin/python3", os.path.join(DIR, "portal_standin.py"), state,
                               "--silent"])
    wait_for(lambda: os.path.exists(state))
    prepare_home()
    w = Window()
    time.sleep(1)
    check(len(w.mine()) == 1, "a portal that never answers shows no message: %s" % w.mine())
    check(capture_pair("gato pardo", "brown cat", by_command),
          "with a silent portal the command captures")
    w.stop()
    portal.terminate()
    portal.wait(10)


def dead_compositor():
    # No window runs yet, so nothing takes the hand-over: the compositor named is the problem.
    env = dict(os.environ, WAYLAND_DISPLAY="wayland-gone")
    env.pop("DISPLAY", None)
    r = subprocess.run([TALVERO], cwd=HOME, capture_output=True, text=True, timeout=20, env=env)
    check(r.returncode == 1 and "cannot reach the Wayland display 'wayland-gone'" in r.stderr,
          "a WAYLAND_DISPLAY naming no compositor: status 1 and a message naming it (%d, %r)"
          % (r.returncode, r.stderr))


def main():
    sway = start_sway()
    try:
        prepare_home()
        dead_compositor()
        without_portal()
        with_portal()
    finally:
        sway.terminate()
        sway.wait(10)
    if FAILURES:
        print("%d check(s) failed" % len(FAILURES))
        sys.exit(1)
    print("all checks passed")


if __name__ == "__main__":
    main()
