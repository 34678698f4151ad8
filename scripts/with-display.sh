#!/bin/bash
# Runs a command on a private X display (Xvfb + openbox window manager + trayer tray host),
# started here and stopped by PID afterwards. An existing DISPLAY is not used: tests need a
# predictable screen.
set -u
SIZE=${TALVERO_SCREEN:-1280x800x24}
for n in $(seq 90 140); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then DPY=":$n"; break; fi
done
Xvfb "$DPY" -screen 0 "$SIZE" -nolisten tcp >/dev/null 2>&1 &
XVFB_PID=$!
export DISPLAY="$DPY"
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.05; done
openbox >/dev/null 2>&1 &
WM_PID=$!
trayer --edge bottom --align right --widthtype request --height 28 >/dev/null 2>&1 &
TRAY_PID=$!
sleep 0.5
cleanup() {
    kill "$TRAY_PID" "$WM_PID" 2>/dev/null
    kill "$XVFB_PID" 2>/dev/null
    wait "$TRAY_PID" "$WM_PID" "$XVFB_PID" 2>/dev/null
}
trap cleanup EXIT
"$@"
exit $?
