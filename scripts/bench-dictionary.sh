#!/bin/sh
# bench-dictionary.sh [DATA_DIR [BENCHMARK OPTIONS]]: builds the dictionary benchmark, prepares its two inputs (the
# German-English dictionary of Debian's trans-de-en as phrase pairs, and a generated file of a
# million pairs) in DATA_DIR (default: <build dir>/bench-data), runs every measure five times
# against std::unordered_map loaded from the same files and prints the medians as a table.
# TALVERO_BENCH_REAL / TALVERO_BENCH_1M name other input files.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
BUILD_DIR=${TALVERO_BUILD_DIR:-build}
DATA=$BUILD_DIR/bench-data
if [ $# -gt 0 ]; then
    DATA=$1
    shift
fi
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALVERO_WERROR=ON >/dev/null
cmake --build "$BUILD_DIR" --target dictionary_bench talvero-cli
if [ -z "${TALVERO_BENCH_REAL:-}" ] || [ -z "${TALVERO_BENCH_1M:-}" ]; then
    if [ ! -s "$DATA/localdictionary_de_en.txt" ] || [ ! -s "$DATA/synthetic_1m.txt" ]; then
        TALVERO_BUILD_DIR=$BUILD_DIR ./scripts/make-bench-data.sh "$DATA"
    fi
fi
export TALVERO_BENCH_REAL=${TALVERO_BENCH_REAL:-$DATA/localdictionary_de_en.txt}
export TALVERO_BENCH_1M=${TALVERO_BENCH_1M:-$DATA/synthetic_1m.txt}
"$BUILD_DIR/bench/dictionary/dictionary_bench" --benchmark_repetitions=5 \
    --benchmark_report_aggregates_only=true --benchmark_out="$DATA/results.json" \
    --benchmark_out_format=json "$@" >/dev/null
python3 bench/dictionary/table.py "$DATA/results.json"
