#!/bin/sh
# The local translation service under hostile clients: 16 clients sending a byte every 8 s and
# 1,500 idle connections, while a normal request is timed (target: answered within 200 ms);
# also requests whose client half-closes. Optional argument: seconds of measuring per round
# (default 30).
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
BUILD_DIR=${TALVERO_BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD_DIR" --target talvero-gateway
python3 scripts/bench-gateway-hostile.py "$BUILD_DIR/gateway/talvero-gateway" "${1:-30}"
