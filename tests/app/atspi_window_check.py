#!/usr/bin/python3
"""Drives the running Talvero window from outside, as a screen reader sees it (AT-SPI):
finds every control by its accessible id, reads names and states, types into the input box,
presses "Translate" and reads the local dictionary's result.

usage: atspi_window_check.py PID EXPECTED_TRANSLATION"""
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from atspi_window import Atspi, find_frame, text_of, walk  # noqa: E402

# Every control of the main window with an id.
IDS = [1, 2, 1000, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010, 1011, 1012, 1013,
       1014, 1015, 1016, 1017, 1018, 1019, 1020, 1021, 1022, 1023, 1024, 1025, 1026, 1027,
       1028, 1032, 1034, 1035, 1036, 1038, 1039, 1048, 1050, 1051, 1052, 1053, 1054, 1055,
       1056, 1057, 1058, 1059, 1063, 1064, 1065, 1066, 1068, 1069, 1070, 1073, 1100]
HIDDEN = {2, 1011, 1013}


def main():
    pid, expected = int(sys.argv[1]), sys.argv[2]
    frame = find_frame(pid)
    if frame is None:
        print("no Talvero window of pid %d on the accessibility bus" % pid)
        return 1
    controls = {}
    walk(frame, controls)
    failures = []
    for i in IDS:
        node = controls.get(str(i))
        if node is None:
            if i not in HIDDEN:  # hidden controls may stay out of the tree
                failures.append("no control with accessible id %d" % i)
            continue
    for i, name in [(1000, "Text to translate"), (1005, "Local dictionary translation result"),
                    (1006, "Near matches"), (1032, "Translate"), (1, "Exit")]:
        node = controls.get(str(i))
        if node is not None and node.get_name() != name:
            failures.append("control %d is named %r, not %r" % (i, node.get_name(), name))
    local = controls.get("1023")
    if local is not None and not local.get_state_set().contains(Atspi.StateType.CHECKED):
        failures.append("the local dictionary box is not ticked")
    pair = controls.get("1036")
    if pair is not None:
        # Named by its row; its value is the selected item.
        if pair.get_name() != "Local dictionary language pair":
            failures.append("the local pair list is named %r" % pair.get_name())
        selected = pair.get_selection_iface().get_selected_child(0)
        shown = selected.get_name() if selected is not None else None
        if shown != "Spanish to English":
            failures.append("the local pair shows %r" % shown)

    # Type, press Translate, read the result.
    controls["1000"].get_editable_text_iface().set_text_contents("perro")
    button = controls["1032"].get_action_iface()
    button.do_action(0)
    result = None
    for _ in range(50):
        result = text_of(controls["1005"])
        if result == expected:
            break
        time.sleep(0.1)
    if result != expected:
        failures.append("box 1005 holds %r, not %r" % (result, expected))

    for f in failures:
        print(f)
    print("%d controls found, %d failures" % (len(controls), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
