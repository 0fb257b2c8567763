#!/bin/sh
# The study behind "Which settings matter for the default run" (docs/sensitivity.md) and
# the sensitivity element of the model description (docs/model.md): Morris screening of
# six settings around the defaults, then Saltelli indices of the two that move both
# the count and the soil most.
# About a minute on two cores. Usage: sh docs/sensitivity-study.sh [glebix-batch] [folder]
set -eu
batch=${1:-glebix-batch}
out=${2:-sensitivity-study}
mkdir -p "$out"
cd "$out"
cat > screen.csv <<'CSV'
name,low,high,scale
Survival,0.3,0.5,linear
Fecundity,1,3,linear
MortalityAlpha,0.5,2,linear
CompactionC,0.1,0.5,linear
DispersalSigma,0.25,1,linear
DecompactionD,3,8,linear
CSV
"$batch" --sample morris --factors screen.csv --samples 20 --levels 4 --pool 100 --seed 2024 \
    --design-out screen-design.csv
"$batch" --design screen-design.csv --replicates 3 --independent-seeds --steps 100 --seed 7 --quiet \
    --table screen-table.csv --table-every last
"$batch" --analyse screen-table.csv --factors screen.csv --method morris --metric total_density \
    --metric mean_compacted --seed 2024 --indices screen-indices.csv --figure screen-indices.png

cat > quantify.csv <<'CSV'
name,low,high,scale
Survival,0.3,0.5,linear
Fecundity,1,3,linear
CSV
"$batch" --sample saltelli --factors quantify.csv --samples 256 --seed 2024 --design-out quantify-design.csv
"$batch" --design quantify-design.csv --steps 100 --seed 7 --independent-seeds --quiet \
    --table quantify-table.csv --table-every last
"$batch" --analyse quantify-table.csv --factors quantify.csv --method saltelli --metric total_density \
    --metric mean_compacted --seed 2024 --indices quantify-indices.csv --figure quantify-indices.png
