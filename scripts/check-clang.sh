#!/bin/sh
# Builds the core (each folder's library linked on its own, the importer's and the gateway's too)
# and talvero-cli with clang (warnings are errors) into ./build-clang (or
# $TALVERO_CLANG_BUILD_DIR), so that the core stays portable between compilers;
# the suite itself runs on the gcc build. CI runs this before the tests.
set -eu
cd "$(dirname "$0")/.."
BUILD_DIR=${TALVERO_CLANG_BUILD_DIR:-build-clang}
LAUNCHER=
if command -v ccache >/dev/null 2>&1; then LAUNCHER=-DCMAKE_CXX_COMPILER_LAUNCHER=ccache; fi
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
    -DTALVERO_WERROR=ON -DTALVERO_BUILD_TESTS=OFF -DTALVERO_BUILD_BENCH=OFF $LAUNCHER >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)" --target core_link_checks talvero-cli
echo "check-clang.sh: every core library (each linked on its own), the importer, the gateway and talvero-cli build with $(clang++ --version | head -1)"
