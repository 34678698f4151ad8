#!/bin/bash
# Runs a command on a private X display (Xvfb + openbox window manager + trayer tray host),
# started here and stopped by PID afterwards. An existing DISPLAY is not used: tests need a
# predictable screen. TALVERO_NO_TRAY=1 leaves the tray host out (a desktop without one).
set -u
SIZE=${TALVERO_SCREEN:-1280x800x24}

# Waits up to twenty seconds for COMMAND to succeed.
wait_for() {
    for _ in $(seq 400); do "$@" >/dev/null 2>&1 && return 0; sleep 0.05; done
    return 1
}
fail() {
    echo "with-display.sh: $*" >&2
    exit 1
}

PIDS=()
LOGDIR=$(mktemp -d "${TMPDIR:-/tmp}/with-display.XXXXXX")
cleanup() {
    kill "${PIDS[@]}" 2>/dev/null
    wait "${PIDS[@]}" 2>/dev/null
    rm -rf "$LOGDIR"
}
trap cleanup EXIT

# Xvfb picks a free display itself (-displayfd): a display number can be taken by a server whose
# lock file lives in another /tmp, or only by an abstract socket, and guessing from files here
# then connects the tests to someone else's screen.
start_xvfb() {
    : >"$LOGDIR/display"
    Xvfb -displayfd 3 -screen 0 "$SIZE" -nolisten tcp 3>"$LOGDIR/display" >"$LOGDIR/xvfb.log" 2>&1 &
    XVFB=$!
    PIDS+=($XVFB)
    for _ in $(seq 600); do
        [ -s "$LOGDIR/display" ] && break
        kill -0 "$XVFB" 2>/dev/null || break
        sleep 0.05
    done
    [ -s "$LOGDIR/display" ] || { cat "$LOGDIR/xvfb.log" >&2; return 1; }
    export DISPLAY=":$(head -n1 "$LOGDIR/display" | tr -dc 0-9)"
    wait_for xdpyinfo || { echo "with-display.sh: Xvfb did not answer on $DISPLAY" >&2; return 1; }
}

# A cold machine (font caches still being written, the build's last links still running) can
# take seconds before openbox owns the screen, so wait longer and try a second time before
# giving up, and show what openbox said.
start_wm() {
    openbox --sm-disable "$@" >>"$LOGDIR/openbox.log" 2>&1 &
    WM=$!
    PIDS+=($WM)
    for _ in $(seq 600); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && return 0
        kill -0 "$WM" 2>/dev/null || return 1
        sleep 0.05
    done
    return 1
}
start_screen() {
    start_xvfb || return 1
    start_wm && return 0
    # The first one may still hold the screen: it goes before the second one takes over.
    kill "$WM" 2>/dev/null
    wait "$WM" 2>/dev/null
    start_wm --replace
}
# Now and then openbox cannot open a display that has just answered (seen on busy machines with
# many servers coming and going): a fresh server on another number gets past it.
started=0
for attempt in 1 2 3; do
    if start_screen; then
        started=1
        break
    fi
    echo "with-display.sh: attempt $attempt to start a screen failed; openbox said:" >&2
    cat "$LOGDIR/openbox.log" >&2
    : >"$LOGDIR/openbox.log"
    kill "${PIDS[@]}" 2>/dev/null
    wait "${PIDS[@]}" 2>/dev/null
    PIDS=()
done
[ "$started" = 1 ] || fail "no screen with a window manager could be started"
if [ "${TALVERO_NO_TRAY:-0}" != 1 ]; then
    trayer --edge bottom --align right --widthtype request --height 28 >/dev/null 2>&1 &
    PIDS+=($!)
    wait_for xdotool search --class trayer || fail "the tray host (trayer) did not start on $DISPLAY"
fi
"$@"
exit $?
