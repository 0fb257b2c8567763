#!/bin/sh
# How many source files name each setting that is set by name (tests, docs, fuzz corpora,
# figures and R help pages left out): one line per setting, then the median and the
# most. Run from the top of a clone.
set -eu
names=$(grep -o 'SettingRow{"[A-Za-z]*", K::[A-Za-z]*, R[:A-Za-z]*, [A-Za-z:]*' engine/plot/SettingsRegistry.h | grep -v -E "W$|Windows$|Steps$" | sed 's/.*{"//;s/".*//')
sources=$(git ls-files '*.cpp' '*.h' '*.py' '*.pyi' '*.R' | grep -v -E '(^|/)(tests|docs|fuzz|figures)/|(^|/)test_')
for n in $names; do
    printf '%s %s\n' "$(echo "$sources" | xargs grep -lw "$n" | wc -l)" "$n"
done | sort -n | awk '{ c[NR] = $1; print } END {
    m = NR % 2 ? c[(NR + 1) / 2] : (c[NR / 2] + c[NR / 2 + 1]) / 2
    print "settings " NR ", median " m " files, most " c[NR] }'
