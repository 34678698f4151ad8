#!/usr/bin/env python3
"""Checks that includes run one way, down the floors of the tree (each folder is a library that
links only the folders below it; this is the backstop for headers that are only included):

  app
  online (uses dictionary, web)   gateway (uses web)
  dictionary   web   speech   tray   importer      (peers: none includes another)
  ui           (window layer only)
  platform
  settings
  catalogue
  base   res

A folder includes headers of its own folder and of folders on a lower floor, never of a peer or
of a folder above it. Core files (outside ui/, platform's subfolders and any gui/ folder) include no window
code. tests/, bench/ and fuzz/ see everything. Prints every include that goes the wrong way and
exits 1 when there is one."""
import os
import re
import sys

FLOOR = {
    "base": 0,
    "res": 0,
    "catalogue": 1,
    "settings": 2,
    "platform": 3,
    "ui": 4,
    "dictionary": 5,
    "web": 5,
    "speech": 5,
    "tray": 5,
    "importer": 5,
    "online": 6,
    "gateway": 6,
    "app": 7,
}
# Folders a floor above another may still not use (the gateway is a program of its own and
# stays small).
FORBIDDEN = {"gateway": {"dictionary", "speech", "tray", "importer", "platform", "settings"}}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def is_window_code(parts):
    """Is the file at these path parts part of the window layer?"""
    return (parts[0] == "ui" or (parts[0] == "platform" and len(parts) > 2)
            or "gui" in parts[1:-1])


def allowed(source, target):
    """May the file `source` include the header `target` (both relative to the root)?"""
    src, dst = source.split("/"), target.split("/")
    top, dtop = src[0], dst[0]
    if top not in FLOOR or dtop not in FLOOR:
        return True  # tests, benchmarks, fuzz targets; system and generated headers
    if is_window_code(dst) and not is_window_code(src):
        return False  # core code includes no window code
    if dtop in FORBIDDEN.get(top, ()):
        return False
    return top == dtop or FLOOR[dtop] < FLOOR[top]


def main(root):
    bad = []
    for folder in sorted(FLOOR):
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
