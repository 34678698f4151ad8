#!/usr/bin/env python3
"""Checks that includes run one way: app -> subsystems -> ui/platform -> catalogue/res.

Core files (a folder's top) include no wx code: no gui/ folder and no ui/. Prints every include
that goes the wrong way and exits 1 when there is one."""
import os
import re
import sys

BOTTOM = {"catalogue", "res"}
SUBSYSTEMS = {"dictionary", "web", "speech", "tray", "online", "importer", "gateway"}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def allowed(source, target):
    """May the file `source` include the header `target` (both relative to the root)?"""
    src, dst = source.split("/"), target.split("/")
    top, dtop = src[0], dst[0]
    if top in ("tests", "bench") or dtop not in BOTTOM | SUBSYSTEMS | {"app", "ui", "platform"}:
        return True  # tests and benchmarks see everything; system and generated headers
    gui_source = top in ("ui", "platform") or "gui" in src[1:-1]
    gui_target = dtop == "ui" or "gui" in dst[1:-1]
    if gui_target and not gui_source and not (top == "app" and "gui" in src):
        return False  # core code includes no window code
    if top in BOTTOM:
        # The catalogue's own dialog (options) uses the helpers every dialog uses.
        return dtop in BOTTOM or (gui_source and dtop in ("ui", "platform"))
    if top in ("ui", "platform"):
        return dtop in BOTTOM | {"ui", "platform"}
    if top in SUBSYSTEMS:
        return dtop != "app"
    return True  # app/ sees everything


def main(root):
    bad = []
    for folder in sorted(os.listdir(root)):
        if folder.startswith(".") or folder.startswith("build") or folder in ("tests", "bench"):
            continue
        for dirpath, _, files in os.walk(os.path.join(root, folder)):
            for name in files:
                if not name.endswith((".h", ".cpp")):
                    continue
                path = os.path.join(dirpath, name)
                rel = os.path.relpath(path, root)
                with open(path, encoding="utf-8", errors="replace") as f:
                    for target in INCLUDE.findall(f.read()):
                        if not allowed(rel, target):
                            bad.append(f"{rel}: includes {target}")
    for line in bad:
        print(line)
    if bad:
        print(f"{len(bad)} includes against the layout's direction (see README, The source tree)")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "."))
