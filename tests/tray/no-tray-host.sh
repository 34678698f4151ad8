#!/bin/sh
# Runs the given test program on a private display with a window manager but no tray host.
TALVERO_NO_TRAY=1 exec "$(dirname "$0")/../../scripts/with-display.sh" "$@"
