#!/bin/sh
# Builds the tests of the parts that run threads of their own with ThreadSanitizer and runs them:
# the web engines and the Translate action's rounds, the dictionary loader and worker threads
# (app_core_tests), the update check and upload, the local translation service, speech; then the
# window itself on a private display, whose workers translate (also while the user types), load
# the dictionaries at start and on a pair switch, upload, add and capture, and recognise
# dictation while the GUI thread goes on. Any data race stops the test program at once and fails
# the run. wx, GTK and the libraries below them are not instrumented; scripts/sanitizer/tsan.supp
# names the few whose own locking the sanitizer cannot see. CI runs it as a stage of its own.
# Arguments replace the gtest filter of the core tests.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
BUILD_DIR=${TALVERO_TSAN_BUILD_DIR:-build-tsan}
# shellcheck disable=SC2086
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALVERO_TSAN=ON \
    -DTALVERO_WERROR=ON -DTALVERO_BUILD_BENCH=OFF ${TALVERO_CMAKE_ARGS:-} >/dev/null
targets="web_tests app_core_tests online_tests gateway_tests"
if [ -f tests/speech/CMakeLists.txt ]; then targets="$targets $(sed -n 's/^talvero_core_test(\([a-z_]*\).*/\1/p' tests/speech/CMakeLists.txt)"; fi
window_targets="app_window_tests app_dictation_tests"
started=$(date +%s)
# shellcheck disable=SC2086
cmake --build "$BUILD_DIR" --target $targets $window_targets -j "$(nproc)"
echo "== tsan build: $(($(date +%s) - started)) s"
TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$(pwd)/scripts/sanitizer/tsan.supp"
export TSAN_OPTIONS
binary() { find "$BUILD_DIR/tests" -type f -name "$1" -perm -u+x | head -n 1; }
# The page-text tests run no thread and take minutes when instrumented.
if [ $# -eq 0 ]; then set -- --gtest_filter=-HtmlText.*; fi
status=0
started=$(date +%s)
for t in $targets; do
    echo "== $t"
    "$(binary "$t")" "$@" || status=1
done
echo "== tsan core tests: $(($(date +%s) - started)) s"
# No accessibility bridge and no GL: both only add threads of uninstrumented libraries.
export NO_AT_BRIDGE=1 GDK_GL=disable
started=$(date +%s)
echo "== app_window_tests"
./scripts/with-display.sh "$(binary app_window_tests)" || status=1
# Dictation plays its recording in real time. Left out: nothing taken while off (it waits out
# the recording three times), the history-only copy and the phrase said twice; they take the
# same paths between recognizer, voice and window as the cases kept.
echo "== app_dictation_tests"
./scripts/with-display.sh "$(binary app_dictation_tests)" \
    --gtest_filter=-*NothingTaken*:*CopyOnlyToHistory*:*DictationGoesOn* || status=1
echo "== tsan window tests: $(($(date +%s) - started)) s"
exit $status
