#!/bin/sh
# Installs what is missing, builds, prepares the working directory once (never overwriting the
# user's files) and starts Talvero in it.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
./scripts/build.sh
BUILD_DIR=${TALVERO_BUILD_DIR:-build}
case "$BUILD_DIR" in /*) ;; *) BUILD_DIR="$ROOT/$BUILD_DIR" ;; esac
WORKDIR=${TALVERO_HOME:-$HOME/Talvero}
"$ROOT/scripts/prepare-workdir.sh" "$BUILD_DIR" "$WORKDIR"
cd "$WORKDIR"
exec "$BUILD_DIR/app/talvero"
