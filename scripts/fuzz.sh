#!/bin/sh
# Builds the libFuzzer targets with clang (ASan + UBSan) in build-fuzz/ and runs each
# for a bounded time over its seed corpus. Fails on any crash, sanitizer report,
# broken property or hang (an input taking longer than FUZZ_TIMEOUT seconds).
#   FUZZ_SECONDS   run time per target (default 12; five targets make about a minute)
#   FUZZ_TIMEOUT   seconds one input may take before it counts as a hang (default 10)
#   FUZZ_BUILD     build directory (default build-fuzz)
#   FUZZ_JOBS      build jobs (default 2)
# Usage: scripts/fuzz.sh [target...]   (default: every target)
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
build=${FUZZ_BUILD:-build-fuzz}
seconds=${FUZZ_SECONDS:-12}
timeout=${FUZZ_TIMEOUT:-10}
jobs=${FUZZ_JOBS:-2}

command -v clang++ >/dev/null 2>&1 || { echo "fuzz.sh: clang++ is missing (sh scripts/install-deps.sh test)" >&2; exit 1; }

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DGLEBIX_FUZZ=ON -DGLEBIX_BUILD_UI=OFF -DGLEBIX_BUILD_BENCH=OFF -DGLEBIX_BUILD_TESTS=OFF >/dev/null

if [ $# -gt 0 ]; then
    targets="$*"
else
    targets=$(cd fuzz/corpus && ls -d fuzz_* | tr '\n' ' ')
fi
cmake --build "$build" -j "$jobs" --target $targets

# Inputs found during the run go to a scratch corpus in the build tree; the seed
# corpus in the repository is only read.
status=0
mkdir -p "$build/artifacts"
for t in $targets; do
    work="$build/corpus-work/$t"
    mkdir -p "$work"
    echo "== $t: ${seconds}s"
    if ! "$build/fuzz/$t" -max_total_time="$seconds" -timeout="$timeout" -rss_limit_mb=2048 \
            -print_final_stats=1 -artifact_prefix="$root/$build/artifacts/$t-" \
            "$work" "fuzz/corpus/$t" >"$build/artifacts/$t.log" 2>&1; then
        echo "FAILED: $t (log: $build/artifacts/$t.log)" >&2
        grep -E 'ERROR|SUMMARY|property violated|runtime error|Test unit written' "$build/artifacts/$t.log" | head -20 >&2
        status=1
    else
        grep -E '^stat::number_of_executed_units' "$build/artifacts/$t.log" || true
    fi
done
[ $status -eq 0 ] && echo "fuzz: every target ran ${seconds}s without a failure"
exit $status
