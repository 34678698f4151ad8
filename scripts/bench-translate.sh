#!/bin/sh
# bench-translate.sh [DATA_DIR]: elapsed time of `talvero-cli translate` with Google and the local
# German-English dictionary ticked, against a loopback form answering after 300 ms, beside the
# local dictionary alone and Google alone (hyperfine, 10 runs each). With the dictionary loaded
# during the request, the first is close to the larger of the other two, not their sum.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
BUILD_DIR=${TALVERO_BUILD_DIR:-build}
DATA=${1:-$BUILD_DIR/bench-data}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALVERO_WERROR=ON >/dev/null
cmake --build "$BUILD_DIR" --target talvero-cli
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
