#!/bin/sh
# Builds the Debian packages talvero and talvero-gateway (and their automatic -dbgsym packages)
# the Debian way, dpkg-buildpackage from debian/, checks them with lintian and prints the path of
# talvero's .deb on the last line (talvero-gateway's lies beside it). Install them with
# `apt install ./build-deb/talvero_*.deb ./build-deb/talvero-gateway_*.deb`.
#
# The package is built from a copy of the tree's files (tracked and new, not ignored) in
# build-deb/ (or $TALVERO_PACKAGE_DIR), so no build directory of yours gets into it and the
# files dpkg-buildpackage writes beside the source land there too. The tests are not built or
# run (DEB_BUILD_OPTIONS=nocheck; TALVERO_PACKAGE_TESTS=1 runs the headless ones). ccache is
# used when installed, through the environment.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
./scripts/install-deps.sh --packaging >&2

OUT=${TALVERO_PACKAGE_DIR:-$ROOT/build-deb}
case "$OUT" in /*) ;; *) OUT="$ROOT/$OUT" ;; esac
SRC="$OUT/talvero"
rm -rf "$SRC"
rm -f "$OUT"/talvero_* "$OUT"/talvero-dbgsym_* "$OUT"/talvero-gateway_* "$OUT"/talvero-gateway-dbgsym_*
mkdir -p "$SRC"
if git -C "$ROOT" rev-parse --git-dir >/dev/null 2>&1; then
    git -C "$ROOT" ls-files -z --cached --others --exclude-standard |
        tar -C "$ROOT" --null --ignore-failed-read -T - -cf - 2>/dev/null | tar -C "$SRC" -xf -
else
    tar -C "$ROOT" --exclude='./build*' --exclude=./.git -cf - . | tar -C "$SRC" -xf -
fi

if [ "${TALVERO_PACKAGE_TESTS:-0}" != 1 ]; then
    DEB_BUILD_OPTIONS="nocheck ${DEB_BUILD_OPTIONS:-}"
    export DEB_BUILD_OPTIONS
fi
if command -v ccache >/dev/null 2>&1; then
    : "${CMAKE_C_COMPILER_LAUNCHER:=ccache}" "${CMAKE_CXX_COMPILER_LAUNCHER:=ccache}"
    export CMAKE_C_COMPILER_LAUNCHER CMAKE_CXX_COMPILER_LAUNCHER
fi

echo "package.sh: building in $SRC (log: $OUT/build.log)" >&2
if ! (cd "$SRC" && dpkg-buildpackage -b -us -uc -j"$(nproc)") >"$OUT/build.log" 2>&1; then
    tail -n 40 "$OUT/build.log" >&2
    echo "package.sh: dpkg-buildpackage failed (log: $OUT/build.log)" >&2
    exit 1
fi

VERSION=$(dpkg-parsechangelog -l "$SRC/debian/changelog" -S Version)
ARCH=$(dpkg-architecture -q DEB_HOST_ARCH)
DEB="$OUT/talvero_${VERSION}_${ARCH}.deb"
[ -f "$DEB" ] || {
    echo "package.sh: dpkg-buildpackage made no $DEB" >&2
    exit 1
}

# Errors fail the build; warnings and notes are shown.
echo "package.sh: lintian" >&2
lintian --fail-on error --display-info "$OUT/talvero_${VERSION}_${ARCH}.changes" >&2 || {
    echo "package.sh: lintian found errors" >&2
    exit 1
}
echo "$DEB"
