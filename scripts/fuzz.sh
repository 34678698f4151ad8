#!/bin/sh
# Fuzzes one reader for a set time with libFuzzer (Debian's clang, address and undefined-behaviour
# sanitizers):
#   scripts/fuzz.sh NAME [SECONDS] [RUNS] [more libFuzzer options]
# NAME is one of: settings dictionary html dictd ding updatepage wav gateway. The run stops after SECONDS (default 60)
# or RUNS executions (default 10000000), whichever comes first, at low priority. It starts from
# the seed corpus fuzz/corpus/NAME; inputs that reach new code go to build-fuzz/corpus/NAME (copy
# the useful ones into fuzz/corpus/NAME), a crashing input to build-fuzz/crashes/NAME/ and the log
# to build-fuzz/NAME.log. Replay one with build-fuzz/fuzz/fuzz_NAME FILE.
set -eu
cd "$(dirname "$0")/.."
name=${1:?usage: scripts/fuzz.sh NAME [SECONDS] [RUNS]}
seconds=${2:-60}
runs=${3:-10000000}
[ $# -ge 3 ] && shift 3 || shift $#
case "$name" in
settings | dictionary | html | dictd | ding | updatepage | wav | gateway) ;;
*) echo "fuzz: unknown target '$name' (settings dictionary html dictd ding updatepage wav gateway)" >&2; exit 2 ;;
esac

BUILD=${TALVERO_FUZZ_BUILD_DIR:-build-fuzz}
if [ ! -f "$BUILD/build.ninja" ]; then
    CC=clang CXX=clang++ cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DTALVERO_FUZZ=ON -DTALVERO_BUILD_TESTS=OFF -DTALVERO_BUILD_BENCH=OFF >/dev/null
fi
nice -n 10 ninja -C "$BUILD" "fuzz_$name" >/dev/null

mkdir -p "$BUILD/corpus/$name" "$BUILD/crashes/$name"
# Leaks are reported too, but a long-lived cache is not one: only the process's end counts.
ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} \
UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
    nice -n 15 "$BUILD/fuzz/fuzz_$name" "$BUILD/corpus/$name" "fuzz/corpus/$name" \
    -max_total_time="$seconds" -runs="$runs" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
    -print_final_stats=1 -artifact_prefix="$BUILD/crashes/$name/" "$@" \
    >"$BUILD/$name.log" 2>&1 && status=0 || status=$?
grep -E "^(Done|stat::number_of_executed_units|stat::peak_rss_mb)|ERROR|SUMMARY" "$BUILD/$name.log" || true
exit $status
