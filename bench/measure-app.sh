#!/usr/bin/env bash
# Runs the desktop application under Xvfb over a home of logs and reports its average CPU use, resident memory and
# bytes written to disk. A first run builds the caches and quits; the measured run starts warm, as Korvel does at
# every login but the first.
#   idle  (default) nothing changes: what the five-second refresh and the sprite animation cost
#   busy  an agent at work: one transcript line appended every 2 seconds to the newest transcript
# Usage: bench/measure-app.sh KORVEL_BINARY HOME_DIR [SECONDS] [idle|busy]   (needs Xvfb; the home is only read,
# except in busy mode, where the appended lines are removed again afterwards, plus HOME_DIR/korvel-app-data for
# Korvel's own files)
set -euo pipefail
korvel=$1
home=$2
seconds=${3:-60}
mode=${4:-idle}
data=$home/korvel-app-data
mkdir -p "$data"
chmod 700 "$data"

display=":$((50 + RANDOM % 200))"
Xvfb "$display" -screen 0 1440x900x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
app=
target=
size=
cleanup() {
    kill $app $xvfb 2>/dev/null || true
    # Give the transcript back its own bytes.
    if [ -n "$target" ]; then truncate -s "$size" "$target"; fi
}
trap cleanup EXIT
sleep 1
start_app() {
    DISPLAY=$display HOME=$home XDG_DATA_HOME=$data XDG_CONFIG_HOME=$data XDG_RUNTIME_DIR=$data QT_QPA_PLATFORM=xcb \
        "$korvel" &
    app=$!
}
# The warm-up run is done once it has written the stats cache; quitting saves the parse cache with its snapshot.
touch "$data/started"
start_app
for _ in $(seq 300); do [ "$data/Korvel/stats-cache.json" -nt "$data/started" ] && break; sleep 1; done
kill -TERM $app
wait $app || true
start_app

ticks() { awk '{print $14 + $15}' "/proc/$app/stat"; }
written() { awk '/^write_bytes/ {print $2}' "/proc/$app/io"; }
hz=$(getconf CLK_TCK)
line='{"type":"user","timestamp":"2025-06-01T10:00:00.000Z","message":{"role":"user","content":"one more"}}'
if [ "$mode" = busy ]; then
    target=$(find "$home/.claude/projects" -name '*.jsonl' -printf '%T@ %p\n' | sort -n | tail -1 | cut -d' ' -f2-)
    size=$(stat -c %s "$target")
fi
# Let the first refreshes pass (and, when busy, the agent start: the first change loads the fold of every file).
for _ in 1 2 3 4 5 6; do
    if [ "$mode" = busy ]; then printf '%s\n' "$line" >>"$target"; fi
    sleep 2
done
start=$(ticks)
bytes=$(written)
end_at=$((SECONDS + seconds))
while [ $SECONDS -lt $end_at ]; do
    if [ "$mode" = busy ]; then printf '%s\n' "$line" >>"$target"; fi
    sleep 2
done
end=$(ticks)
bytes=$(($(written) - bytes))
rss=$(awk '/VmRSS/ {printf "%.1f", $2 / 1024}' "/proc/$app/status")
hwm=$(awk '/VmHWM/ {printf "%.1f", $2 / 1024}' "/proc/$app/status")
awk -v t=$((end - start)) -v hz="$hz" -v s="$seconds" -v rss="$rss" -v hwm="$hwm" -v b="$bytes" -v m="$mode" 'BEGIN {
    printf "%s, over %d s: %.2f CPU-s = %.2f%% of one core; resident %s MB now, peak %s MB; %.2f MB written (%.1f MB an hour)\n",
        m, s, t / hz, 100 * t / hz / s, rss, hwm, b / 1e6, b / 1e6 * 3600 / s
}'
