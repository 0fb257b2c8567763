#!/bin/sh
# The scripts' messages follow the user's language as the batch tool's do: for each
# setting of the locale variables, scripts/language.sh speaks French exactly when
# glebix-batch does.
# Usage: scripts/test-language.sh GLEBIX-BATCH
set -eu

batch=$1
here=$(cd "$(dirname "$0")/.." && pwd)
failed=0
for vars in "LANG=en_US.UTF-8" "LANG=fr_FR.UTF-8" "LANGUAGE=fr:en LANG=C" "LANGUAGE=en:fr LANG=fr_FR.UTF-8" \
    "LC_ALL=C LANG=fr_FR.UTF-8" "LC_MESSAGES=fr_CA LANG=en_GB" "LC_ALL= LANG=fr" "LANG=french" ""; do
    script=$(env -i PATH="$PATH" $vars sh -c ". '$here/scripts/language.sh'; say fr en")
    program=$(env -i PATH="$PATH" $vars "$batch" --seed abc 2>&1 || true)
    case $program in *"pour l'aide"*) expected=fr ;; *) expected=en ;; esac
    if [ "$script" != "$expected" ]; then
        echo "test-language: with '$vars' the scripts speak $script, glebix-batch $expected" >&2
        failed=1
    fi
done
exit $failed
