#!/usr/bin/env bash
# A real Wayland session: a headless weston with XWayland, korvel started with WAYLAND_DISPLAY and DISPLAY both set
# as a desktop session sets them. The overlay must map at the top centre of the XWayland screen (1440 x 900), a
# second start must hand over to the first, and with WAYLAND_DISPLAY alone korvel must say why it cannot run.
# Usage: wayland-e2e.sh KORVEL_BINARY OUTPUT_FOLDER. Exits 77 (skipped) when weston, XWayland or the X tools are
# not installed.
set -euo pipefail

korvel=$1
out=$2
source "$(dirname "${BASH_SOURCE[0]}")/e2e-lib.sh"
require_tools weston Xwayland xdotool

mkdir -p "$out"
# The display is read from weston's log: one left by an earlier run would name it before this weston listens.
rm -f "$out/weston.log"
session=$scratch

XDG_RUNTIME_DIR=$session weston --backend=headless-backend.so --xwayland --socket=wayland-korvel --width=1440 \
    --height=900 --idle-time=0 --log="$out/weston.log" >/dev/null 2>&1 &
pids+=($!)
display=
for _ in $(seq 100); do
    display=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$out/weston.log" 2>/dev/null) || true
    [ -n "$display" ] && break
    sleep 0.1
done
[ -n "$display" ] || { echo "FAIL weston did not start XWayland (see weston.log)"; exit 1; }

desktop() { # runs korvel as a Wayland desktop session starts it
    env -u QT_QPA_PLATFORM HOME="$session" XDG_RUNTIME_DIR="$session" XDG_DATA_HOME="$session/data" \
        XDG_CONFIG_HOME="$session/config" WAYLAND_DISPLAY=wayland-korvel "$@"
}
overlays() { DISPLAY=$display xdotool search --onlyvisible --classname '^korvel' 2>/dev/null || true; }

desktop DISPLAY="$display" "$korvel" >"$out/korvel.log" 2>&1 &
pids+=($!)
windows=
for _ in $(seq 100); do
    windows=$(overlays)
    [ -n "$windows" ] && break
    sleep 0.1
done
if [ -z "$windows" ]; then
    fail "no korvel window mapped on XWayland (see korvel.log)"
else
    geometry=$(DISPLAY=$display xdotool getwindowgeometry --shell "$(head -1 <<<"$windows")" | tr '\n' ' ')
    [[ "$geometry" == *"X=630 Y=0 WIDTH=180 HEIGHT=32"* ]] ||
        fail "the overlay is not 180 x 32 at the top centre of the 1440 x 900 screen: $geometry"
fi

if ! desktop DISPLAY="$display" timeout 10 "$korvel" >>"$out/korvel.log" 2>&1; then
    fail "a second start did not hand over and leave with status 0"
fi
[ "$(overlays | wc -l)" = "$(wc -l <<<"$windows")" ] || fail "a second start mapped a second overlay"

status=0
message=$(desktop env -u DISPLAY timeout 10 "$korvel" 2>&1 >/dev/null) || status=$?
[ "$status" = 1 ] && grep -q 'no XWayland' <<<"$message" ||
    fail "with WAYLAND_DISPLAY alone korvel ended with status $status and said: $message"

finish "Wayland end to end" "the logs in $out"
