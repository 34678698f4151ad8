#!/bin/sh
# bench.sh NAME [ARGS...]: builds what benchmark NAME needs into ./build (or $TALVERO_BUILD_DIR)
# and runs it; each prints its figures beside its targets. Inputs are made once into
# BUILD_DIR/bench-data (or $TALVERO_BENCH_DATA, or the DATA_DIR argument where one is taken).
#
#   dictionary [DATA_DIR [BENCHMARK OPTIONS]]  load, memory, lookups, near search, additions,
#                         against std::unordered_map on the same files (medians of five runs)
#   memory [DATA_DIR [RUNS]]  whole-process time and peak memory of `talvero-cli local` against
#                         a plain std::unordered_map program at 100k, 391k, 1M and 10M pairs:
#                         the first run (writes the index), warm and cold lookups, index size,
#                         each beside its target; then
#                         `talvero-cli speak --out` against `espeak-ng -w` (first sample, whole
#                         run); then the window's resident memory once mapped
#                         (TALVERO_BENCH_NO_WINDOW=1 skips it)
#   translate [DATA_DIR]  `talvero-cli translate` with Google and the local dictionary against a
#                         form answering after 300 ms, beside each alone (hyperfine)
#   web [OPTIONS]         the three web engines against loopback servers answering after 300 ms
#   gateway [APY-OPTION...]  the local translation service with Apertium against one Apertium
#                         service asked directly (TALVERO_APERTIUM_SERVICES=N: N services)
#   gateway-hostile [SECONDS]  the gateway under slow and idle clients (target: a normal request
#                         answered within 200 ms); half-closed requests
#   gateway-stall [SECONDS]  the gateway under a login flood from 1,000 addresses, 40 waits on a
#                         5 s translation, a locked uploads table (target: a normal request
#                         within 200 ms, median and worst)
#   speech [TRIALS]       the voice: request to first sample, Stop to silence, synthesis speed,
#                         the idle speech threads
#   dictation             recognition speed, first-hypothesis delay, word errors before and after
#                         training, the recognizer's memory
#   window [OPTIONS]      the window on a private display: idle processor time while a delay
#                         runs, launch to mapped, stalls while Translate waits, near search
# The machine is shared: the load average is printed beside figures that it skews.
set -eu
cd "$(dirname "$0")/.."
usage() {
    sed -n '2,/^# The machine/p' "$0" | sed 's/^# \{0,1\}//' >&2
    exit 2
}
[ $# -ge 1 ] || usage
NAME=$1
shift
case "$NAME" in
    dictionary | memory | translate | web | gateway | gateway-hostile | gateway-stall | speech | dictation | window) ;;
    *) usage ;;
esac

./scripts/install-deps.sh
BUILD_DIR=${TALVERO_BUILD_DIR:-build}
# shellcheck disable=SC2086
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALVERO_WERROR=ON \
    ${TALVERO_CMAKE_ARGS:-} >/dev/null
