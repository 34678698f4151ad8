#!/bin/sh
# bench-memory.sh [DATA_DIR [RUNS]]: whole-process figures of `talvero-cli local` against a plain
# std::unordered_map program doing the same job (bench/dictionary/MapAnchor.cpp): elapsed time
# and peak resident memory, medians of RUNS runs (default 5), on the German-English dictionary,
# a generated million pairs and a generated ten million pairs (written to DATA_DIR, default
# <build dir>/bench-data, when missing).
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
BUILD_DIR=${TALVERO_BUILD_DIR:-build}
DATA=${1:-$BUILD_DIR/bench-data}
RUNS=${2:-5}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALVERO_WERROR=ON >/dev/null
cmake --build "$BUILD_DIR" --target talvero-cli map_anchor make_synthetic_dictionary
if [ ! -s "$DATA/localdictionary_de_en.txt" ] || [ ! -s "$DATA/synthetic_1m.txt" ]; then
    TALVERO_BUILD_DIR=$BUILD_DIR ./scripts/make-bench-data.sh "$DATA"
fi
if [ ! -s "$DATA/synthetic_10m.txt" ]; then
    "$BUILD_DIR/bench/dictionary/make_synthetic_dictionary" 10000000 "$DATA/synthetic_10m.txt" 1
fi
python3 bench/dictionary/process_bench.py "$BUILD_DIR/app/talvero-cli" \
    "$BUILD_DIR/bench/dictionary/map_anchor" "$RUNS" \
    "de-en 391k=$DATA/localdictionary_de_en.txt:Haus" \
    "1M=$DATA/synthetic_1m.txt:ze" \
    "10M=$DATA/synthetic_10m.txt:ze"
