#!/bin/sh
# Builds and runs the local translation service's benchmark, all in one run with a different
# phrase for every request: one Apertium service asked directly (the anchor: 1 client and 8),
# then the service as the session starts it (one Apertium service per core behind
# talvero-gateway, on loopback ports): first translation after start, first request of each
# installed pair once warming is done, a Translate with the three web rows, and 1 and 8 clients
# against the anchor. Prints the load average beside the figures: the machine is shared, so run
# it when the load is low. Extra arguments go to the gateway's Apertium services;
# TALVERO_APERTIUM_SERVICES=N runs N of them instead of one per core.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
BUILD_DIR=${TALVERO_BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD_DIR" --target gateway_bench talvero-gateway
"$BUILD_DIR/bench/gateway/gateway_bench" "$PWD" "$BUILD_DIR/gateway/talvero-gateway" "$@"
