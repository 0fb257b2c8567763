#!/bin/sh
# Installs the Debian 12 packages that building, running and testing Glebix need.
# Packages already present are skipped; sudo is used when not root.
# Usage: scripts/install-deps.sh [run|test|screenshot]
set -eu

what=${1:-test}
. "$(cd "$(dirname "$0")" && pwd)/language.sh"
pkgs="make g++ cmake ninja-build qt6-base-dev libgl-dev zlib1g-dev libgif-dev"
# Rasters read with GDAL, GeoTIFF and NetCDF grids written (GDAL, netCDF-C).
pkgs="$pkgs libgdal-dev libnetcdf-dev"
# The manifests' JSON (headers only).
pkgs="$pkgs nlohmann-json3-dev"
# The Sobol' sequences of the sensitivity analysis (Boost.Random, headers only).
pkgs="$pkgs libboost-dev"
pkgs="$pkgs qt6-translations-l10n"  # the standard dialogs in French
if [ "$what" = screenshot ]; then
    pkgs="$pkgs xvfb xauth"  # scripts/screenshot.sh
fi
if [ "$what" = test ]; then
    pkgs="$pkgs libgtest-dev libgmock-dev libbenchmark-dev locales xvfb xauth clang clang-format libclang-rt-14-dev time python3"
    # The Python package and its tests.
    pkgs="$pkgs python3-dev pybind11-dev python3-numpy python3-pytest python3-pandas python3-distributed python3-tqdm"
    # The documentation's examples and figures (scripts/run-docs.py, docs/python-sweep.py).
    pkgs="$pkgs python3-matplotlib"
    # The Debian package and its checks (make deb, scripts/test-deb.sh).
    pkgs="$pkgs dpkg-dev lintian desktop-file-utils"
    # Its pip install into a virtual environment (scripts/test-pip.sh).
    pkgs="$pkgs python3-venv python3-pip python3-setuptools python3-wheel ccache"
    # The R package's tests (pkg-config finds QtGui and giflib for its animated maps; terra
    # for its raster test, progressr and future.apply for progress and futures).
    pkgs="$pkgs r-base-dev pkg-config r-cran-rcpp r-cran-testthat r-cran-terra r-cran-codetools r-cran-progressr r-cran-future.apply"
    # The R package's vignette, knitted to HTML without pandoc.
    pkgs="$pkgs r-cran-knitr r-cran-markdown"
    # Grids written by GDAL (and by terra, above) read as initial files; NetCDF files
    # read back by xarray.
    pkgs="$pkgs gdal-bin python3-gdal python3-xarray python3-netcdf4"
fi

if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi

missing=""
for p in $pkgs; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

if [ -n "$missing" ]; then
    say "Installation des paquets manquants :$missing" "Installing the missing packages:$missing"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing
fi

# The tests run under a French locale, whose decimal mark is a comma.
if [ "$what" = test ] && ! locale -a 2>/dev/null | grep -qi '^fr_FR\.utf-\?8$'; then
    if [ -f /etc/locale.gen ]; then
        $sudo sed -i 's/^# *fr_FR.UTF-8 UTF-8/fr_FR.UTF-8 UTF-8/' /etc/locale.gen
        grep -q '^fr_FR.UTF-8 UTF-8' /etc/locale.gen || echo 'fr_FR.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
    fi
    $sudo locale-gen >/dev/null
fi
exit 0
