#!/bin/sh
# Assembles the R package's source in $BUILD/r/glebix: the files of r/glebix, with the
# sources of the engine, of the study core (with its rooms, core/gis included) and of the pictures copied into
# src/ and a compile rule for each source appended to src/Makevars,
# then builds the source tarball $BUILD/r/glebix_<version>.tar.gz. Its vignette is
# built (R CMD build installs the package in a temporary library for that) when knitr
# and markdown are installed and GLEBIX_R_VIGNETTES is not 0; the tarball has no
# vignette otherwise.
# Usage: scripts/r-package.sh [BUILD]   (BUILD defaults to build)
set -eu

build=${1:-build}
here=$(cd "$(dirname "$0")/.." && pwd)
out="$build/r"

if ! command -v R >/dev/null 2>&1; then
    echo "r-package : R est introuvable (paquet Debian r-base-dev)" >&2
    exit 1
fi

mkdir -p "$out"
rm -rf "$out/glebix" "$out"/glebix_*.tar.gz
cp -R "$here/r/glebix" "$out/glebix"
# The sources of the libraries the package links, as CMake lists them: the study core
# (with core/gis/, the GIS code that needs GDAL and netCDF included: the package links it
# directly rather than as a module), its sensitivity analysis (core/analysis, Boost's
# headers from the system), the calibration of core/calibration/ and the pictures, with
# their headers.
# The list ends at the first ")" outside a comment.
library_sources() {
    # Comments first: a parenthesis in one would end the list early.
    sed 's/#.*//' "$here/$1/CMakeLists.txt" | sed -n "/^add_library($2 /,/)/p" |
        sed 's/^add_library([a-z_]* STATIC//; s/)$//' | tr ' ' '\n' | sed -n 's/\.cpp$//p' |
        while read -r source; do
            echo "$here/$1/$source.cpp"
            [ ! -e "$here/$1/$source.h" ] || echo "$here/$1/$source.h"
        done
}
sources=$( (library_sources core glebix_core; library_sources core glebix_gis_code
            library_sources core/analysis glebix_analysis
            library_sources core/calibration glebix_calibration
            library_sources render glebix_map_image
            library_sources render glebix_pictures) | sort -u)
for f in "$here"/engine/*/*.cpp "$here"/engine/*/*.h "$here"/engine/*/*/*.cpp "$here"/engine/*/*/*.h "$here"/core/*.h "$here"/core/*/*.h $sources; do
    name=$(basename "$f")
    # A glue file of the same name would be overwritten without a word.
    if [ -e "$here/r/glebix/src/$name" ]; then
        echo "r-package : r/glebix/src/$name porte le nom d'un fichier du moteur" >&2
        exit 1
    fi
    cp "$f" "$out/glebix/src/$name"
done
# The package's version is the project's (CMakeLists.txt).
version=$(sed -n 's/^project(Glebix VERSION \([0-9.]*\).*/\1/p' "$here/CMakeLists.txt")
sed -i "s/^Version: .*/Version: $version/" "$out/glebix/DESCRIPTION"

# Explicit rules rather than flags in PKG_CXXFLAGS, which R CMD check refuses as
# non-portable even where the compiler is known.
for f in "$out"/glebix/src/*.cpp; do
    name=$(basename "$f" .cpp)
    printf '\n%s.o: %s.cpp\n\t$(CXX) $(ALL_CPPFLAGS) $(ALL_CXXFLAGS) $(GLEBIX_CXXFLAGS) $(%s_FLAGS) -c %s.cpp -o $@\n' \
        "$name" "$name" "$name" "$name" >>"$out/glebix/src/Makevars"
done
# The NetCDF files and the manifests name the version that wrote them.
for unit in NetcdfStack Version; do
    printf '\n%s_FLAGS = -DGLEBIX_VERSION=\\"%s\\"\n' "$unit" "$version" >>"$out/glebix/src/Makevars"
done
cd "$out"
vignettes=--no-build-vignettes
if [ "${GLEBIX_R_VIGNETTES:-1}" != 0 ]; then
    if Rscript -e 'quit(status = !all(c("knitr", "markdown") %in% rownames(installed.packages())))' >/dev/null 2>&1; then
        vignettes=""
    else
        echo "r-package : knitr ou markdown manque (paquets Debian r-cran-knitr, r-cran-markdown) ; paquet sans vignette" >&2
    fi
fi
R CMD build $vignettes --no-manual glebix
