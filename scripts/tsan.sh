#!/bin/sh
# Builds the tests of the parts that run threads of their own with ThreadSanitizer and runs them:
# the web engines and the Translate action's rounds, the window's dictionary loader and worker
# threads (app_core_tests), the update check and upload, the local translation service, speech.
# Any data race fails the run. CI runs it as a stage of its own.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
BUILD_DIR=${TALVERO_TSAN_BUILD_DIR:-build-tsan}
# shellcheck disable=SC2086
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALVERO_TSAN=ON \
    -DTALVERO_WERROR=ON -DTALVERO_BUILD_BENCH=OFF ${TALVERO_CMAKE_ARGS:-} >/dev/null
targets="web_tests app_core_tests online_tests gateway_tests"
if [ -f tests/speech/CMakeLists.txt ]; then targets="$targets $(sed -n 's/^talvero_core_test(\([a-z_]*\).*/\1/p' tests/speech/CMakeLists.txt)"; fi
# shellcheck disable=SC2086
cmake --build "$BUILD_DIR" --target $targets -j "$(nproc)"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
# The page-text tests run no thread and take minutes when instrumented; arguments replace this.
if [ $# -eq 0 ]; then set -- --gtest_filter=-HtmlText.*; fi
status=0
for t in $targets; do
    bin=$(find "$BUILD_DIR/tests" -type f -name "$t" -perm -u+x | head -n 1)
    echo "== $t"
    "$bin" "$@" || status=1
done
exit $status
