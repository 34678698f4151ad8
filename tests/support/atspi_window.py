"""What the scripts that drive the Talvero window over AT-SPI share: finding the window of a
process and its controls by accessible id, and reading a control's text. Import it after putting
this directory on sys.path; it needs Debian's python3 (gi with Atspi)."""
import subprocess
import time
import warnings

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402,F401  (re-exported for the scripts)

# The *_iface accessors are the ones this Debian release documents; newer names differ.
warnings.simplefilter("ignore", DeprecationWarning)


def is_main_window(name):
    # "Talvero", or the usual title "Talvero (host)" once the update check has ended.
    name = name or ""
    return name == "Talvero" or (name.startswith("Talvero (") and name.endswith(")"))


def app_of(pid):
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is not None and app.get_process_id() == pid:
            return app
    return None


def find_frame(pid, timeout=15):
    """The main window of process `pid`, looked for until `timeout` seconds have passed (once
    when it is 0); None when it did not show."""
    end = time.time() + timeout
    while True:
        app = app_of(pid)
        if app is not None:
            for j in range(app.get_child_count()):
                frame = app.get_child_at_index(j)
                if frame is not None and is_main_window(frame.get_name()):
                    return frame
        if time.time() >= end:
            return None
        time.sleep(0.2)


def walk(node, out, depth=0):
    """Fills `out` with every control under `node` by its accessible id (the first one wins)."""
    if node is None or depth > 30:
        return
    acc_id = node.get_accessible_id()
    if acc_id:
        out.setdefault(acc_id, node)
    for i in range(node.get_child_count()):
        walk(node.get_child_at_index(i), out, depth + 1)


def text_of(node):
    t = node.get_text_iface()
    return t.get_text(0, t.get_character_count()) if t else None


def stop(proc):
    """Ends a window program a script started: asked first, killed if it will not go."""
    proc.terminate()
    try:
        proc.wait(10)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()
