#!/usr/bin/env bash
# Screenshot of the settings window under Xvfb, opened the way a user opens it (hover the overlay, click Configure):
# the top of the form and the form scrolled to its end, side by side.
# Usage: scripts/settings-screenshot.sh KORVEL_BINARY OUTPUT.png   (needs Xvfb, xdotool and ImageMagick)
set -euo pipefail

korvel=$1
output=$2
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

export DISPLAY=":$((50 + RANDOM % 200))"
Xvfb "$DISPLAY" -screen 0 1440x900x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
mkdir -m 700 "$work/run"
HOME=$work XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/run QT_QPA_PLATFORM=xcb \
    "$korvel" >"$work/korvel.log" 2>&1 &
pids+=($!)

# The expanded card is 482 wide from x 479; its Configure button is the last of the four at y 289.
window=
for _ in $(seq 40); do
    xdotool mousemove 720 16
    sleep 0.5
    xdotool mousemove 884 289 click 1
    window=$(xdotool search --name '^Korvel Settings$' 2>/dev/null | head -1) && [ -n "$window" ] && break
done
[ -n "$window" ] || { echo "the settings window did not open" >&2; exit 1; }
xdotool mousemove 720 700
sleep 1
/usr/bin/import -window "$window" "$work/top.png"
geometry=$(xdotool getwindowgeometry "$window" | sed -n 's/.*Position: \([0-9]*\),\([0-9]*\).*/\1 \2/p')
read -r x y <<<"$geometry"
xdotool mousemove $((x + 200)) $((y + 300))
for _ in $(seq 20); do xdotool click 5; done
sleep 1
/usr/bin/import -window "$window" "$work/end.png"
/usr/bin/convert "$work/top.png" -background '#2a2c2c' -size 16x1 xc:'#2a2c2c' "$work/end.png" +append "$output"
echo "wrote $output"
