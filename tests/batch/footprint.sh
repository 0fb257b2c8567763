#!/bin/sh
# The memory and the libraries of the batch tool as it ships, measured from outside.
#   footprint.sh PROGRAM design: a design of 200 000 points run with --steps 0 --table
#     peaks within 64 MB plus twice the design file's size (/usr/bin/time's maximum
#     resident set size), and its table has a row per point.
#   footprint.sh PROGRAM analysis: --analyse of a 100 000-point table of three factors
#     (lhs: PRCC and SRC) with B = 1000 peaks within 64 MB plus eight times the
#     table's size and ends within 240 s (far beyond its 3 s on one idle core: time
#     varies with the load), and writes a row per factor and index.
#   footprint.sh PROGRAM lean: --version and a default run with --out load neither
#     GDAL, netCDF nor QtGui (the loader's own list, LD_DEBUG=libs) and peak under
#     20 MB; without its modules beside it, the program still runs what needs none and
#     names the missing one for a run that needs it.
set -eu
program=$1
what=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"

fail() {
    echo "FAILED: $*" >&2
    exit 1
}

# Maximum resident set size of the command, in kB; its output goes to run.log.
peak_kb() {
    /usr/bin/time -f %M -o peak.txt "$@" > run.log 2>&1 || { cat run.log >&2; fail "$* ended with an error"; }
    tail -n 1 peak.txt
}

design() {
    points=200000
    awk -v n=$points 'BEGIN {
        print "Survival,DispersalFirst"
        for (k = 1; k <= n; k++) printf "0.%04d,%s\n", (k * 7919) % 10000, (k % 2 ? "on" : "off")
    }' > design.csv
    bytes=$(wc -c < design.csv)
    bound=$((64 * 1024 + 2 * bytes / 1024))
    peak=$(peak_kb "$program" --design design.csv --steps 0 --table table.csv --quiet --seed 1 --jobs 2)
    echo "design of $points points, $bytes bytes: peak $peak kB, bound $bound kB"
    [ "$peak" -le "$bound" ] || fail "the design's run peaked at $peak kB, beyond $bound kB"
    rows=$(wc -l < table.csv)
    [ "$rows" -eq $((points + 1)) ] || fail "the table has $rows lines for $points points"
}

analysis() {
    points=100000
    printf 'name,low,high\na,0,1\nb,0,1\nc,0,1\n' > factors.csv
    # Numbers with a decimal point whatever the tests' locale.
    LC_ALL=C awk -v n=$points 'BEGIN {
        print "point,a,b,c,y"
        for (k = 1; k <= n; k++) {
            a = ((k * 7919) % 10007) / 10007; b = ((k * 104729) % 10009) / 10009; c = ((k * 1299709) % 10037) / 10037
            printf "%d,%.6f,%.6f,%.6f,%.6f\n", k, a, b, c, 4 * a + 2 * b * b + 0.1 * c
        }
    }' > table.csv
    bytes=$(wc -c < table.csv)
    bound=$((64 * 1024 + 8 * bytes / 1024))
    start=$(date +%s)
    peak=$(peak_kb "$program" --analyse table.csv --factors factors.csv --method lhs --metric y --seed 1 \
        --bootstrap 1000 --indices indices.csv)
    seconds=$(($(date +%s) - start))
    echo "analysis of $points points, $bytes bytes, B = 1000: peak $peak kB (bound $bound kB), $seconds s"
    [ "$peak" -le "$bound" ] || fail "the analysis peaked at $peak kB, beyond $bound kB"
    [ "$seconds" -le 240 ] || fail "the analysis took $seconds s"
    rows=$(wc -l < indices.csv)
    [ "$rows" -eq 7 ] || fail "the indices file has $rows lines, not 1 + 3 factors x 2 indices"
}

# Fails when the run of the arguments loaded one of the large libraries.
loads_nothing_large() {
    LD_DEBUG=libs LD_DEBUG_OUTPUT="$scratch/libs" "$program" "$@" > run.log 2>&1 || { cat run.log >&2; fail "$*"; }
    loaded=$(cat "$scratch"/libs.* | sed -n 's/.*calling init: //p' | sort -u)
    rm -f "$scratch"/libs.*
    count=$(echo "$loaded" | wc -l)
    echo "glebix-batch $*: $count libraries"
    if echo "$loaded" | grep -E 'libgdal|libnetcdf|libQt6Gui|libgif'; then fail "$* loaded the libraries above"; fi
    [ "$count" -le 30 ] || { echo "$loaded" >&2; fail "$* loaded $count libraries"; }
}

# A copy of the program without its modules beside it: the runs that need one fail,
# naming it; the others still run.
without_modules() {
    mkdir alone
    cp "$program" alone/glebix-batch
    LANGUAGE=en alone/glebix-batch --out plain --steps 1 --seed 1 --quiet || fail "a run without modules failed"
    if LANGUAGE=en alone/glebix-batch --out tif --tif tif --steps 1 --seed 1 --quiet 2> tif.log; then
        fail "a --tif run without the module succeeded"
    fi
    grep -q 'module "glebix-gis.so" (GDAL, netCDF) cannot be found' tif.log || { cat tif.log >&2; fail "no message"; }
    if LANGUAGE=en alone/glebix-batch --out png --snapshots png --steps 1 --seed 1 --quiet 2> png.log; then
        fail "a --snapshots run without the module succeeded"
    fi
    grep -q 'module "glebix-pictures.so" (QtGui, giflib)' png.log || { cat png.log >&2; fail "no message"; }
}

lean() {
    without_modules
    loads_nothing_large --version
    loads_nothing_large --out run --steps 5 --seed 1 --quiet
    rm -rf run
    for args in "--version" "--out run --steps 5 --seed 1 --quiet"; do
        # shellcheck disable=SC2086
        peak=$(peak_kb "$program" $args)
        echo "glebix-batch $args: peak $peak kB"
        [ "$peak" -lt $((20 * 1024)) ] || fail "glebix-batch $args peaked at $peak kB"
    done
}

"$what"
