#!/bin/sh
# Assembles the R package (scripts/r-package.sh), installs it into $BUILD/r/lib and
# runs its testthat tests under the French locale, with GLEBIX_BATCH naming the batch
# tool (the tests that compare with it are skipped when it is missing). Without R,
# Rcpp or testthat, says so and succeeds. With "check", runs R CMD check instead and
# fails on any error or warning; with "install", only installs it into $BUILD/r/lib.
# Usage: scripts/test-r.sh [BUILD [check|install]]   (BUILD defaults to build)
set -eu

build=${1:-build}
mode=${2:-test}
here=$(cd "$(dirname "$0")/.." && pwd)
case $build in /*) ;; *) build="$here/$build" ;; esac

if ! command -v Rscript >/dev/null 2>&1 ||
    ! Rscript -e 'quit(status = !all(c("Rcpp", "testthat") %in% rownames(installed.packages())))' >/dev/null 2>&1; then
    echo "test-r : R, Rcpp ou testthat manque ; tests du paquet R sautés"
    exit 0
fi

lib="$build/r/lib"
mkdir -p "$lib"
. "$here/scripts/r-env.sh"
# R CMD check needs the vignette built; the quick loop and the docs' install do not.
if [ "$mode" = check ]; then
    sh "$here/scripts/r-package.sh" "$build" >/dev/null
else
    GLEBIX_R_VIGNETTES=0 sh "$here/scripts/r-package.sh" "$build" >/dev/null
fi
if [ -x "$build/glebix-batch" ]; then
    export GLEBIX_BATCH="$build/glebix-batch"
fi

# R CMD check installs the package, runs its examples and these tests, and checks the
# help pages against the code. Its exit status ignores warnings: the log decides.
if [ "$mode" = check ]; then
    cd "$build/r"
    status=0
    LC_ALL=fr_FR.UTF-8 LANGUAGE=en _R_CHECK_FORCE_SUGGESTS_=false \
        R CMD check --no-manual --no-build-vignettes glebix_*.tar.gz || status=$?
    if [ "$status" -ne 0 ] || grep -Eq '\.\.\. (WARNING|ERROR)$' glebix.Rcheck/00check.log; then
        for log in glebix.Rcheck/tests/*.Rout.fail; do
            [ -f "$log" ] && tail -40 "$log"
        done
        echo "test-r : R CMD check a trouvé une erreur ou un avertissement" >&2
        exit 1
    fi
    exit 0
fi

R CMD INSTALL --no-docs --library="$lib" "$build"/r/glebix_*.tar.gz >"$build/r/install.log" 2>&1 || {
    cat "$build/r/install.log" >&2
    exit 1
}
if [ "$mode" = install ]; then
    exit 0
fi
cd "$build/r/glebix/tests"
LC_ALL=fr_FR.UTF-8 R_LIBS="$lib" Rscript -e \
    'testthat::test_dir("testthat", package = "glebix", load_package = "installed", stop_on_failure = TRUE, reporter = "summary")'
