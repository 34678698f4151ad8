#!/usr/bin/python3
"""Looks at the window of a first start from outside, as a screen reader sees it (AT-SPI):
the main window shows and nothing else does (an error box would be a second window), then
"el perro" is translated and the Google row and the local dictionary must both answer.

usage: first_start_check.py PID"""
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from atspi_window import Atspi, app_of, is_main_window, text_of, walk  # noqa: E402

INPUT, GOOGLE, LOCAL, TRANSLATE = "1000", "1002", "1005", "1032"


def showing_windows(app):
    out = []
    for j in range(app.get_child_count()):
        frame = app.get_child_at_index(j)
        if frame is not None and frame.get_state_set().contains(Atspi.StateType.SHOWING):
            out.append(frame)
    return out


def texts(node, out, depth=0):
    if node is None or depth > 30:
        return out
    t = node.get_text_iface()
    if t is not None and t.get_character_count() > 0:
        out.append(t.get_text(0, t.get_character_count()))
    elif node.get_name():
        out.append(node.get_name())
    for i in range(node.get_child_count()):
        texts(node.get_child_at_index(i), out, depth + 1)
    return out


def main():
    pid = int(sys.argv[1])
    main_window = None
    end = time.time() + 90
    while time.time() < end and main_window is None:
        app = app_of(pid)
        for frame in showing_windows(app) if app else []:
            if is_main_window(frame.get_name()):
                main_window = frame
        if main_window is None:
            time.sleep(0.3)
    if main_window is None:
        print("no Talvero window of pid %d showed" % pid)
        app = app_of(pid)
        for frame in showing_windows(app) if app else []:
            print("showing instead: %r %s" % (frame.get_name(), " / ".join(texts(frame, []))))
        return 1
    # Error boxes of the start-up (a dictionary or settings file that cannot be opened) come
    # up while the window initialises, captioned like the window; give a late one a moment.
    time.sleep(2)
    failures = []
    main_index = main_window.get_index_in_parent()
    for frame in showing_windows(app_of(pid)):
        if frame.get_index_in_parent() != main_index:
            failures.append("a second window shows: %r %s" % (frame.get_name(),
                                                               " / ".join(texts(frame, []))))
    controls = {}
    walk(main_window, controls)
    controls[INPUT].get_editable_text_iface().set_text_contents("el perro")
    controls[TRANSLATE].get_action_iface().do_action(0)
    google = local = None
    end = time.time() + 60
    while time.time() < end:
        google, local = text_of(controls[GOOGLE]), text_of(controls[LOCAL])
        if google and local:
            break
        time.sleep(0.2)
    print("google: %r, local: %r" % (google, local))
    if not google or "dog" not in google.lower():
        failures.append("the Google row did not answer 'el perro' (%r)" % google)
    if not local or "dog" not in local.lower():
        failures.append("the local dictionary did not answer 'el perro' (%r)" % local)
    for f in failures:
        print(f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
