#!/bin/bash
# End to end: resizing keeps the picture's scale and centre. A border resize
# by xdotool (no window manager), then under openbox a maximise by a double
# click on the title bar and a minimise and restore: after each the view shows
# exactly the picture of the start-up Region rescaled to the new view size (a
# minimise and restore: the picture as it was), and Update in the Coordinates
# window then changes nothing, so its fields hold the rescaled corners.
# (That a resize computes once is checked on the window code offscreen.)
# Usage: resize.sh ZEMBRIX VIEW_MATCHES
. "$(dirname "$0")/lib.sh"
matches=$2
pos() { xwininfo -id "$1" | awk '/Absolute upper-left X/ {x = $NF} /Absolute upper-left Y/ {y = $NF} END {print x, y}'; }
size() { xwininfo -id "$1" | awk '/Width:/ {w = $NF} /Height:/ {h = $NF} END {print w, h}'; }

# answered: F1 opens About and Escape closes it, so everything sent before
# has been handled.
about_gone() { [ -z "$(window_named '^About')" ]; }
answered() {
  xdotool mousemove $((fx + 100)) $((fy + 100)) key F1
  wait_window '^About'
  read -r ax ay < <(pos "$window")
  xdotool mousemove $((ax + 20)) $((ay + 20)) key Escape
  wait_for 100 about_gone || fail "Escape did not close About"
}

# shows_after_update FW FH [GESTURE...]: the view shows the expected picture,
# and still does once Update in the Coordinates window (shown for it through
# the View menu, then hidden again) has applied the fields.
coordinates_gone() { [ -z "$(window_named '^Coordinates$')" ]; }
shows_after_update() {
  view_shows "$matches" "$@" || fail "not the expected picture: $e2e_result"
  echo "$e2e_result"
  menu_pick 50 30  # View > Coordinates Window
  wait_window '^Coordinates$'
  # It opens over the frame's view, under the menu bar; moved out of the way.
  coordinates=$window
  opened=$(pos "$coordinates")
  xdotool windowmove "$coordinates" 300 300
  wait_for 50 eval '[ "$(pos "$coordinates")" != "$opened" ]'
  read -r cx cy < <(pos "$coordinates")
  xdotool mousemove $((cx + 282)) $((cy + 78)) click 1
  answered
  menu_pick 50 30
  wait_for 100 coordinates_gone || fail "the Coordinates window stayed"
  view_shows "$matches" "$@" || fail "Update changed the picture: $e2e_result"
}

# start [openbox]: the explorer on a fresh display, its frame's client area
# at (fx, fy).
start() {
  start_display "$@"
  start_app "$app_binary"
  frame=$window
  read -r fx fy < <(pos "$frame")
  e2e_at=+$fx+$fy
  menu_dx=$fx
  menu_dy=$fy
  view_shows "$matches" "$frame_w" "$frame_h" || fail "no start-up picture: $e2e_result"
  start_view=$(echo "$e2e_result" | sed -E 's/^view ([0-9]+) x ([0-9]+) .*/\1,\2/')
}
app_binary=$1

start
xdotool windowsize "$frame" 700 420
shows_after_update 700 420 from:$start_view
echo "a resize to 700 x 420 kept the scale and centre"
menu_pick 15 75  # File > Exit
expect_exit 0
e2e_cleanup
e2e_pids=()
e2e_work=$(mktemp -d)

start openbox
# The title bar lies above the client area; a double click on it maximises.
xdotool mousemove $((fx + 200)) $((fy - 8)) click --repeat 2 --delay 80 1
maximised() { [ "$(size "$frame")" != "$frame_w $frame_h" ]; }
wait_for 100 maximised || fail "the double click on the title bar did not maximise"
read -r fx fy < <(pos "$frame")
read -r fw fh < <(size "$frame")
e2e_at=+$fx+$fy
menu_dx=$fx
menu_dy=$fy
shows_after_update "$fw" "$fh" from:$start_view
echo "maximised to $fw x $fh: the scale and centre kept"
shot "$e2e_work/before.ppm" "${fw}x$fh+$fx+$fy"
xdotool windowminimize --sync "$frame"
xdotool windowactivate --sync "$frame" 2> /dev/null || xdotool windowmap --sync "$frame"
wait_for 100 eval '[ "$(xwininfo -id "$frame" | grep -c IsViewable)" = 1 ]' || fail "not restored"
shows_after_update "$fw" "$fh" from:$start_view
echo "minimised and restored: the picture and the Region as they were"
menu_pick 15 75
expect_exit 0
echo "PASS"
