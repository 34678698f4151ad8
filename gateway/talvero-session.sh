#!/bin/sh
# talvero-session WORKDIR TALVERO GATEWAY APERTIUM_SERVICE [ARGS...]: starts the local
# translation service (Apertium's service and talvero-gateway, each on a free port of this
# machine only), runs the window TALVERO with ARGS in WORKDIR, and stops both services when the
# window ends. Used by the README's run command and by the desktop menu's launcher.
set -eu
WORKDIR=$1
TALVERO=$2
GATEWAY=$3
APERTIUM_SERVICE=$4
shift 4
mkdir -p "$WORKDIR/gateway"
RUNDIR=$(mktemp -d "${TMPDIR:-/tmp}/talvero-run.XXXXXX")
SERVICES="$WORKDIR/TalveroServices.txt"
# A copy of the services file as this command last wrote it: while the two are the same the
# file is ours to rewrite (the ports change from run to run) and to remove at the end; once the
# user has a file of their own, or edits ours, it is left alone.
WRITTEN="$WORKDIR/gateway/services-written-by-run"
PIDS=""

ours() {
    [ ! -e "$SERVICES" ] || { [ -e "$WRITTEN" ] && cmp -s "$SERVICES" "$WRITTEN"; }
}

stop_services() {
    for pid in $PIDS; do kill "$pid" 2>/dev/null || true; done
    for pid in $PIDS; do wait "$pid" 2>/dev/null || true; done
    if [ -e "$SERVICES" ] && ours; then rm -f "$SERVICES" "$WRITTEN"; fi
    rm -rf "$RUNDIR"
}
trap stop_services EXIT
trap 'exit 130' INT TERM HUP

# Waits up to 20 s for FILE (a port written by a starting service) while PID lives.
wait_for_port() {
    i=0
    while [ ! -s "$1" ]; do
        kill -0 "$2" 2>/dev/null || return 1
        i=$((i + 1))
        [ "$i" -le 200 ] || return 1
        sleep 0.1
    done
    cat "$1"
}

# One Apertium service per core (TALVERO_APERTIUM_SERVICES sets another count): each runs every
# pair, and the gateway spreads the requests over them (one service is a single Python process,
# which one core bounds).
services_count=${TALVERO_APERTIUM_SERVICES:-$(nproc 2>/dev/null || echo 1)}
case $services_count in '' | *[!0-9]* | 0) services_count=1 ;; esac

start_services() {
    apertium_options=""
    n=0
    while [ "$n" -lt "$services_count" ]; do
        /usr/bin/python3 "$APERTIUM_SERVICE" --port-file "$RUNDIR/apertium$n.port" \
            -p 0 /usr/share/apertium/modes >"$RUNDIR/apertium$n.log" 2>&1 &
        PIDS="$PIDS $!"
        eval "apertium_pid$n=$!"
        n=$((n + 1))
    done
    n=0
    while [ "$n" -lt "$services_count" ]; do
        eval "pid=\$apertium_pid$n"
        apertium_port=$(wait_for_port "$RUNDIR/apertium$n.port" "$pid") || {
            echo "talvero: Apertium's service did not start:" >&2
            tail -n 5 "$RUNDIR/apertium$n.log" >&2
            return 1
        }
        apertium_options="$apertium_options --apertium http://127.0.0.1:$apertium_port"
        n=$((n + 1))
    done
    # Spanish to English is warmed first; the other pairs follow in the background.
    # shellcheck disable=SC2086
    "$GATEWAY" --port 0 --port-file "$RUNDIR/gateway.port" $apertium_options \
        --database "$WORKDIR/gateway/uploads.sqlite" --users "$WORKDIR/gateway/users.txt" \
        --warm 'es|en' --warm all 2>"$RUNDIR/gateway.log" &
    PIDS="$PIDS $!"
    gateway_port=$(wait_for_port "$RUNDIR/gateway.port" $!) || {
        echo "talvero: the translation gateway did not start:" >&2
        tail -n 5 "$RUNDIR/gateway.log" >&2
        return 1
    }
    address="http://127.0.0.1:$gateway_port"
    if ours; then
        printf 'GOOGLE FORM ADDRESS\n%s\nBABELFISH FORM ADDRESS\n%s\nFREETRANSLATION FORM ADDRESS\n%s\nUPLOAD SERVER ADDRESS\n%s\nUPDATE SITE ADDRESS\n%s\n' \
            "$address" "$address" "$address" "$address" "$address" >"$RUNDIR/services"
        cp "$RUNDIR/services" "$WRITTEN"
        mv "$RUNDIR/services" "$SERVICES"
        echo "talvero: the web rows translate with Apertium through $address"
    else
        echo "talvero: $SERVICES is your own, so the web rows use its addresses;" \
            "the local translation service is at $address" >&2
    fi
}

start_services || echo "talvero: starting Talvero without the local translation service" >&2
cd "$WORKDIR"
"$TALVERO" "$@"
