#!/usr/bin/env bash
# End to end on a real X server: starts korvel under Xvfb (1440 x 900) with a fixture home, then checks the
# screen: the collapsed overlay at the top centre, the expanded card while the pointer rests on it, and the
# collapsed overlay again after the pointer left. Screenshots stay in the output folder for a person to look at.
# Usage: overlay-e2e.sh KORVEL_BINARY OUTPUT_FOLDER. Exits 77 (skipped) when the X tools are not installed.
set -euo pipefail

korvel=$1
out=$2
source "$(dirname "${BASH_SOURCE[0]}")/e2e-lib.sh"
require_tools Xvfb xdotool xsetroot xcompmgr
[ -x /usr/bin/convert ] && [ -x /usr/bin/import ] || { echo "skipped: ImageMagick not installed"; exit 77; }

mkdir -p "$out"
home=$scratch

mkdir -p "$home/.claude/projects/demo"
printf '%s\n' \
    '{"type":"user","timestamp":"2025-04-01T10:00:00Z","message":{"content":"go"}}' \
    '{"type":"user","timestamp":"2025-04-01T10:01:00Z","toolUseResult":{"filePath":"/a","structuredPatch":[{"lines":["+a","+b"]}]}}' \
    >"$home/.claude/projects/demo/s.jsonl"

display=":$((50 + RANDOM % 200))"
Xvfb "$display" -screen 0 1440x900x24 -nolisten tcp -noreset >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 50); do xsetroot -solid '#808080' 2>/dev/null && break; sleep 0.1; done
xcompmgr -n >/dev/null 2>&1 &
pids+=($!)

rgb() { /usr/bin/convert "$1" -format "%[fx:int(255*p{$2,$3}.r)],%[fx:int(255*p{$2,$3}.g)],%[fx:int(255*p{$2,$3}.b)]" info:; }
expect() { # shot x y colour what
    local got
    got=$(rgb "$1" "$2" "$3")
    if [ "$got" != "$4" ]; then
        fail "$5: pixel ($2,$3) of $(basename "$1") is $got, expected $4"
    fi
}
expectBlue() { # shot x y what
    local got r g b
    got=$(rgb "$1" "$2" "$3")
    IFS=, read -r r g b <<<"$got"
    if [ "$b" -lt 150 ] || [ "$r" -gt 130 ]; then
        fail "$4: pixel ($2,$3) of $(basename "$1") is $got, expected the accent blue"
    fi
}
shoot() { /usr/bin/import -window root "$out/$1"; }
waitFor() { # shot x y colour [x y colour]: polls until the pixels show the colours (start-up, animations and
    # the compositor's repaints take a moment)
    for _ in $(seq 60); do
        shoot "$1"
        if [ "$(rgb "$out/$1" "$2" "$3")" = "$4" ] && { [ $# -lt 7 ] || [ "$(rgb "$out/$1" "$5" "$6")" = "$7" ]; }; then
            return 0
        fi
        sleep 0.25
    done
}

black=0,0,0
grey=128,128,128

# The compositor paints the grey background once it runs; start Korvel only then.
waitFor desktop.png 720 450 $grey
HOME=$home XDG_DATA_HOME=$home/data XDG_CONFIG_HOME=$home/config XDG_RUNTIME_DIR=$home \
    QT_QPA_PLATFORM=xcb "$korvel" --debug >"$out/korvel.log" 2>&1 &
korvelPid=$!
pids+=($korvelPid)

# Collapsed: 180 x 32 centred at the top (630 to 810), flares at the top corners, grey around it.
waitFor collapsed.png 720 16 $black 720 450 $grey
expect "$out/collapsed.png" 720 16 $black "collapsed body"
expect "$out/collapsed.png" 636 0 $black "the top edge reaches into the left flare"
expect "$out/collapsed.png" 804 0 $black "the top edge reaches into the right flare"
expect "$out/collapsed.png" 628 16 $grey "left of the overlay"
expect "$out/collapsed.png" 812 16 $grey "right of the overlay"
expect "$out/collapsed.png" 720 34 $grey "below the overlay"
expect "$out/collapsed.png" 632 28 $grey "under the left flare"

# Hover: the 482 x 330 card (479 to 961) with the card preview.
xdotool mousemove 720 16
waitFor expanded.png 720 320 $black 720 450 $grey
expect "$out/expanded.png" 720 320 $black "expanded body"
expect "$out/expanded.png" 476 150 $grey "left of the card"
expect "$out/expanded.png" 964 150 $grey "right of the card"
expect "$out/expanded.png" 720 333 $grey "below the card"
expectBlue "$out/expanded.png" 527 120 "the preview's accent bar"

# Leave: collapsed again after the delay.
xdotool mousemove 720 700
waitFor collapsed-again.png 720 200 $grey 720 16 $black
expect "$out/collapsed-again.png" 720 200 $grey "the card is gone"
expect "$out/collapsed-again.png" 720 16 $black "collapsed body again"

# A second start leaves at once and shows no second overlay.
if ! HOME=$home XDG_DATA_HOME=$home/data XDG_CONFIG_HOME=$home/config XDG_RUNTIME_DIR=$home QT_QPA_PLATFORM=xcb \
    timeout 10 "$korvel" >/dev/null 2>&1; then
    fail "a second instance did not leave at once with status 0"
fi

# --debug writes one line per refresh.
if ! grep -qE '^\[korvel\] refresh @ [0-9]{4}-[0-9]{2}-[0-9]{2} [0-9:]{8} \+0000 score=[0-9]+ todayLines=[0-9]+$' "$out/korvel.log"; then
    fail "no refresh line from --debug in korvel.log"
fi

# The end of the session (SIGTERM) ends the application in order.
kill -TERM "$korvelPid"
for _ in $(seq 50); do kill -0 "$korvelPid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$korvelPid" 2>/dev/null; then
    fail "korvel still running 5 s after SIGTERM"
fi

finish "overlay end to end" "the screenshots in $out"
