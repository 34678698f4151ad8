#!/bin/sh
# Installs what is missing, builds (warnings are errors) and runs every test; prints ctest's
# summary. GUI tests run on a private Xvfb display with a window manager and a tray host.
set -eu
cd "$(dirname "$0")/.."

./scripts/build.sh
BUILD_DIR=${TALVERO_BUILD_DIR:-build}
cd "$BUILD_DIR"
export NO_AT_BRIDGE=1
../scripts/with-display.sh ctest --output-on-failure -j "$(nproc)" "$@"
