#!/bin/sh
# Installs the R package of this clone: the tarball that scripts/r-package.sh builds
# (make r-package), by R CMD INSTALL into R's first library when it is writable (the
# user's library R_LIBS_USER when it exists, else the site library), or else into the
# user's library, made when missing; R adds that folder to its libraries from the next
# session on.
# Usage: scripts/r-install.sh [BUILD]   (BUILD defaults to build)
set -eu

build=${1:-build}
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/scripts/language.sh"

if ! command -v R >/dev/null 2>&1; then
    say "r-install : R est introuvable (paquet Debian r-base-dev)" \
        "r-install: R not found (Debian package r-base-dev)" >&2
    exit 1
fi
case $build in /*) ;; *) build="$here/$build" ;; esac
. "$here/scripts/r-env.sh"
sh "$here/scripts/r-package.sh" "$build"
lib=$(Rscript -e 'lib <- .libPaths()[1]
if (file.access(lib, 2) != 0) {
  lib <- path.expand(strsplit(Sys.getenv("R_LIBS_USER"), .Platform$path.sep)[[1]][1])
  dir.create(lib, recursive = TRUE, showWarnings = FALSE)
}
cat(lib)')
R CMD INSTALL --library="$lib" "$build"/r/glebix_*.tar.gz
say "r-install : glebix installé dans $lib" "r-install: glebix installed in $lib"
