#!/bin/sh
# Builds and runs the dictation benchmark: decoding speed on Debian's recorded speech, the first
# hypothesis's delay with audio fed at speaking pace, word errors on 20 phrases of a training text
# spoken by espeak-ng before and after training with the text, and the memory of a running
# recognizer (peak resident size of `talvero-cli dictate` on a minute of speech with the trained
# model). The phrases are lines 41-60 of bench/speech/training-text.txt: the model's settings were
# chosen on lines 1-20, so these were not looked at while tuning. Inputs go to
# $TALVERO_BENCH_DATA/speech (default: BUILD_DIR/bench-data/speech).
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
BUILD_DIR=${TALVERO_BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD_DIR" --target dictation_bench talvero-cli
DATA=${TALVERO_BENCH_DATA:-$BUILD_DIR/bench-data}/speech
case "$DATA" in /*) ;; *) DATA="$(pwd)/$DATA" ;; esac
TEXT="$(pwd)/bench/speech/training-text.txt"
rm -rf "$DATA" && mkdir -p "$DATA"
sox -t raw -r 16000 -e signed -b 16 -c 1 /usr/share/pocketsphinx/test/data/goforward.raw \
    "$DATA/goforward.wav" pad 1.0 0.5
WAVS=""
for i in $(seq 41 60); do
    sed -n "${i}p" "$TEXT" > "$DATA/phrase$i.txt"
    espeak-ng -v en-us -w "$DATA/raw$i.wav" -f "$DATA/phrase$i.txt"
    sox "$DATA/raw$i.wav" "$DATA/phrase$i.wav" pad 0.5 0.8
    WAVS="$WAVS $DATA/phrase$i.wav"
done
# The machine's load skews speed and delay; it is printed with them.
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) processors"
# shellcheck disable=SC2086
"$BUILD_DIR/bench/speech/dictation_bench" "$DATA" "$TEXT" $WAVS

# A minute of speech (the recorded files, three times over) through the CLI in the trained
# directory: the whole process's peak resident size.
LONG="$DATA/minute.wav"
sox /usr/share/pocketsphinx/test/data/librivox/*.wav /usr/share/pocketsphinx/test/data/librivox/*.wav \
    /usr/share/pocketsphinx/test/data/librivox/*.wav "$LONG"
CLI="$(pwd)/$BUILD_DIR/app/talvero-cli"
KB=$(cd "$DATA/trained" && /usr/bin/time -f %M "$CLI" dictate "$LONG" 2>&1 >/dev/null | tail -1)
MB=$((KB / 1024))
if [ "$MB" -le 150 ]; then met=met; else met=MISSED; fi
printf '%-44s %9d MB   target <= 150   %s\n' "memory of the running recognizer (peak)" "$MB" "$met"
