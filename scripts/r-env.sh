# Sourced by the scripts that compile the R package (test-r.sh, r-install.sh), with
# $build set: R compiles in a new temporary folder each time, and ccache, when
# installed, keeps repeated compiles short; $JOBS compiles at once (2 by default).
mkdir -p "$build/r"
makevars="$build/r/Makevars.user"
: >"$makevars"
if command -v ccache >/dev/null 2>&1; then
    echo "CXX20 = ccache $(R CMD config CXX20)" >"$makevars"
    export CCACHE_NOHASHDIR=1
fi
export R_MAKEVARS_USER="$makevars" MAKEFLAGS="-j${JOBS:-2}"
