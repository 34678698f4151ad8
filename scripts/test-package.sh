#!/bin/sh
# The Debian package as a user meets it: built and checked with lintian (scripts/package.sh),
# its programs in place and stripped with the debug symbols in talvero-dbgsym, the menu entry
# and the software centre's description valid, and a first start of the extracted package with
# an empty HOME on a private display (tests/packaging/first_start.sh). CI runs it.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
started=$(date +%s)
failed=0
fail() {
    echo "test-package: $*" >&2
    failed=$((failed + 1))
}

# Every library the build installs must be in Build-Depends, or the package only builds on a
# machine that happens to have it (the test frameworks are not built into the package).
build_depends=$(sed -n '/^Build-Depends:/,/^[A-Z]/{s/^Build-Depends://;/^[A-Z]/d;p}' debian/control |
    tr ',' '\n' | sed 's/[(|].*//; s/[[:space:]]//g')
for dev in $(sed -n '/^PACKAGES="/,/^"/p' scripts/install-deps.sh | tr ' ' '\n' | grep -- '-dev$' |
    grep -vx -e libgtest-dev -e libgmock-dev -e libbenchmark-dev | sort -u); do
    echo "$build_depends" | grep -qx -- "$dev" ||
        fail "debian/control's Build-Depends lack $dev (scripts/install-deps.sh installs it)"
done

./scripts/package.sh >"${TMPDIR:-/tmp}/talvero-package.$$" || {
    rm -f "${TMPDIR:-/tmp}/talvero-package.$$"
    echo "test-package: the package did not build" >&2
    exit 1
}
DEB=$(tail -n 1 "${TMPDIR:-/tmp}/talvero-package.$$")
rm -f "${TMPDIR:-/tmp}/talvero-package.$$"
built=$(date +%s)
echo "test-package: built and checked $DEB in $((built - started)) s"
ls "$(dirname "$DEB")"/talvero-dbgsym_*deb >/dev/null 2>&1 || fail "no talvero-dbgsym package"
GATEWAY_DEB=$(ls "$(dirname "$DEB")"/talvero-gateway_*.deb 2>/dev/null | head -n 1)
[ -n "$GATEWAY_DEB" ] || fail "no talvero-gateway package"

T=$(mktemp -d "${TMPDIR:-/tmp}/talvero-package-test.XXXXXX")
trap 'rm -rf "$T"' EXIT
dpkg-deb -x "$DEB" "$T/root"
[ -z "$GATEWAY_DEB" ] || dpkg-deb -x "$GATEWAY_DEB" "$T/root"
R="$T/root"
# The service's files are in talvero-gateway, not in talvero.
dpkg-deb -c "$DEB" | grep -q 'usr/bin/talvero-gateway$' && fail "talvero holds talvero-gateway"
for f in usr/bin/talvero usr/bin/talvero-cli usr/bin/talvero-gateway usr/lib/talvero/talvero \
    usr/lib/talvero/talvero-prepare usr/lib/talvero/talvero-session \
    usr/lib/talvero/talvero-apertium-service usr/share/applications/talvero.desktop \
    usr/share/metainfo/io.github.talvero.Talvero.metainfo.xml \
    usr/share/icons/hicolor/48x48/apps/talvero.png usr/share/man/man1/talvero.1.gz \
    usr/share/man/man1/talvero-cli.1.gz usr/share/man/man1/talvero-gateway.1.gz \
    usr/share/doc/talvero/copyright usr/share/doc/talvero-gateway/copyright \
    lib/systemd/system/talvero-gateway.service lib/systemd/system/talvero-apertium@.service \
    etc/talvero/gateway.conf usr/share/doc/talvero-gateway/examples/haproxy.cfg; do
    [ -e "$R/$f" ] || fail "the package lacks /$f"
done
for lang in $(grep -v '^#' po/LINGUAS); do
    [ -e "$R/usr/share/locale/$lang/LC_MESSAGES/talvero.mo" ] || fail "the package lacks the $lang catalogue"
done
for f in "$R"/usr/bin/* "$R"/usr/lib/talvero/*; do
    head -c 4 "$f" | grep -q ELF || continue
    readelf -S "$f" | grep -q '\.debug_info' && fail "${f#"$R"} is not stripped"
done
desktop-file-validate "$R/usr/share/applications/talvero.desktop" ||
    fail "desktop-file-validate complains"
appstreamcli validate --no-net "$R/usr/share/metainfo/io.github.talvero.Talvero.metainfo.xml" ||
    fail "appstreamcli validate complains"

# The units as systemd reads them (no systemd runs here as PID 1): their programs are the
# extracted package's, their manual page too. Any complaint fails.
mkdir -p "$T/units"
for unit in talvero-gateway.service talvero-apertium@.service; do
    sed -e "s|/usr/bin/talvero-gateway|$R/usr/bin/talvero-gateway|" \
        -e "s|/usr/lib/talvero/|$R/usr/lib/talvero/|" "$R/lib/systemd/system/$unit" >"$T/units/$unit"
done
complaints=$(cd "$T/units" && MANPATH="$R/usr/share/man" systemd-analyze verify \
    talvero-gateway.service talvero-apertium@.service 2>&1) || fail "systemd-analyze verify failed"
[ -z "$complaints" ] || fail "systemd-analyze verify complains: $complaints"

./scripts/with-display.sh tests/packaging/first_start.sh "$R" || fail "the first start failed"

echo "test-package: $(($(date +%s) - started)) s in all"
if [ "$failed" -ne 0 ]; then
    echo "test-package: $failed check(s) failed" >&2
    exit 1
fi
echo "test-package: the package passed"
