#!/usr/bin/env bash
# Runs the desktop application under Xvfb over a home of logs and reports its average CPU use and resident memory
# once the parse cache is warm: what the five-second refresh and the sprite animation cost while nothing changes.
# Usage: bench/measure-app.sh KORVEL_BINARY HOME_DIR [SECONDS]   (needs Xvfb; the home is only read, plus
# HOME_DIR/korvel-app-data for Korvel's own files)
set -euo pipefail
korvel=$1
home=$2
seconds=${3:-60}
data=$home/korvel-app-data
mkdir -p "$data"

display=":$((50 + RANDOM % 200))"
Xvfb "$display" -screen 0 1440x900x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $app $xvfb 2>/dev/null || true' EXIT
sleep 1
DISPLAY=$display HOME=$home XDG_DATA_HOME=$data XDG_CONFIG_HOME=$data XDG_RUNTIME_DIR=$data QT_QPA_PLATFORM=xcb \
    "$korvel" &
app=$!

ticks() { awk '{print $14 + $15}' "/proc/$app/stat"; }
hz=$(getconf CLK_TCK)
# Let the first (cold) build and a couple of warm refreshes pass.
for _ in $(seq 120); do [ -f "$data/Korvel/stats-cache.json" ] && break; sleep 1; done
sleep 12
start=$(ticks)
sleep "$seconds"
end=$(ticks)
rss=$(awk '/VmRSS/ {printf "%.1f", $2 / 1024}' "/proc/$app/status")
hwm=$(awk '/VmHWM/ {printf "%.1f", $2 / 1024}' "/proc/$app/status")
awk -v t=$((end - start)) -v hz="$hz" -v s="$seconds" -v rss="$rss" -v hwm="$hwm" 'BEGIN {
    printf "over %d s: %.2f CPU-s = %.2f%% of one core; resident %s MB now, peak %s MB\n", s, t / hz, 100 * t / hz / s, rss, hwm
}'
