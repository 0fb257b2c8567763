#!/bin/sh
# Long run: glebix-batch runs 20,000 steps on the default settings with a fixed seed,
# writing its per-step trace and the result file, and its peak memory (maximum
# resident set size) must equal that of a 300-step run within LONG_TOLERANCE percent.
# Memory that grew with the steps would show here. Takes about a minute.
#   LONG_STEPS      steps of the long run (default 20000)
#   LONG_SEED       seed of both runs (default 20261208)
#   LONG_TOLERANCE  allowed growth of the peak, in percent (default 3)
#   LONG_BUILD      build directory (default build-rel)
set -eu
cd "$(dirname "$0")/.."
build=${LONG_BUILD:-build-rel}
steps=${LONG_STEPS:-20000}
seed=${LONG_SEED:-20261208}
tolerance=${LONG_TOLERANCE:-3}

[ -x /usr/bin/time ] || { echo "long-run.sh: /usr/bin/time is missing (apt-get install time)" >&2; exit 1; }
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLEBIX_BUILD_UI=OFF -DGLEBIX_BUILD_BENCH=OFF \
    -DGLEBIX_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j 2 --target glebix-batch >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Runs N steps; prints "peak_kB seconds".
measure() {
    mkdir -p "$work/$1"
    /usr/bin/time -f '%M %e' -o "$work/$1.time" "$build/glebix-batch" --steps "$1" --seed "$seed" --quiet \
        --out "$work/$1" --trace "$work/$1/trace.csv"
    lines=$(wc -l <"$work/$1/trace.csv")
    [ "$lines" -eq $(($1 + 1)) ] || { echo "long-run.sh: the $1-step trace has $lines lines" >&2; exit 1; }
    [ "$(wc -l <"$work/$1/RireVed1a1p1.txt")" -eq 2500 ] || { echo "long-run.sh: incomplete result file" >&2; exit 1; }
    cat "$work/$1.time"
}

# The peak of a short run varies by a few hundred kB from one run to the next (thread
# stacks, allocator arenas): the short run is measured three times and its highest
# peak is the reference.
short_kb=0
for k in 1 2 3; do
    m=$(measure 300)
    echo "300 steps, run $k: peak ${m% *} kB, ${m#* } s"
    [ "${m% *}" -gt "$short_kb" ] && short_kb=${m% *}
done
long=$(measure "$steps")
long_kb=${long% *}
echo "$steps steps: peak ${long_kb} kB, ${long#* } s"
growth=$(( (long_kb - short_kb) * 10000 / short_kb ))
sign=""; [ "$growth" -lt 0 ] && { sign="-"; growth=$((-growth)); }
printf 'peak of the long run against the highest short peak: %s%d.%02d %%\n' "$sign" $((growth / 100)) $((growth % 100))
if [ -z "$sign" ] && [ "$growth" -gt $((tolerance * 100)) ]; then
    echo "long-run.sh: FAILED, the peak grew by more than ${tolerance} %" >&2
    exit 1
fi
echo "long run: OK"
