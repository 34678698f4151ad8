#!/bin/sh
# Installs what is missing, configures and builds into ./build (or $TALVERO_BUILD_DIR).
# Warnings are errors, as in CI.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
BUILD_DIR=${TALVERO_BUILD_DIR:-build}
# shellcheck disable=SC2086
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALVERO_WERROR=ON \
    ${TALVERO_CMAKE_ARGS:-} >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)"
