#!/bin/sh
# Installs the Python package with pip, offline, into a fresh virtual environment of
# Debian's Python (NumPy and pandas from the system's packages), then runs the Python
# tests against that install, comparing with the build's glebix-batch.
# Usage: scripts/test-pip.sh [build folder]
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
case "$build" in /*) ;; *) build="$root/$build" ;; esac
python=${GLEBIX_SYSTEM_PYTHON:-/usr/bin/python3}

if [ ! -x "$build/glebix-batch" ]; then
    echo "test-pip : $build/glebix-batch manque (make build d'abord)" >&2
    exit 1
fi
# The compiled module's objects are those of the build: with a compiler cache, and the
# pip build's CMake tree beside the build folder (the same relative paths), they are
# taken from the cache; the tree is kept for the next install.
if [ -z "${CMAKE_CXX_COMPILER_LAUNCHER:-}" ] && command -v ccache >/dev/null; then
    export CMAKE_CXX_COMPILER_LAUNCHER=ccache CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
fi
export GLEBIX_PIP_BUILD_DIR="$build-pip"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT TERM
"$python" -m venv --system-site-packages "$work/venv"
"$work/venv/bin/python" -m pip install --no-build-isolation --no-index --quiet "$root/python"

cd "$work"
env -u PYTHONPATH -u LANGUAGE GLEBIX_BATCH="$build/glebix-batch" GLEBIX_INSTALLED=1 LC_ALL=fr_FR.UTF-8 \
    PYTHONDONTWRITEBYTECODE=1 "$work/venv/bin/python" -m pytest -q -p no:cacheprovider "$root/tests/python"
