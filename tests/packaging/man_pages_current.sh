#!/bin/sh
# The manual pages kept in the tree (installed where scdoc is missing) are what scdoc makes of
# their sources today, but for the date. Run: man_pages_current.sh MAN-FOLDER
set -eu
command -v scdoc >/dev/null 2>&1 || { echo "scdoc is not installed: nothing to compare"; exit 0; }
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
failed=0
for source in "$1"/*.scd; do
    page=${source%.scd}
    scdoc <"$source" | grep -v '^\.TH ' >"$T/made"
    grep -v '^\.TH ' "$page" >"$T/kept"
    if ! cmp -s "$T/made" "$T/kept"; then
        echo "$page is not what scdoc makes of $source: run scdoc <$source >$page" >&2
        failed=1
    fi
done
exit $failed
