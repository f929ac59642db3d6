#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer + UBSan and runs every test, then
# builds once more in Release and runs every test there too, so that no build type breaks
# unseen. Both builds carry the fault points the tests use (QM_FAULT_SEAM).
#   QM_TEST_BUILD          the sanitizer build folder (build-asan)
#   QM_TEST_RELEASE_BUILD  the Release build folder (build-rel-test); QM_TEST_RELEASE=0 skips it
#   QM_JOBS                parallel compile and test jobs (the number of processors)
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
jobs=${QM_JOBS:-$(nproc)}
start=$SECONDS

build=${QM_TEST_BUILD:-build-asan}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQM_SANITIZE=ON -DQM_FAULT_SEAM=ON -DQM_BENCH=OFF >/dev/null
cmake --build "$build" -j "$jobs"
(
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:detect_stack_use_after_return=0
  export LSAN_OPTIONS=suppressions=$PWD/tests/sanitizer.supp:print_suppressions=0
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  cd "$build"
  ctest -j "$jobs" --output-on-failure
)
echo "sanitizer build and tests: $((SECONDS - start)) s"

if [ "${QM_TEST_RELEASE:-1}" != 0 ]; then
  rel_start=$SECONDS
  rel=${QM_TEST_RELEASE_BUILD:-build-rel-test}
  cmake -S . -B "$rel" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQM_SANITIZE=OFF -DQM_FAULT_SEAM=ON -DQM_BENCH=OFF >/dev/null
  cmake --build "$rel" -j "$jobs"
  (cd "$rel" && ctest -j "$jobs" --output-on-failure)
  echo "Release build and tests: $((SECONDS - rel_start)) s"
fi
echo "all tests: $((SECONDS - start)) s"
