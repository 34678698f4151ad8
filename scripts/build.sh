#!/bin/sh
# build.sh [TARGET...]: installs what is missing, configures and builds into ./build (or
# $TALVERO_BUILD_DIR): everything, tests and benchmarks included, or only the TARGETs given
# (`apps`: the programs that scripts/run.sh starts). Warnings are errors, as in CI.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
BUILD_DIR=${TALVERO_BUILD_DIR:-build}
# shellcheck disable=SC2086
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALVERO_WERROR=ON \
    ${TALVERO_CMAKE_ARGS:-} >/dev/null
if [ $# -gt 0 ]; then
    cmake --build "$BUILD_DIR" -j "$(nproc)" --target "$@"
else
    cmake --build "$BUILD_DIR" -j "$(nproc)"
fi
