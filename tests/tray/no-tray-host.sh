#!/bin/bash
# Runs the given test program on a private display with a window manager but no tray host,
# started here and stopped by PID afterwards.
set -u
for n in $(seq 141 190); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then DPY=":$n"; break; fi
done
Xvfb "$DPY" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
XVFB_PID=$!
export DISPLAY="$DPY"
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.05; done
openbox >/dev/null 2>&1 &
WM_PID=$!
sleep 0.3
cleanup() {
    kill "$WM_PID" "$XVFB_PID" 2>/dev/null
    wait "$WM_PID" "$XVFB_PID" 2>/dev/null
}
trap cleanup EXIT
"$@"
exit $?
