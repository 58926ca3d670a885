#!/bin/bash
# End to end: on a desktop that asks for 200 % (a 192-DPI display with
# Xft.dpi 192), the explorer appears at twice its 96-DPI size, as Windows
# shows a program that does not declare itself DPI-aware: the frame's outer
# rectangle is 1100 x 600 device pixels (decorations included; a window
# manager's odd border width in device pixels may round it by one a side),
# About's client area is twice its 320 x 141, and the view shows the picture
# computed at the view's size in Win32 pixels with every pixel drawn as 2 x 2
# device pixels (no smoothing). Runs under $E2E_WM, if set.
# Usage: high_density.sh ZEMBRIX VIEW_MATCHES
. "$(dirname "$0")/lib.sh"
e2e_dpi=192
start_display
start_app "$1"
matches=$2
# near A B: |A - B| <= 2.
near() { [ $(($1 - $2)) -le 2 ] && [ $(($2 - $1)) -le 2 ]; }
read -r _ _ ow oh < <(outer_geometry "$window")
echo "frame: outer $ow x $oh, client $frame_w x $frame_h at ($frame_x, $frame_y)"
near "$ow" 1100 && near "$oh" 600 || fail "the frame is not 1100 x 600"
[ $((frame_w % 2)) -eq 0 ] && [ $((frame_h % 2)) -eq 0 ] ||
  fail "the client area is not a whole number of Win32 pixels"

# The client area shot at half size, one pixel of each 2 x 2, is the 96-DPI
# picture.
halved_matches() {
  shot "$e2e_work/big.ppm" "${frame_w}x${frame_h}+$frame_x+$frame_y" &&
    convert "$e2e_work/big.ppm" -sample 50% "$e2e_work/half.ppm" &&
    e2e_result=$("$matches" "$e2e_work/half.ppm" $((frame_w / 2)) $((frame_h / 2)))
}
wait_for 100 halved_matches || fail "the halved view is not the picture: $e2e_result"
echo "halved: $e2e_result"
read -r w h x y < <(echo "$e2e_result" | sed -E 's/^view ([0-9]+) x ([0-9]+) at \(([0-9]+), ([0-9]+)\).*/\1 \2 \3 \4/')
[ -n "$y" ] || fail "no view geometry in: $e2e_result"
convert "$e2e_work/big.ppm" -crop "$((2 * w))x$((2 * h))+$((2 * x))+$((2 * y))" +repage \
  "$e2e_work/view.ppm"
convert "$e2e_work/view.ppm" -sample 50% -sample 200% "$e2e_work/doubled.ppm"
differ=$(compare -metric AE "$e2e_work/view.ppm" "$e2e_work/doubled.ppm" null: 2>&1)
[ "$differ" = 0 ] || fail "the view's pixels are not 2 x 2 blocks: $differ differ"
echo "view: every pixel a 2 x 2 block"

xdotool key F1
wait_window '^About Zembrix$'
# A dialog template gives the client area's size.
read -r _ _ aw ah < <(client_geometry "$window")
echo "About: client $aw x $ah"
[ "$aw" = 640 ] && [ "$ah" = 282 ] || fail "About's client area is not 640 x 282"
xdotool key Escape key alt+F4
expect_exit 0
echo "PASS"