build() { cmake --build "$BUILD_DIR" --target "$@"; }
absolute() { case "$1" in /*) echo "$1" ;; *) echo "$(pwd)/$1" ;; esac; }
# The German-English dictionary and the generated million pairs, once.
bench_data() {
    if [ ! -s "$1/localdictionary_de_en.txt" ] || [ ! -s "$1/synthetic_1m.txt" ]; then
        TALVERO_BUILD_DIR=$BUILD_DIR ./scripts/make-bench-data.sh "$1"
    fi
}
load() { echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) processors"; }

case "$NAME" in
dictionary)
    DATA=$BUILD_DIR/bench-data
    if [ $# -gt 0 ]; then
        DATA=$1
        shift
    fi
    build dictionary_bench talvero-cli
    # TALVERO_BENCH_REAL / TALVERO_BENCH_1M name other input files.
    if [ -z "${TALVERO_BENCH_REAL:-}" ] || [ -z "${TALVERO_BENCH_1M:-}" ]; then bench_data "$DATA"; fi
    export TALVERO_BENCH_REAL="${TALVERO_BENCH_REAL:-$DATA/localdictionary_de_en.txt}"
    export TALVERO_BENCH_1M="${TALVERO_BENCH_1M:-$DATA/synthetic_1m.txt}"
    "$BUILD_DIR/bench/dictionary/dictionary_bench" --benchmark_repetitions=5 \
        --benchmark_report_aggregates_only=true --benchmark_out="$DATA/results.json" \
        --benchmark_out_format=json "$@" >/dev/null
    python3 bench/dictionary/table.py "$DATA/results.json"
    ;;
memory)
    DATA=${1:-$BUILD_DIR/bench-data}
    RUNS=${2:-5}
    build talvero-cli map_anchor make_synthetic_dictionary
    bench_data "$DATA"
    for n in 100000:100k 10000000:10m; do
        if [ ! -s "$DATA/synthetic_${n#*:}.txt" ]; then
            "$BUILD_DIR/bench/dictionary/make_synthetic_dictionary" "${n%:*}" \
                "$DATA/synthetic_${n#*:}.txt" 1
        fi
    done
    load
    # Each dictionary's first run writes its saved index and answers from it; its figures are
    # shown apart. The first dictionary is the yardstick of the largest one's processor time.
    python3 bench/dictionary/process_bench.py "$BUILD_DIR/app/talvero-cli" \
        "$BUILD_DIR/bench/dictionary/map_anchor" "$RUNS" \
        "100k=$DATA/synthetic_100k.txt:ze" \
        "de-en 391k=$DATA/localdictionary_de_en.txt:Haus" \
        "1M=$DATA/synthetic_1m.txt:ze" \
        "10M=$DATA/synthetic_10m.txt:ze"
    echo
    python3 bench/speech/speak_process_bench.py "$BUILD_DIR/app/talvero-cli" "$RUNS"
    if [ -z "${TALVERO_BENCH_NO_WINDOW:-}" ]; then
        # Resident memory three seconds after mapping: German dictionary, empty ones, bare
        # dialog, German dictionary at a first start (target: at most 1.25 times the empty).
        build window_bench talvero bare_dialog
        TALVERO_BENCH_DATA="$(absolute "$DATA")" NO_AT_BRIDGE=1 ./scripts/with-display.sh \
            "$BUILD_DIR/bench/app/window_bench" --benchmark_filter='BM_LaunchToMapped/[0124]/' \
            --benchmark_counters_tabular=true
    fi
    ;;
translate)
    # With the dictionary loaded during the request, both together take close to the larger of
    # the two alone, not their sum.
    DATA=${1:-$BUILD_DIR/bench-data}
    build talvero-cli
    if [ ! -s "$DATA/localdictionary_de_en.txt" ]; then
        TALVERO_BUILD_DIR=$BUILD_DIR ./scripts/make-bench-data.sh "$DATA"
    fi
    CLI=$(cd "$BUILD_DIR/app" && pwd)/talvero-cli
    DICT=$(cd "$DATA" && pwd)/localdictionary_de_en.txt
    WORK=$(mktemp -d)
    PORTFILE=$WORK/port
    python3 bench/web/slow_form_server.py 300 >"$PORTFILE" &
    SERVER=$!
    trap 'kill $SERVER 2>/dev/null; rm -rf "$WORK"' EXIT INT TERM
    while [ ! -s "$PORTFILE" ]; do sleep 0.05; done
    PORT=$(cat "$PORTFILE")
    for setup in both local google; do
        mkdir -p "$WORK/$setup"
        ln -s "$DICT" "$WORK/$setup/localdictionary_es_en.txt"
        printf 'talvero\nTalvero' >"$WORK/$setup/personaldictionary_es_en.txt"
        printf 'GOOGLE FORM ADDRESS\nhttp://127.0.0.1:%s' "$PORT" >"$WORK/$setup/TalveroServices.txt"
    done
    printf 'USE GOOGLE\nYES\nUSE LOCAL DICTIONARY\nYES' >"$WORK/both/TalveroConfig.txt"
    printf 'USE GOOGLE\nNO\nUSE LOCAL DICTIONARY\nYES' >"$WORK/local/TalveroConfig.txt"
    printf 'USE GOOGLE\nYES\nUSE LOCAL DICTIONARY\nNO' >"$WORK/google/TalveroConfig.txt"
    hyperfine --warmup 1 --runs 10 --style basic \
        -n "google + local" "cd $WORK/both && $CLI translate Haus" \
        -n "local alone" "cd $WORK/local && $CLI translate Haus" \
        -n "google alone" "cd $WORK/google && $CLI translate Haus"
    ;;
web)
    build web_bench
    "$BUILD_DIR/bench/web/web_bench" "$@"
    ;;
gateway)
    build gateway_bench talvero-gateway
    load
    "$BUILD_DIR/bench/gateway/gateway_bench" "$PWD" "$BUILD_DIR/gateway/talvero-gateway" "$@"
    ;;
gateway-hostile)
    build talvero-gateway
    python3 bench/gateway/hostile.py "$BUILD_DIR/gateway/talvero-gateway" "${1:-30}"
    ;;
gateway-stall)
    build talvero-gateway
    python3 bench/gateway/stall.py "$BUILD_DIR/gateway/talvero-gateway" "${1:-10}"
    ;;
speech)
    build speech_bench
    "$BUILD_DIR/bench/speech/speech_bench" "$@"
    ;;
dictation)
    # Phrases are lines 41-60 of the training text: the model's settings were chosen on lines
    # 1-20, so these were not looked at while tuning.
    build dictation_bench talvero-cli
    DATA=$(absolute "${TALVERO_BENCH_DATA:-$BUILD_DIR/bench-data}/speech")
    TEXT="$(pwd)/bench/speech/training-text.txt"
    rm -rf "$DATA" && mkdir -p "$DATA"
    sox -t raw -r 16000 -e signed -b 16 -c 1 /usr/share/pocketsphinx/test/data/goforward.raw \
        "$DATA/goforward.wav" pad 1.0 0.5
    WAVS=""
    for i in $(seq 41 60); do
        sed -n "${i}p" "$TEXT" >"$DATA/phrase$i.txt"
        espeak-ng -v en-us -w "$DATA/raw$i.wav" -f "$DATA/phrase$i.txt"
        sox "$DATA/raw$i.wav" "$DATA/phrase$i.wav" pad 0.5 0.8
        WAVS="$WAVS $DATA/phrase$i.wav"
    done
    load
    # shellcheck disable=SC2086
    "$BUILD_DIR/bench/speech/dictation_bench" "$DATA" "$TEXT" $WAVS
    # A minute of speech (the recorded files, three times over) through the CLI in the trained
    # directory: the whole process's peak resident size.
    LONG="$DATA/minute.wav"
    RECORDED=/usr/share/pocketsphinx/test/data/librivox
    sox "$RECORDED"/*.wav "$RECORDED"/*.wav "$RECORDED"/*.wav "$LONG"
    CLI="$(pwd)/$BUILD_DIR/app/talvero-cli"
    KB=$(cd "$DATA/trained" && /usr/bin/time -f %M "$CLI" dictate "$LONG" 2>&1 >/dev/null | tail -1)
    MB=$((KB / 1024))
    if [ "$MB" -le 150 ]; then met=met; else met=MISSED; fi
    printf '%-44s %9d MB   target <= 150   %s\n' "memory of the running recognizer (peak)" "$MB" "$met"
    ;;
window)
    build window_bench talvero talvero-cli bare_dialog
    DATA=$(absolute "${TALVERO_BENCH_DATA:-$BUILD_DIR/bench-data}")
    if [ ! -s "$DATA/localdictionary_de_en.txt" ]; then
        TALVERO_BUILD_DIR="$BUILD_DIR" ./scripts/make-bench-data.sh "$DATA"
    fi
    # The one-letter input runs on the German dictionary with every synonym a pair of its own.
    if [ ! -s "$DATA/split/localdictionary_de_en.txt" ]; then
        mkdir -p "$DATA/split"
        TALVERO_CODEPAGE=UTF-8 "$BUILD_DIR/app/talvero-cli" import ding /usr/share/trans/de-en \
            "$DATA/split" --split-synonyms
    fi
    export TALVERO_BENCH_DATA="$DATA" NO_AT_BRIDGE=1
    ./scripts/with-display.sh "$BUILD_DIR/bench/app/window_bench" "$@"
    ;;
esac
