#!/bin/sh
# Soak of the window: Talvero on a private display, translating (local dictionary and a web
# form answered by a loopback server), adding and undoing in a loop for MINUTES (default 30),
# driven over AT-SPI; the process's resident memory is sampled every 30 s.
#   scripts/soak-window.sh [MINUTES]   (needs a build in ./build or $TALVERO_BUILD_DIR)
set -eu
cd "$(dirname "$0")/.."
ROOT=$(pwd)
MINUTES=${1:-30}
BUILD_DIR=${TALVERO_BUILD_DIR:-build}
case "$BUILD_DIR" in /*) ;; *) BUILD_DIR="$ROOT/$BUILD_DIR" ;; esac
DIR=$(mktemp -d /tmp/talvero-soak-XXXXXX)
trap 'rm -rf "$DIR"' EXIT
mkdir -p "$DIR/home"
printf 'perro\ndog\nel perro\nthe dog\ngato\ncat\ncasa blanca\nwhite house\ncome\neats' \
    >"$DIR/localdictionary_es_en.txt"
: >"$DIR/personaldictionary_es_en.txt"
# A form service on the loopback: each POST gets a result page after 200 ms.
PORT=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cat >"$DIR/server.py" <<'PY'
import http.server, sys, time
class H(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        self.rfile.read(int(self.headers.get("Content-Length", 0)))
        time.sleep(0.2)
        body = b'<div id=result_box dir="ltr">the soak</div>'
        self.send_response(200); self.send_header("Content-Length", str(len(body)))
        self.end_headers(); self.wfile.write(body)
    def log_message(self, *a): pass
http.server.ThreadingHTTPServer(("127.0.0.1", int(sys.argv[1])), H).serve_forever()
PY
python3 "$DIR/server.py" "$PORT" &
SERVER=$!
printf 'USE LOCAL DICTIONARY\nYES\nUSE GOOGLE\nYES\nSHOW TRANSLATION POPUP BANNER\nNO\nCHECK FOR UPDATES AT STARTUP\nNO\n' \
    >"$DIR/TalveroConfig.txt"
printf 'GOOGLE FORM ADDRESS\nhttp://127.0.0.1:%s\n' "$PORT" >"$DIR/TalveroServices.txt"
unset NO_AT_BRIDGE
export HOME="$DIR/home"
cd "$DIR"
status=0
"$ROOT/scripts/with-display.sh" dbus-run-session -- sh -c '
    "$0" & pid=$!
    /usr/bin/python3 "$1" "$pid" "$2"; rc=$?
    kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
    exit $rc' "$BUILD_DIR/app/talvero" "$ROOT/tests/app/soak_window.py" "$MINUTES" || status=$?
kill "$SERVER" 2>/dev/null || true
exit $status
