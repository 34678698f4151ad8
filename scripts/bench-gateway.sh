#!/bin/sh
# Builds and runs the local translation service's benchmark: Apertium's service and
# talvero-gateway started fresh on loopback ports (first translation after start), then a
# Translate with the three web rows through them, then 8 clients at once. Extra arguments go to
# Apertium's service (e.g. -j 2 for two processes).
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
BUILD_DIR=${TALVERO_BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD_DIR" --target gateway_bench talvero-gateway
"$BUILD_DIR/bench/gateway/gateway_bench" "$PWD" "$BUILD_DIR/gateway/talvero-gateway" "$@"
