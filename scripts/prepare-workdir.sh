#!/bin/sh
# prepare-workdir.sh BUILD_DIR WORKDIR: creates the working directory with the imported
# dictionaries and a first settings file. Files that already exist are left alone.
set -eu
BUILD_DIR=$1
WORKDIR=$2
CLI="$BUILD_DIR/app/talvero-cli"
mkdir -p "$WORKDIR"

# Writes FILE in WORKDIR with the text of $2 unless FILE exists (no line end after the last line).
write_once() {
    [ -e "$WORKDIR/$1" ] && return 0
    printf '%s' "$2" >"$WORKDIR/.$1.tmp"
    mv "$WORKDIR/.$1.tmp" "$WORKDIR/$1"
}

# Runs `talvero-cli import ARGS... WORKDIR --keep-existing`; shows what it wrote, not what it
# kept; a failed import is reported (on standard error) but does not stop the start.
import_once() {
    out=$("$CLI" import "$@" "$WORKDIR" --keep-existing) || return 0
    case "$out" in "Kept the existing "*) ;; *) echo "$out" ;; esac
}

# The Spanish to English local dictionary from dict-freedict-spa-eng.
import_once freedict /usr/share/dictd/freedict-spa-eng

# Every other installed FreeDict database whose pair the local list has; those it lacks are
# skipped quietly.
for index in /usr/share/dictd/freedict-*.index; do
    [ -e "$index" ] || continue
    case "$index" in */freedict-spa-eng.index) continue ;; esac
    import_once freedict "${index%.index}" 2>/dev/null
done

# German to English and English to German from trans-de-en (ding), each synonym its own original.
if [ -r /usr/share/trans/de-en ]; then
    import_once ding /usr/share/trans/de-en --split-synonyms
    import_once ding /usr/share/trans/de-en --reverse --split-synonyms
fi

# The personal dictionary of the default pair, with one pair of the user's own (it wins over
# the local dictionary's "bye, goodbye").
write_once personaldictionary_es_en.txt "hasta la vista
see you later"

# An empty personal dictionary beside every other local one, so that choosing its pair in the
# window does not report a missing file; the first addition then creates no empty line.
for local in "$WORKDIR"/localdictionary_*.txt; do
    [ -e "$local" ] || continue
    code=${local##*/localdictionary_}
    write_once "personaldictionary_$code" ""
done

# First settings: the local dictionary and the Google row ticked, both Spanish to English (the
# run command answers the Google form with the local translation service). The program adds the
# other keys with their defaults when it saves.
write_once TalveroConfig.txt "USE LOCAL DICTIONARY
YES
LOCAL DICTIONARY LANGUAGE PAIR
SPANISH TO ENGLISH
USE GOOGLE
YES
GOOGLE LANGUAGE PAIR
SPANISH TO ENGLISH"

# The local translation service keeps its upload database and its users file here.
mkdir -p "$WORKDIR/gateway"
