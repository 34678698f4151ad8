#!/bin/sh
# sway_test.sh TALVERO [SHOT_DIR]: the window program on a real Wayland compositor, a headless
# sway without Xwayland, with its own session bus: the checks of sway_check.py. sway refuses to
# run as root, so as root everything runs as the unprivileged user talvero-wl (created here on
# first use) in a folder of its own, with a copy of the program.
set -eu
HERE=$(cd "$(dirname "$0")" && pwd)
TALVERO=$1
SHOTS=${2:-${TALVERO_SHOT_DIR:-}}
for tool in sway grim wl-copy dbus-run-session; do
    command -v "$tool" >/dev/null || { echo "sway_test: $tool is missing" >&2; exit 1; }
done
DIR=$(mktemp -d "${TMPDIR:-/tmp}/talvero-sway.XXXXXX")
trap 'rm -rf "$DIR"' EXIT
cp "$TALVERO" "$DIR/talvero"
cp "$HERE/sway_check.py" "$HERE/portal_standin.py" "$HERE/notification_standin.py" \
    "$HERE/../support/atspi_window.py" "$DIR/"
if [ -n "$SHOTS" ]; then mkdir -p "$SHOTS"; fi
if [ "$(id -u)" -eq 0 ]; then
    id talvero-wl >/dev/null 2>&1 || useradd -m -s /bin/sh talvero-wl
    chown -R talvero-wl "$DIR"
    chmod 755 "$DIR"
    if [ -n "$SHOTS" ]; then chown talvero-wl "$SHOTS"; fi
    set -- runuser -u talvero-wl --
else
    set --
fi
rc=0
"$@" dbus-run-session -- /usr/bin/python3 "$DIR/sway_check.py" "$DIR" "$SHOTS" || rc=$?
exit $rc
