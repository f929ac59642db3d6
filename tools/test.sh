#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer + UBSan and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
build=${QM_TEST_BUILD:-build-asan}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQM_SANITIZE=ON -DQM_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:detect_stack_use_after_return=0
export LSAN_OPTIONS=suppressions=$PWD/tests/sanitizer.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd "$build"
ctest -j "$(nproc)" --output-on-failure
