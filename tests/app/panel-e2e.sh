#!/usr/bin/env bash
# End to end under a desktop with a top panel: Xvfb (1440 x 900) with openbox, which turns the panels' struts into
# the work area, and trayer along the top edge (24 high, reserving its strip), which is also the tray host. The
# overlay must hang below the panel, the tray icon must show, and a left click on it (an XEmbed tray only sends an
# activation) must open the menu.
# Usage: panel-e2e.sh KORVEL_BINARY OUTPUT_FOLDER. Exits 77 (skipped) when the X tools are not installed.
set -euo pipefail

korvel=$1
out=$2
source "$(dirname "${BASH_SOURCE[0]}")/e2e-lib.sh"
require_tools Xvfb openbox trayer xdotool xprop
[ -x /usr/bin/import ] && [ -x /usr/bin/convert ] || { echo "skipped: ImageMagick not installed"; exit 77; }

mkdir -p "$out"
home=$scratch

display=":$((50 + RANDOM % 200))"
Xvfb "$display" -screen 0 1440x900x24 -nolisten tcp -noreset >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display
poll xprop -root >/dev/null 2>&1 || { echo "FAIL Xvfb did not start"; exit 1; }
openbox >/dev/null 2>&1 &
pids+=($!)
# openbox writes the work area last as it starts; a panel mapped before that may never be managed.
poll sh -c 'xprop -root _NET_WORKAREA | grep -q CARDINAL' || { echo "FAIL openbox did not start"; exit 1; }
trayer --edge top --align right --widthtype request --height 24 --SetDockType true --SetPartialStrut true \
    >/dev/null 2>&1 &
pids+=($!)
poll sh -c 'xprop -root _NET_WORKAREA | grep -q "= 0, 24, 1440, 876"' ||
    { echo "FAIL the panel reserved no strip at the top: $(xprop -root _NET_WORKAREA)"; exit 1; }

HOME=$home XDG_DATA_HOME=$home/data XDG_CONFIG_HOME=$home/config XDG_RUNTIME_DIR=$home QT_QPA_PLATFORM=xcb \
    "$korvel" >"$out/korvel.log" 2>&1 &
pids+=($!)
windows() { xdotool search --onlyvisible --classname '^korvel' 2>/dev/null || true; }
geometry() { xdotool getwindowgeometry --shell "$1" | tr '\n' ' '; }
find() { # pattern: the first korvel window whose geometry matches
    for w in $(windows); do [[ "$(geometry "$w")" == $1 ]] && { echo "$w"; return 0; }; done
    return 1
}
poll find '*WIDTH=180 HEIGHT=32*' >/dev/null || fail "no overlay mapped (see korvel.log)"
overlay=$(find '*WIDTH=180 HEIGHT=32*' || true)
[ -z "$overlay" ] || [[ "$(geometry "$overlay")" == *"X=630 Y=24 "* ]] ||
    fail "the overlay does not hang from the panel's lower edge at the centre: $(geometry "$overlay")"

# The icon docked in the panel: white inside its dark outline.
icon=
poll find '*Y=[0-9] WIDTH=2[0-4] HEIGHT=2[0-4]*' >/dev/null && icon=$(find '*Y=[0-9] WIDTH=2[0-4] HEIGHT=2[0-4]*')
if [ -z "$icon" ]; then
    fail "no tray icon in the panel"
else
    eval "$(xdotool getwindowgeometry --shell "$icon")"
    /usr/bin/import -window root "$out/panel.png"
    range=$(/usr/bin/convert "$out/panel.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage -colorspace gray \
        -format '%[fx:maxima] %[fx:minima]' info:)
    awk '{ exit !($1 == 1 && $2 < 0.2) }' <<<"$range" ||
        fail "the tray icon is not a white mark in a dark outline (grey range $range, see panel.png)"
    before=$(windows | wc -l)
    more() { [ "$(windows | wc -l)" -gt "$before" ]; }
    xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 1
    poll more ||
        fail "a left click on the tray icon did not open the menu"
    /usr/bin/import -window root "$out/menu.png"
fi

finish "panel end to end" "the screenshots in $out"
