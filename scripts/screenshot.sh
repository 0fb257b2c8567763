#!/bin/sh
# Starts glebix on a virtual X server, presses "Simulations", waits until the run has
# ended ("Simulations finies") and saves a screenshot of the whole screen.
# Usage: scripts/screenshot.sh [build directory] [picture]   (defaults: build docs/screenshot.png)
# Needs Xvfb, xdotool and ImageMagick: sh scripts/install-deps.sh screenshot
set -eu

build=${1:-build}
picture=${2:-docs/screenshot.png}
program=$build/glebix
[ -x "$program" ] || { echo "screenshot.sh: $program not found; build it first (make build)" >&2; exit 1; }
for tool in Xvfb xdotool import; do
    command -v "$tool" >/dev/null || { echo "screenshot.sh: $tool is missing (sh scripts/install-deps.sh screenshot)" >&2; exit 1; }
done

work=$(mktemp -d)
xvfb=""
app=""
cleanup() {
    [ -n "$app" ] && kill "$app" 2>/dev/null || true
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

# The windows reach x 1023 and y 739: a 1024 x 768 screen holds them all.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "screenshot.sh: Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
DISPLAY=:$(cat "$work/display")
export DISPLAY
unset QT_QPA_PLATFORM

"$program" 2>"$work/glebix.log" &
app=$!
timeout 30 xdotool search --sync --name '^Lanceur$' >/dev/null
sleep 1

# Without a window manager there is no frame: the launcher's client area starts at
# (780, 3). Its status field is at (8, 8), 217 x 21; "Stopper les simulations" at
# (112, 56), 113 x 33; "Simulations" at (8, 88), 73 x 33.
region() { import -window root -crop "$1" rgb:- | md5sum; }
status_at_start=$(region 217x21+788+11)
stop_disabled=$(region 113x33+892+59)
xdotool mousemove 824 107 click 1

# The run has ended when the status text has changed and "Stopper les simulations"
# looks disabled again, as it did before the run.
finished=""
for _ in $(seq 1200); do
    sleep 0.5
    if [ "$(region 113x33+892+59)" = "$stop_disabled" ] && [ "$(region 217x21+788+11)" != "$status_at_start" ]; then
        finished=yes
        break
    fi
done
[ -n "$finished" ] || { echo "screenshot.sh: the run did not end within 10 minutes" >&2; exit 1; }
sleep 0.5
mkdir -p "$(dirname "$picture")"
import -window root "$picture"
echo "screenshot.sh: saved $picture"
