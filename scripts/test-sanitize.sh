#!/bin/sh
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer in
# build-asan/ (reused from one run to the next) and runs the whole ctest suite there.
# Any sanitizer report fails the test that met it. Leaks are checked; the only ones
# suppressed are those of the system libraries under Qt (scripts/lsan-suppressions.txt).
#   ASAN_BUILD  build directory (default build-asan)
#   ASAN_JOBS   build and test jobs (default 2)
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
build=${ASAN_BUILD:-build-asan}
jobs=${ASAN_JOBS:-2}

# The benchmarks are not tests; everything else is built and tested.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLEBIX_SANITIZE=ON -DGLEBIX_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$jobs"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1:strict_string_checks=1:check_initialization_order=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan-suppressions.txt:print_suppressions=0"
export QT_QPA_PLATFORM=offscreen
cd "$build"
ctest --output-on-failure -j "$jobs" --timeout 900
