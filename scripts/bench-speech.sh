#!/bin/sh
# Builds and runs the voice benchmark: a speak request to its first sample, Stop to silence,
# synthesis speed of a 20-word phrase, processor time of the idle speech threads (10 s).
# Optional argument: the number of trials (21).
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
BUILD_DIR=${TALVERO_BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD_DIR" --target speech_bench
"$BUILD_DIR/bench/speech/speech_bench" "$@"
