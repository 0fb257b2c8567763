#!/bin/sh
# Starts the windows on a virtual X server, runs the default 300 steps with a fixed
# seed, shows a cell's tooltip on the map and the map's and the chart's context
# menus, and saves the whole screen (tests/manual/windows_screenshot.cpp).
# Usage: scripts/screenshot.sh [build directory] [picture]   (defaults: build docs/screenshot.png)
# Needs Xvfb (xvfb-run).
set -eu

build=${1:-build}
picture=${2:-docs/screenshot.png}
program=$build/tests/manual/windows_screenshot
[ -x "$program" ] || { echo "screenshot.sh: $program not found; build it first (cmake --build $build --target windows_screenshot)" >&2; exit 1; }
command -v xvfb-run >/dev/null || { echo "screenshot.sh: xvfb-run is missing (apt-get install xvfb)" >&2; exit 1; }

mkdir -p "$(dirname "$picture")"
# The windows reach x 1023 and y 739: a 1024 x 768 screen holds them all.
unset QT_QPA_PLATFORM
xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$program" "$picture"
echo "screenshot.sh: saved $picture"
