#!/bin/bash
# Runs a command on a private X display (Xvfb + openbox window manager + trayer tray host),
# started here and stopped by PID afterwards. An existing DISPLAY is not used: tests need a
# predictable screen. TALVERO_NO_TRAY=1 leaves the tray host out (a desktop without one).
set -u
SIZE=${TALVERO_SCREEN:-1280x800x24}
FIRST=90 LAST=190

# Waits up to five seconds for COMMAND to succeed.
wait_for() {
    for _ in $(seq 100); do "$@" >/dev/null 2>&1 && return 0; sleep 0.05; done
    return 1
}
fail() {
    echo "with-display.sh: $*" >&2
    exit 1
}

DPY=
for n in $(seq $FIRST $LAST); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then DPY=":$n"; break; fi
done
[ -n "$DPY" ] || fail "no free display between :$FIRST and :$LAST (each has a /tmp/.X<n>-lock" \
    "or /tmp/.X11-unix/X<n>; remove those of X servers that no longer run)"

PIDS=()
cleanup() {
    kill "${PIDS[@]}" 2>/dev/null
    wait "${PIDS[@]}" 2>/dev/null
}
trap cleanup EXIT

Xvfb "$DPY" -screen 0 "$SIZE" -nolisten tcp >/dev/null 2>&1 &
PIDS+=($!)
export DISPLAY="$DPY"
wait_for xdpyinfo || fail "Xvfb did not start on $DPY"
openbox >/dev/null 2>&1 &
PIDS+=($!)
wait_for sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
    fail "the window manager (openbox) did not start on $DPY"
if [ "${TALVERO_NO_TRAY:-0}" != 1 ]; then
    trayer --edge bottom --align right --widthtype request --height 28 >/dev/null 2>&1 &
    PIDS+=($!)
    wait_for xdotool search --class trayer || fail "the tray host (trayer) did not start on $DPY"
fi
"$@"
exit $?
