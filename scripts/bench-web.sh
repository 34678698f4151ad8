#!/bin/sh
# Builds and runs the web engine benchmarks (loopback servers only, no outside network):
# a Translate with the three web engines against servers answering after 300 ms, the same
# requests one after the other, and the cost of one translator request.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
BUILD_DIR=${TALVERO_BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD_DIR" --target web_bench
"$BUILD_DIR/bench/web/web_bench" "$@"
