#!/bin/sh
# bench-memory.sh [DATA_DIR [RUNS]]: whole-process figures of `talvero-cli local` against a plain
# std::unordered_map program doing the same job (bench/dictionary/MapAnchor.cpp): elapsed time
# and peak resident memory, medians of RUNS runs (default 5), on the German-English dictionary,
# a generated million pairs and a generated ten million pairs (written to DATA_DIR, default
# <build dir>/bench-data, when missing). Each dictionary's first run writes its saved index; its
# figures are shown apart. Then `talvero-cli speak --out` against `espeak-ng -w`: the time to
# the first sample in the file and to the end of the run (bench/speech/speak_process_bench.py).
# Then the window's resident memory half a second after it is mapped,
# with the German dictionary, with empty ones and as a bare dialog (rss_MiB of window_bench's
# BM_LaunchToMapped /0, /1 and /2, on a private display); TALVERO_BENCH_NO_WINDOW=1 skips it.
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
echo
python3 bench/speech/speak_process_bench.py "$BUILD_DIR/app/talvero-cli" "$RUNS"
if [ -z "${TALVERO_BENCH_NO_WINDOW:-}" ]; then
    cmake --build "$BUILD_DIR" --target window_bench talvero bare_dialog
    case "$DATA" in /*) ABS_DATA=$DATA ;; *) ABS_DATA="$(pwd)/$DATA" ;; esac
    TALVERO_BENCH_DATA="$ABS_DATA" NO_AT_BRIDGE=1 ./scripts/with-display.sh \
        "$BUILD_DIR/bench/app/window_bench" --benchmark_filter='BM_LaunchToMapped/[012]/' \
        --benchmark_counters_tabular=true
fi
