#!/bin/bash
# End to end on native Wayland, under sway (a tiling compositor), with input
# through sway's own seat: the explorer runs without DISPLAY, so on Qt's
# Wayland platform, with the desktop entry's id as its app id. Sway tiles the
# frame to the whole output at once; arriving after the first computation,
# that size goes through the resize handling, and the view shows the
# start-up picture rescaled with its scale kept, pixel for pixel (arriving
# before, the default picture of that size). A click zooms in three times
# around it, pixel for pixel. F1 opens About; a click on the disabled frame
# changes nothing and About stays, and Escape (the keyboard is the frame's
# after that click: sway gives it, no client can take it back) closes About.
# Closing the frame through sway ends the program with exit code 0.
# Photographs go to $E2E_KEEP when it names a folder.
# Usage: sway_input.sh ZEMBRIX VIEW_MATCHES
. "$(dirname "$0")/lib.sh"
start_display
start_sway "$1"
matches=$2
keep() { [ -n "${E2E_KEEP:-}" ] && shot "$E2E_KEEP/sway-$1.ppm"; true; }
(cd "$XDG_RUNTIME_DIR" && exec "${e2e_as_user[@]}" env -u DISPLAY XDG_SESSION_TYPE=wayland "$1") &
app=$!
e2e_pids+=("$app")
has_window() { sway_tree | grep -qx "name $1" || ! kill -0 "$app" 2> /dev/null; }
wait_for 300 has_window Zembrix && sway_tree | grep -qx "name Zembrix" || fail "no frame under sway"
sway_tree | grep -qx "app_id org.zembrix.Zembrix" || fail "app id: $(sway_tree | grep app_id)"

# The frame fills the 1024 x 768 output. Sway gives that size in its first
# configure or soon after it: before the first computation the default
# Region is fitted to it; after, the start-up picture of the view's first
# size, 544 x 275 (the frame's 550 x 300 less the menu bar's 19 pixels and
# the view's 3-pixel borders), is rescaled with its scale kept.
start=""
either() {
  if e2e_match "$matches" 1024 768 from:544,275; then
    start=from:544,275
  else
    e2e_match "$matches" 1024 768
  fi
}
wait_for 60 either || fail "the view shows neither picture of the compositor's size: $e2e_result"
echo "${start:-fitted at once:} $e2e_result"
keep first
# A click at view client (397, 278): screen (400, 300), the view's border
# and the menu bar above it.
xdotool mousemove 400 300 click 1
view_shows "$matches" 1024 768 $start 397,278,397,278 || fail "the click did not zoom: $e2e_result"
echo "after the click: $e2e_result"

# About over the disabled frame: sway floats it in the middle of the output,
# so a click at (100, 600) reaches the frame, where a click would zoom.
part=200x150+30+550
same_part() {
  shot "$e2e_work/part2.ppm" "$part" &&
    [ "$(compare -metric AE "$e2e_work/part.ppm" "$e2e_work/part2.ppm" null: 2>&1)" = 0 ]
}
shot "$e2e_work/part.ppm" "$part"
xdotool key F1
wait_for 300 has_window "About Zembrix" && sway_tree | grep -qx "name About Zembrix" || fail "F1 opened no About"
keep about
xdotool mousemove 100 600 click 1
# Stays so for 20 looks in a row (a zoom would start at once).
steady=0
looks() { if same_part && sway_tree | grep -qx "name About Zembrix"; then steady=$((steady + 1)); else steady=0; fi; [ "$steady" -ge 20 ]; }
wait_for 100 looks || fail "the click on the frame under About changed the view or closed About"
xdotool key Escape
about_gone() { ! sway_tree | grep -qx "name About Zembrix"; }
wait_for 100 about_gone || fail "Escape did not close About after the click on the frame"
same_part || fail "the picture changed while About was up"
echo "About over the disabled frame: the click changed nothing, Escape closed About"

as_user swaymsg '[title="^Zembrix$"] kill' > /dev/null || fail "sway could not close the frame"
expect_exit 0
echo "PASS"
