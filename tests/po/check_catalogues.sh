#!/bin/sh
# The catalogues of po/LINGUAS are complete and hold exactly the template's messages; compiled
# into the build tree they answer at run time in their language, with their plural rule, and
# the pseudo catalogue wraps what it translates.
#   check_catalogues.sh SOURCE_DIR LOCALE_DIR PSEUDO_LOCALE_DIR PSEUDO_LANGUAGE
set -eu
PO="$1/po"
LOCALES="$2"
PSEUDO="$3"
PSEUDO_LANG="$4"
failed=0
fail() {
    echo "check_catalogues: $*" >&2
    failed=1
}

# Looks TEXT up as the program would in LANG from DIR; LANGUAGE is honoured outside the C locale.
say() {
    LC_ALL=C.UTF-8 LANGUAGE="$1" TEXTDOMAINDIR="$2" gettext -d talvero -- "$3"
}
say_n() {
    LC_ALL=C.UTF-8 LANGUAGE="$1" TEXTDOMAINDIR="$2" ngettext -d talvero -- "$3" "$3" "$4"
}

languages=$(grep -v '^#' "$PO/LINGUAS")
[ -n "$languages" ] || fail "po/LINGUAS names no language"
for lang in $languages; do
    stats=$(msgfmt --check --statistics -o /dev/null "$PO/$lang.po" 2>&1) ||
        fail "$lang.po does not pass msgfmt --check: $stats"
    case "$stats" in
        *untranslated* | *fuzzy*) fail "$lang.po is not complete: $stats" ;;
    esac
    # Every message of the template, and none that the template lacks.
    msgcmp "$PO/$lang.po" "$PO/talvero.pot" || fail "$lang.po lacks messages of talvero.pot"
    msgcmp --use-untranslated "$PO/talvero.pot" "$PO/$lang.po" ||
        fail "$lang.po holds messages that talvero.pot does not"
    [ -f "$LOCALES/$lang/LC_MESSAGES/talvero.mo" ] || fail "the build made no $lang catalogue"
done

# Run-time lookups in the build tree's catalogues; a missing language falls back to English.
[ "$(say es "$LOCALES" Translate)" = Traducir ] || fail "Spanish lookup: $(say es "$LOCALES" Translate)"
[ "$(say xx "$LOCALES" Translate)" = Translate ] || fail "an unknown language is not English"
[ "$(say_n fr "$LOCALES" 'Read %d bytes' 1)" = '%d octet lu' ] || fail "French singular"
[ "$(say_n fr "$LOCALES" 'Read %d bytes' 0)" = '%d octet lu' ] || fail "French 0 is singular"
[ "$(say_n de "$LOCALES" 'Read %d bytes' 0)" = '%d Bytes gelesen' ] || fail "German 0 is plural"

# The pseudo catalogue: wrapped inside the blanks, filter patterns and line ends left alone.
[ "$(say "$PSEUDO_LANG" "$PSEUDO" Translate)" = '[Translate]' ] || fail "pseudo: Translate"
[ "$(say "$PSEUDO_LANG" "$PSEUDO" ' Only the first 10 MB of the text were used.')" = \
    ' [Only the first 10 MB of the text were used.]' ] || fail "pseudo: leading blank"
[ "$(say "$PSEUDO_LANG" "$PSEUDO" 'Text Files (*.txt)|*.txt|All Files (*.*)|*.*')" = \
    '[Text Files (*.txt)]|*.txt|[All Files (*.*)]|*.*' ] || fail "pseudo: file filter"

exit "$failed"
