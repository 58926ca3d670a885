#!/bin/bash
# End to end: File > Save Image... through the real file dialog, driven with
# keys, writes a BMP of the view's size whose pixels are exactly the picture
# computed for the view's Region (the view is first checked against the
# computed picture, then the file against the view); then F1 opens About and
# Escape closes it. The program keeps no settings: with its home and XDG
# folders in an empty folder, that folder is still empty after the run (but
# for fontconfig's cache, which the font library writes itself).
# Usage: save_image.sh ZEMBRIX VIEW_MATCHES
. "$(dirname "$0")/lib.sh"
start_display openbox
home=$e2e_work/home
mkdir "$home"
HOME=$home XDG_CONFIG_HOME=$home XDG_CACHE_HOME=$home XDG_DATA_HOME=$home XDG_STATE_HOME=$home \
  start_app "$1"
frame=$window
fx=$frame_x
fy=$frame_y
view_shows "$2" "$frame_w" "$frame_h" || fail "no start-up picture: $e2e_result"
read -r w h x y < <(echo "$e2e_result" | sed -E 's/^view ([0-9]+) x ([0-9]+) at \(([0-9]+), ([0-9]+)\).*/\1 \2 \3 \4/')
shot "$e2e_work/view.ppm" "${w}x${h}+$((fx + x))+$((fy + y))"

xdotool windowactivate --sync "$frame" 2> /dev/null
# The menu bar's "File" (the bar spans the frame's top, under its 1-pixel
# border), then its first item with the keys.
xdotool mousemove $((fx + 15)) $((fy + 10)) click 1
menu_open() { xdotool search --onlyvisible --class zembrix 2> /dev/null | grep -vqx "$frame"; }
wait_for 50 menu_open
xdotool key Down Return
wait_window '^Save Image As\.\.\.$'
dialog=$window
saved=$e2e_work/picture.bmp
xdotool type --delay 20 "$saved"
xdotool key Return
file_written() { [ -s "$saved" ] && ! xdotool search --onlyvisible --name '^Save Image As' > /dev/null 2>&1; }
wait_for 100 file_written || fail "no file $saved"
identify "$saved"
[ "$(identify -format '%wx%h' "$saved")" = "${w}x$h" ] || fail "the file is not $w x $h"
differing=$(compare -metric AE "$saved" "$e2e_work/view.ppm" null: 2>&1)
[ "$differing" = 0 ] || fail "$differing pixels of the file differ from the computed picture"
echo "saved $saved: ${w} x ${h}, every pixel the computed picture"

xdotool windowactivate --sync "$frame" 2> /dev/null
xdotool key F1
wait_window '^About'
about=$window
# 213 x 94 dialog units at base units 6 x 12, rounded as MulDiv does.
xdotool getwindowgeometry "$about" | grep -q "Geometry: 320x141" || fail "About is not 320 x 141"
shot "$e2e_work/about.png" && echo "About photographed"
xdotool key Escape
about_gone() { [ -z "$(window_named '^About')" ]; }
wait_for 100 about_gone || fail "Escape did not close About"
echo "Escape closed About"

xdotool key alt+F4
expect_exit 0
written=$(cd "$home" && find . -mindepth 1 ! -path ./fontconfig ! -path './fontconfig/*')
[ -z "$written" ] || fail "the run wrote into its home: $written"
echo "nothing written into the home folder (left out: $(cd "$home" && ls -d fontconfig 2> /dev/null || echo nothing))"
echo "PASS"
