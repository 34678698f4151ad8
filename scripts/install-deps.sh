#!/bin/sh
# Installs, with apt-get, every Debian package that the build, the program and the tests need.
# Idempotent: only missing packages are installed, with an `apt-get update` first.
# `install-deps.sh --packaging` adds the tools that build and check the Debian package
# (scripts/package.sh). A library added here for the build belongs in debian/control's
# Build-Depends too.
set -eu

PACKAGES="
build-essential cmake ninja-build pkg-config clang-format
gettext
clang
ccache
libwxgtk3.2-dev libgtk-3-dev libx11-dev libxtst-dev libxext-dev libayatana-appindicator3-dev
libgtk-layer-shell-dev libwayland-dev libwayland-bin
sway wl-clipboard grim
libcurl4-openssl-dev ca-certificates zlib1g-dev
libgtest-dev libgmock-dev libbenchmark-dev libcpp-httplib-dev
tinyproxy xvfb xauth openbox trayer xdotool imagemagick x11-utils
dbus at-spi2-core python3-gi python3-dbus gir1.2-atspi-2.0
dict-freedict-spa-eng trans-de-en
wamerican wbritish
apertium
apertium-apy
apertium-eng-spa
apertium-fr-es
apertium-es-pt
libsqlite3-dev
libpq-dev
postgresql
postgresql-common
libsodium-dev
libxxhash-dev
time
haproxy scdoc systemd
libmicrohttpd-dev libgnutls28-dev openssl
nlohmann-json3-dev
espeak-ng
libespeak-ng-dev
portaudio19-dev
libsoxr-dev
libsndfile1-dev
libasound2-dev
sox
dict-freedict-eng-spa dict-freedict-fra-eng dict-freedict-eng-fra dict-freedict-ita-eng dict-freedict-eng-ita dict-freedict-por-eng dict-freedict-eng-por dict-freedict-nld-eng dict-freedict-eng-nld dict-freedict-deu-spa dict-freedict-spa-deu
libpocketsphinx-dev
libsphinxbase-dev
pocketsphinx-en-us
pocketsphinx-testdata
portaudio19-dev
libsoxr-dev
libsndfile1-dev
libasound2-dev
espeak-ng
sox
"

if [ "${1:-}" = --packaging ]; then
    PACKAGES="$PACKAGES debhelper dpkg-dev lintian scdoc desktop-file-utils appstream"
fi

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

if [ -z "$missing" ]; then
    exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
    SUDO=""
elif command -v sudo >/dev/null 2>&1; then
    SUDO="sudo"
else
    echo "install-deps: missing packages:$missing" >&2
    echo "install-deps: run as root or install sudo to let this script install them" >&2
    exit 1
fi

echo "Installing:$missing"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
# shellcheck disable=SC2086
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing
