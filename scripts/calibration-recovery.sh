#!/bin/sh
# A longer recovery study than the tests': observations made by Glebix at known values
# of Survival and DecompactionD (total count at steps 10, 20 and 30, mean compacted
# share at step 30), calibrated back by rejection from N runs and by sequential Monte
# Carlo from N / 2, each with two seeds so that their Monte Carlo noise shows. Prints
# each calibration's runs, medians and 95 % intervals against the prior's width. Not
# part of `make test` (a minute or so at the default size).
#   sh scripts/calibration-recovery.sh [build/glebix-batch] [N] [seeds]
set -eu
batch=${1:-build/glebix-batch}
samples=${2:-4000}
seeds=${3:-7 8}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
plot="--set PlotWidth=20 --set PlotHeight=20 --steps 30 --quiet"
# shellcheck disable=SC2086
"$batch" $plot --seed 11 --set Survival=0.42 --set DecompactionD=4 --trace "$work/truth.csv"
{
    echo "step,metric,value"
    awk -F, '$1==10 || $1==20 || $1==30 {print $1 ",total_density," $7}
        $1==30 {print $1 ",mean_compacted," $6}' "$work/truth.csv"
} > "$work/observed.csv"
printf 'name,low,high\nSurvival,0.2,0.8\nDecompactionD,1,10\n' > "$work/factors.csv"
echo "true values: Survival 0.42 (prior width 0.6), DecompactionD 4 (prior width 9)"
for method in abc-rejection abc-smc; do
    runs=$samples
    [ "$method" = abc-smc ] && runs=$((samples / 2))
    for seed in $seeds; do
        out="$work/$method-$seed"
        # shellcheck disable=SC2086
        "$batch" --calibrate --method "$method" --factors "$work/factors.csv" --observed "$work/observed.csv" \
            --samples "$runs" --accept 0.05 --seed "$seed" --out "$out" $plot
        made=$(sed -n 's/^ *"runs": \([0-9]*\),*$/\1/p' "$out/manifest.json")
        echo "$method, seed $seed, $made runs:"
        awk -F, 'NR > 1 {printf "  %s: median %.4g, 95 %% [%.4g, %.4g], width %.4g\n", $1, $2, $6, $7, $7 - $6}' \
            "$out/posterior-summary.csv"
    done
done
