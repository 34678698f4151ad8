#!/bin/sh
# shellcheck disable=SC2016 # the inner shell expands its arguments
# first_start.sh ROOT [SHOT.png]: starts the installed starter ROOT/usr/bin/talvero (ROOT is /
# for an installed package, or where a .deb was extracted) as a new user would from the menu:
# empty HOME, on the display of scripts/with-display.sh, in a D-Bus session of its own with the
# accessibility bus on. Checks that the window shows without an error box, that the Google row
# (through the local translation service) and the local dictionary answer "el perro", that the
# working directory was prepared, and that Exit ends the window and the services with it.
# SHOT.png receives a screenshot of the screen after the translation.
set -u
ROOT=$1
SHOT=${2:-}
HERE=$(cd "$(dirname "$0")" && pwd)
T=$(mktemp -d "${TMPDIR:-/tmp}/talvero-first-start.XXXXXX")
trap 'rm -rf "$T"' EXIT
mkdir "$T/home"
unset NO_AT_BRIDGE TALVERO_HOME
export HOME="$T/home"

dbus-run-session -- sh -c '
    ROOT=$1 HERE=$2 T=$3 SHOT=$4
    "$ROOT/usr/bin/talvero" >"$T/launcher.log" 2>&1 &
    launcher=$!
    # The launcher becomes the session script, whose child is the window.
    window=""
    i=0
    while [ -z "$window" ] && [ $i -lt 600 ] && kill -0 "$launcher" 2>/dev/null; do
        window=$(pgrep -P "$launcher" -x talvero)
        [ -n "$window" ] || sleep 0.2
        i=$((i + 1))
    done
    if [ -z "$window" ]; then
        echo "the window did not start"
        cat "$T/launcher.log"
        kill "$launcher" 2>/dev/null
        exit 1
    fi
    /usr/bin/python3 "$HERE/first_start_check.py" "$window"
    rc=$?
    [ -z "$SHOT" ] || import -window root "$SHOT"
    # Exit, as the user would (Escape ends without saving): the session then stops the services.
    xdotool search --onlyvisible --pid "$window" 2>/dev/null | while read -r w; do
        xdotool windowactivate --sync "$w" key Escape 2>/dev/null
    done
    i=0
    while kill -0 "$launcher" 2>/dev/null && [ $i -lt 150 ]; do
        sleep 0.2
        i=$((i + 1))
    done
    if kill -0 "$launcher" 2>/dev/null; then
        echo "the launcher did not end after the window closed"
        pkill -P "$launcher"
        kill "$window" "$launcher" 2>/dev/null
        rc=1
    fi
    echo "--- what the launcher said:"
    cat "$T/launcher.log"
    exit $rc' sh "$ROOT" "$HERE" "$T" "$SHOT"
rc=$?

W="$HOME/Talvero"
# The large German-English dictionary is imported beside the window; let that run end.
i=0
while pgrep -f "talvero-prepare .*$W" >/dev/null && [ $i -lt 600 ]; do
    sleep 0.2
    i=$((i + 1))
done
if [ -r /usr/share/trans/de-en ] && [ ! -s "$W/localdictionary_de_en.txt" ]; then
    echo "trans-de-en was not imported after the first start"
    rc=1
fi
for f in localdictionary_es_en.txt personaldictionary_es_en.txt TalveroConfig.txt \
    .talvero-prepared gateway; do
    [ -e "$W/$f" ] || {
        echo "the working directory lacks $f"
        rc=1
    }
done
[ ! -e "$W/TalveroServices.txt" ] || {
    echo "TalveroServices.txt was left behind"
    rc=1
}
# Nothing of this start may still run: its processes name the temporary home or ROOT's files.
left=$(pgrep -f "$T/home|$ROOT/usr/lib/talvero/" | grep -v "^$$\$")
if [ -n "$left" ] && [ "$ROOT" != / ]; then
    echo "still running after the window ended: $left"
    rc=1
fi
[ $rc -eq 0 ] && echo "first start: passed" || echo "first start: FAILED"
exit $rc
