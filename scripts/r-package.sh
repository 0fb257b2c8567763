#!/bin/sh
# Assembles the R package's source in $BUILD/r/glebix: the files of r/glebix, with the
# engine's sources and the settings table, close names, seed mixing, study table,
# output files, grid files, thread bound, run states and warnings of the batch tool
# copied into src/ and a compile rule for each source appended to src/Makevars,
# then builds the source tarball $BUILD/r/glebix_<version>.tar.gz.
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
for f in "$here"/engine/*.cpp "$here"/engine/*.h \
         "$here"/tools/SettingsTable.cpp "$here"/tools/SettingsTable.h \
         "$here"/tools/CloseNames.cpp "$here"/tools/CloseNames.h \
         "$here"/tools/SeedMixing.cpp "$here"/tools/SeedMixing.h \
         "$here"/tools/StudyTable.cpp "$here"/tools/StudyTable.h \
         "$here"/tools/FileIo.cpp "$here"/tools/FileIo.h \
         "$here"/tools/GridOutputs.cpp "$here"/tools/GridOutputs.h \
         "$here"/tools/ThreadCount.cpp "$here"/tools/ThreadCount.h \
         "$here"/tools/RunState.cpp "$here"/tools/RunState.h \
         "$here"/tools/Warnings.cpp "$here"/tools/Warnings.h \
         "$here"/tools/Language.cpp "$here"/tools/Language.h \
         "$here"/tools/Messages.cpp "$here"/tools/Messages.h "$here"/tools/MessageCatalogue.cpp; do
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
cd "$out"
R CMD build --no-build-vignettes --no-manual glebix
