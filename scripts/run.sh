#!/bin/sh
# Installs what is missing, builds the programs it starts (not the tests), prepares the working directory once (never overwriting the
# user's files), starts the local translation service (Apertium's service and talvero-gateway,
# each on a free port of this machine only) and starts Talvero in it. When the window ends, both
# services stop.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
./scripts/build.sh apps
BUILD_DIR=${TALVERO_BUILD_DIR:-build}
case "$BUILD_DIR" in /*) ;; *) BUILD_DIR="$ROOT/$BUILD_DIR" ;; esac
WORKDIR=${TALVERO_HOME:-$HOME/Talvero}
"$ROOT/scripts/prepare-workdir.sh" "$BUILD_DIR" "$WORKDIR"

exec "$ROOT/gateway/talvero-session.sh" "$WORKDIR" "$BUILD_DIR/app/talvero" \
    "$BUILD_DIR/gateway/talvero-gateway" "$ROOT/gateway/apertium-service.py"
