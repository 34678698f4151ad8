#!/bin/sh
# Builds the core (no window) with AddressSanitizer and UndefinedBehaviorSanitizer and runs its
# tests: every headless test, the fuzz corpus replays and the quick fault harness; then the window
# tests that create and destroy the main window and the tray dialog (on a private display), where
# a handler running on a half-destroyed window shows as a UBSan report. Any sanitizer report fails
# the run. Leaks are reported too; scripts/sanitizer/lsan.supp names the only ones
# forgiven (inside fontconfig and pango, never the program's own frames).
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
BUILD_DIR=${TALVERO_SANITIZE_BUILD_DIR:-build-sanitize}
# -O1 builds in about half the time of -O2 and keeps the reports' stacks readable.
# shellcheck disable=SC2086
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g" \
    -DTALVERO_SANITIZE=ON -DTALVERO_WERROR=ON -DTALVERO_BUILD_BENCH=OFF \
    ${TALVERO_CMAKE_ARGS:-} >/dev/null
# Set before the build too: it lists each test executable's tests by running it.
SUPP="$(pwd)/scripts/sanitizer/lsan.supp"
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$SUPP:print_suppressions=0"
GUI_TESTS="tray_gui_tests app_window_tests"
# shellcheck disable=SC2086
cmake --build "$BUILD_DIR" --target core_tests $GUI_TESTS -j "$(nproc)"
ROOT=$(pwd)
cd "$BUILD_DIR"
NO_AT_BRIDGE=1 "$ROOT/scripts/with-display.sh" ctest --output-on-failure \
    -R "^($(echo "$GUI_TESTS" | tr ' ' '|'))\$"
# The preloaded fault library cannot go in front of the sanitizer runtime: that harness runs in
# the ordinary build only.
ctest --output-on-failure -j "$(nproc)" -L core -E '^(app_install|fault_harness_quick)$' "$@"
