#!/bin/sh
# Builds and runs the window benchmarks on a private display: the processor time used while an
# automatic translation waits its 1000 ms delay, and the time from launch to the window being
# mapped with the German-English dictionary (~363,000 pairs) as the local pair. The dictionary
# is made once into $TALVERO_BENCH_DATA (default: BUILD_DIR/bench-data).
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
BUILD_DIR=${TALVERO_BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD_DIR" --target window_bench talvero talvero-cli
DATA=${TALVERO_BENCH_DATA:-$BUILD_DIR/bench-data}
case "$DATA" in /*) ;; *) DATA="$(pwd)/$DATA" ;; esac
if [ ! -s "$DATA/localdictionary_de_en.txt" ]; then
    TALVERO_BUILD_DIR="$BUILD_DIR" ./scripts/make-bench-data.sh "$DATA"
fi
export TALVERO_BENCH_DATA="$DATA" NO_AT_BRIDGE=1
./scripts/with-display.sh "$BUILD_DIR/bench/app/window_bench" "$@"
