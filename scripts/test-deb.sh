#!/bin/sh
# The Debian package of a built tree: CPack makes it in a temporary folder, dpkg-deb
# unpacks it into a temporary root, and the unpacked glebix-batch must run with the
# system's libraries alone (no library path into the build tree), and be documented:
# its manual page has an entry for every option that its --help names, its bash
# completion offers every setting name. lintian, when installed, must report no error.
# Usage: scripts/test-deb.sh BUILD
set -eu

build=$(cd "${1:-build}" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() {
    echo "test-deb : $*" >&2
    exit 1
}

(cd "$tmp" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/out" >"$tmp/cpack.log" 2>&1) || {
    cat "$tmp/cpack.log" >&2
    fail "cpack a échoué"
}
deb=$(ls "$tmp"/out/glebix_*.deb)
dpkg-deb -x "$deb" "$tmp/root"
bin="$tmp/root/usr/bin/glebix-batch"
for program in "$bin" "$tmp/root/usr/bin/glebix" "$tmp"/root/usr/lib/glebix/glebix-gis.so \
    "$tmp"/root/usr/lib/glebix/glebix-pictures.so; do
    [ -f "$program" ] || fail "$(basename "$program") manque dans le paquet"
    if readelf -d "$program" | grep -E '\((RPATH|RUNPATH)\)'; then
        fail "$(basename "$program") installé garde un chemin de bibliothèques"
    fi
done

"$bin" --version | grep -Eqx 'glebix-batch [0-9]+\.[0-9]+\.[0-9]+' || fail "--version : $("$bin" --version)"
"$bin" --steps 2 --seed 1 --quiet --out "$tmp/run" || fail "la simulation de 2 pas a échoué"
[ "$(wc -l <"$tmp/run/RireVed1a1p1.txt")" -eq 2500 ] || fail "fichier de résultats incomplet"
# The modules, found beside the installed program: GDAL for the GeoTIFF grids, QtGui
# for the snapshot.
"$bin" --steps 1 --seed 1 --quiet --tif "$tmp/run/tif" --snapshots "$tmp/run/maps" ||
    fail "la simulation avec --tif et --snapshots a échoué"
[ -s "$tmp/run/tif/density.tif" ] && [ -s "$tmp/run/maps/map-00001.png" ] || fail "grille GeoTIFF ou image manquante"

page=$(gzip -dc "$tmp/root/usr/share/man/man1/glebix-batch.1.gz" | sed 's/\\-/-/g')
help=$("$bin" --help)
# An entry is a .TP line followed by the option in bold.
for option in $(printf '%s\n' "$help" | grep -oE -- '--[a-z][a-z-]*' | sort -u); do
    printf '%s\n' "$page" | awk -v o="\\\\fB$option\\\\fR" 'prev == ".TP" && index($0, o) == 1 { found = 1 }
        { prev = $0 } END { exit !found }' || fail "la page de manuel n'a pas d'entrée pour $option"
done

completion="$tmp/root/usr/share/bash-completion/completions/glebix-batch"
settings=$(printf '%s\n' "$help" | sed -n '/^Paramètres :/,/\.$/p' | sed 's/^Paramètres ://; s/([0-9-]*)//g' |
    tr ',.' '  ')
for name in $settings; do
    grep -q " $name=\| '$name=" "$completion" || fail "la complétion ne propose pas $name"
done
offered=$(bash -c '. "$1"; COMP_WORDS=(glebix-batch --set DispersalSi); COMP_CWORD=2; _glebix_batch; echo "${COMPREPLY[*]}"' \
    sh "$completion")
[ "$offered" = "DispersalSigma=" ] || fail "complétion de « --set DispersalSi » : « $offered »"

if command -v desktop-file-validate >/dev/null 2>&1; then
    desktop-file-validate --no-hints "$tmp/root/usr/share/applications/glebix.desktop"
fi
if command -v lintian >/dev/null 2>&1; then
    lintian --fail-on error "$deb" || fail "lintian a trouvé une erreur"
fi
echo "test-deb : $(basename "$deb") déballé et essayé"
