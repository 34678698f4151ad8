#!/bin/sh
# make-bench-data.sh OUTDIR: writes the data of the dictionary benchmarks, the same bytes on
# every run:
#   OUTDIR/localdictionary_de_en.txt  Debian's trans-de-en converted by the importer
#                                     (one pair per original, its senses joined by " | ", ~363,000 pairs)
#   OUTDIR/synthetic_1m.txt           1,000,000 generated pairs, 1 to 4 words a side, random
#                                     order, seed 1
# Uses talvero-cli and the benchmarks' make_synthetic_dictionary of $TALVERO_BUILD_DIR (default:
# build), building them when they are missing.
set -eu
if [ $# -ne 1 ]; then
    echo "usage: scripts/make-bench-data.sh OUTDIR" >&2
    exit 2
fi
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR=${TALVERO_BUILD_DIR:-build}
case "$BUILD_DIR" in /*) ;; *) BUILD_DIR="$ROOT/$BUILD_DIR" ;; esac
CLI="$BUILD_DIR/app/talvero-cli"
SYNTHETIC="$BUILD_DIR/bench/dictionary/make_synthetic_dictionary"
if [ ! -x "$CLI" ] || [ ! -x "$SYNTHETIC" ]; then
    if [ -f "$BUILD_DIR/build.ninja" ]; then
        cmake --build "$BUILD_DIR" --target talvero-cli make_synthetic_dictionary >/dev/null
    else
        echo "make-bench-data.sh: $CLI is not built (run scripts/build.sh first)" >&2
        exit 1
    fi
fi
if [ ! -r /usr/share/trans/de-en ]; then
    echo "make-bench-data.sh: /usr/share/trans/de-en is missing (run scripts/install-deps.sh)" >&2
    exit 1
fi
mkdir -p "$1"
# Bytes independent of the caller's locale.
export TALVERO_CODEPAGE=UTF-8
"$CLI" import ding /usr/share/trans/de-en "$1"
"$SYNTHETIC" 1000000 "$1/synthetic_1m.txt" 1
