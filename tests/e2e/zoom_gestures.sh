#!/bin/bash
# End to end: mouse zoom on the real explorer (under $E2E_WM, if set). A click
# at the view's centre, a drag, an Alt+release and a right click, each followed
# by a pixel comparison of the view with the picture computed for the Region
# the gesture gives; during the drag the view shows the picture with exactly
# the rubber band's outline XOR white, and after the release no trace of it.
# A window manager takes Alt with a click for itself: under one the right
# click is the zoom-out, and Alt+release is left out.
# Usage: zoom_gestures.sh ZEMBRIX VIEW_MATCHES
. "$(dirname "$0")/lib.sh"
start_display
start_app "$1"
matches=$2
view_shows "$matches" "$frame_w" "$frame_h" || fail "no start-up picture: $e2e_result"
# "view W x H at (X, Y) ..."
read -r w h x y < <(echo "$e2e_result" | sed -E 's/^view ([0-9]+) x ([0-9]+) at \(([0-9]+), ([0-9]+)\).*/\1 \2 \3 \4/')
[ -n "$y" ] || fail "no view geometry in: $e2e_result"
echo "view $w x $h at ($x, $y) in the frame at ($frame_x, $frame_y)"
x=$((frame_x + x))
y=$((frame_y + y))

# at VX VY: the view's client point on the screen.
at() { xdotool mousemove $((x + $1)) $((y + $2)); }
cx=$((w / 2))
cy=$((h / 2))
gestures=("$cx,$cy,$cx,$cy")
at $cx $cy
xdotool click 1
view_shows "$matches" "$frame_w" "$frame_h" "${gestures[@]}" || fail "click: $e2e_result"
echo "click: $e2e_result"

# The drag: the picture under the band is the one from before the press.
shot "$e2e_work/before.ppm" "${w}x${h}+$x+$y"
at 100 60
xdotool mousedown 1
at 300 200
# Rectangle(100, 60, 300, 200) with a 1-pixel pen: columns 100..299, rows 60..199.
convert -size "${w}x${h}" xc:black +antialias -fill white -draw "rectangle 100,60 299,199" \
  -fill black -draw "rectangle 101,61 298,198" "$e2e_work/outline.ppm"
convert "$e2e_work/before.ppm" \( +clone -negate \) "$e2e_work/outline.ppm" -composite \
  "$e2e_work/banded.ppm"
# differs_from IMAGE: the number of pixels of the last band shot unlike IMAGE.
differs_from() { compare -metric AE "$e2e_work/band.ppm" "$1" null: 2>&1; }
band_is() {
  shot "$e2e_work/band.ppm" "${w}x${h}+$x+$y" && [ "$(differs_from "$1")" = 0 ]
}
wait_for 100 band_is "$e2e_work/banded.ppm" ||
  fail "the rubber band is not the outline XOR white: $(differs_from "$e2e_work/banded.ppm") pixels differ"
echo "rubber band: exactly the outline XOR white"
xdotool mouseup 1
gestures+=("100,60,300,200")
view_shows "$matches" "$frame_w" "$frame_h" "${gestures[@]}" || fail "drag: $e2e_result"
echo "drag: $e2e_result"

if [ -z "${E2E_WM:-}" ]; then
  at 50 40
  xdotool mousedown 1 keydown alt mouseup 1 keyup alt
  gestures+=("alt:50,40,50,40")
  view_shows "$matches" "$frame_w" "$frame_h" "${gestures[@]}" || fail "Alt+release: $e2e_result"
  echo "Alt+release: $e2e_result"
fi

# The right-button zoom-out gives the very picture of an Alt+release there.
at 70 50
xdotool click 3
gestures+=("alt:70,50,70,50")
view_shows "$matches" "$frame_w" "$frame_h" "${gestures[@]}" || fail "right click: $e2e_result"
echo "right click: $e2e_result"

xdotool key Escape key alt+F4
expect_exit 0
echo "PASS"
