#!/bin/sh
# shellcheck disable=SC2016 # the inner shells expand their arguments
# prepare_test.sh PREPARE TALVERO_CLI: the working directory's first-start preparation on a
# private dictionary folder holding a copy of dict-freedict-spa-eng, a half-removed
# dict-freedict-eng-spa (its .index without its data) and a pair the program has no local
# dictionary for. Prints "N passed, N failed".
set -u
# Without a display its error messages stay on stderr: a dialog left on the shared test display
# would be taken for the window by the tests that run after this one.
unset DISPLAY WAYLAND_DISPLAY
PREPARE=$1
CLI=$2
SPA_ENG=/usr/share/dictd/freedict-spa-eng
T=$(mktemp -d "${TMPDIR:-/tmp}/talvero-prepare-test.XXXXXX")
HOLDER=""
trap '[ -n "$HOLDER" ] && kill "$HOLDER" 2>/dev/null; chmod -R u+w "$T" 2>/dev/null; rm -rf "$T"' EXIT
passed=0
failed=0
check() { # check DESCRIPTION COMMAND...
    what=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAILED: $what" >&2
    fi
}
has() { grep -q -- "$2" "$1"; }
lacks() { ! grep -q -- "$2" "$1"; }

if [ ! -r "$SPA_ENG.index" ]; then
    echo "dict-freedict-spa-eng is not installed (scripts/install-deps.sh installs it)" >&2
    exit 1
fi
DICTD="$T/dictd"
mkdir -p "$DICTD" "$T/trans" "$T/home"
cp "$SPA_ENG.index" "$SPA_ENG.dict.dz" "$DICTD/"
cp "$SPA_ENG.index" "$DICTD/freedict-eng-spa.index"
cp "$SPA_ENG.index" "$DICTD/freedict-jpn-fra.index"
cp "$SPA_ENG.dict.dz" "$DICTD/freedict-jpn-fra.dict.dz"
export TALVERO_DICTD_DIR="$DICTD" TALVERO_TRANS_DIR="$T/trans"
W="$T/home/Talvero"
prepare() { "$PREPARE" --cli "$CLI" "$@" >"$T/out" 2>"$T/err"; }

# A first start: the whole directory, with what is installed and whole; a word on what is not;
# the German-English file left for the run beside the window. A temporary folder that a killed
# start left behind goes.
printf 'Hund {m} :: dog\nKatze {f} :: cat\n' >"$T/trans/de-en"
mkdir "$T/home/.talvero-prepare.KILLED"
check "first preparation succeeds" prepare --defer-large "$W"
check "German-English left for later" test ! -e "$W/localdictionary_de_en.txt"
check "es_en imported" test -s "$W/localdictionary_es_en.txt"
check "personal dictionary" test "$(cat "$W/personaldictionary_es_en.txt")" = "hasta la vista
see you later"
check "first settings" has "$W/TalveroConfig.txt" "USE GOOGLE"
check "gateway folder" test -d "$W/gateway"
check "half-removed eng-spa left out" test ! -e "$W/localdictionary_en_es.txt"
check "half-removed eng-spa named" has "$T/err" "left out freedict-eng-spa"
check "unknown pair passed over quietly" lacks "$T/err" "jpn-fra"
check "no temporary folder left" test -z "$(find "$T/home" -maxdepth 1 -name '.talvero-prepare.*')"

# Later starts: the user's files stay, a dictionary they deleted is not brought back, and a
# repaired package is imported.
printf 'mine' >"$W/TalveroConfig.txt"
rm "$W/localdictionary_es_en.txt"
check "second preparation succeeds" prepare "$W"
check "settings kept" test "$(cat "$W/TalveroConfig.txt")" = mine
check "deleted dictionary not imported again" test ! -e "$W/localdictionary_es_en.txt"
check "German-English imported by the next run" has "$W/localdictionary_de_en.txt" "Katze"
check "and English-German" has "$W/localdictionary_en_de.txt" "dog"
cp "$SPA_ENG.dict.dz" "$DICTD/freedict-eng-spa.dict.dz"
touch "$DICTD/freedict-eng-spa.index"
check "preparation after a repair succeeds" prepare "$W"
check "repaired eng-spa imported" test -s "$W/localdictionary_en_es.txt"
check "its personal dictionary" test -e "$W/personaldictionary_en_es.txt"
check "settings still kept" test "$(cat "$W/TalveroConfig.txt")" = mine

# A working directory that is a file: a clear word, the file untouched.
printf 'x' >"$T/home/file"
check "a file as working directory fails" sh -c '! "$0" --cli "$1" "$2" 2>"$3"' \
    "$PREPARE" "$CLI" "$T/home/file" "$T/err"
check "it says so" has "$T/err" "is a file, not a folder"
check "the file is untouched" test "$(cat "$T/home/file")" = x

# A home the user cannot write to: a clear word and nothing made. Root writes anywhere, so the
# check runs as nobody when the test runs as root, with a copy of the script that nobody can
# reach wherever the tree lies.
mkdir "$T/ro"
cp "$PREPARE" "$T/talvero-prepare"
chmod 755 "$T" "$DICTD" "$T/trans" "$T/talvero-prepare"
chmod 555 "$T/ro"
as_user=""
[ "$(id -u)" -eq 0 ] && as_user="setpriv --reuid=65534 --regid=65534 --clear-groups"
check "a read-only home fails" sh -c '! $0 "$1" --cli "$2" "$3" 2>"$4"' \
    "$as_user" "$T/talvero-prepare" "$CLI" "$T/ro/Talvero" "$T/err-ro"
check "it says so" has "$T/err-ro" "cannot create the working directory"
check "nothing made there" test -z "$(ls -A "$T/ro")"

# A second start while the first one prepares waits for it, then finds the work done.
mkdir "$T/second"
flock "$T/second" sh -c 'while [ ! -e "$0/release" ]; do sleep 0.05; done' "$T" &
HOLDER=$!
i=0
while flock -n "$T/second" true && [ $i -lt 400 ]; do
    sleep 0.05
    i=$((i + 1))
done
"$PREPARE" --cli "$CLI" "$T/second/Talvero" >/dev/null 2>"$T/err-wait" &
waiter=$!
i=0
until has "$T/err-wait" "waiting" || [ $i -ge 400 ]; do
    sleep 0.05
    i=$((i + 1))
done
check "the second start says it waits" has "$T/err-wait" "another start is preparing"
check "and makes nothing meanwhile" test ! -e "$T/second/Talvero"
touch "$T/release"
wait "$HOLDER"
HOLDER=""
check "it then prepares" wait "$waiter"
check "the directory is there" test -s "$T/second/Talvero/localdictionary_es_en.txt"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
