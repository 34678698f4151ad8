#!/bin/sh
# atspi_window_test.sh TALVERO CHECKER: runs Talvero in a prepared working directory with the
# accessibility bridge on, inside its own D-Bus session, and drives it with CHECKER.
set -u
TALVERO=$1
CHECK=$2
DIR=$(mktemp -d /tmp/talvero-atspi-XXXXXX)
trap 'rm -rf "$DIR"' EXIT
mkdir -p "$DIR/home"
printf 'perro\ndog\nel perro\nthe dog' >"$DIR/localdictionary_es_en.txt"
printf 'gato\ncat' >"$DIR/personaldictionary_es_en.txt"
printf 'USE LOCAL DICTIONARY\nYES\nLOCAL DICTIONARY LANGUAGE PAIR\nSPANISH TO ENGLISH\n' \
    >"$DIR/TalveroConfig.txt"
unset NO_AT_BRIDGE
export HOME="$DIR/home"
cd "$DIR" || exit 1
dbus-run-session -- sh -c '
    "$0" & pid=$!
    /usr/bin/python3 "$1" "$pid" dog; rc=$?
    kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
    exit $rc' "$TALVERO" "$CHECK"
