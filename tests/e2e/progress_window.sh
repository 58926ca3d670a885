#!/bin/bash
# End to end: a computation slow enough to show progress. A Region at the
# cusp of the main cardioid, whose inner points repeat late, with a high limit
# is typed into the Coordinates window and applied with Update; the progress
# window then appears with its template's size, and two photographs taken
# while it is up show its bar and percentage moving under an unchanged
# "Rendering..." label. Then F5, F1 and Alt+F4 typed into the Coordinates
# window act as in the frame; during the F5 computation the progress window
# stands centred over the frame and leaves no copy of itself elsewhere.
# Runs bare or under the window manager $E2E_WM names.
# Usage: progress_window.sh ZEMBRIX VIEW_MATCHES
. "$(dirname "$0")/lib.sh"
start_display
start_app "$1"
frame=$window
view_shows "$2" "$frame_w" "$frame_h" || fail "no start-up picture: $e2e_result"

menu_pick 50 30  # View > Coordinates Window
wait_window '^Coordinates$'
coordinates=$window
read -r cx cy _ < <(client_geometry "$coordinates")
# type_into X Y TEXT: replaces the text of the field centred at X, Y of the
# Coordinates window.
type_into() {
  xdotool mousemove $((cx + $1)) $((cy + $2)) click 1 key ctrl+a
  xdotool type --delay 10 -- "$3"
}
type_into 110 20 -0.752
type_into 285 20 -0.002
type_into 110 45 -0.748
type_into 285 45 0.002
type_into 128 78 400000
xdotool mousemove $((cx + 282)) $((cy + 78)) click 1

# The progress window: the visible window of the template's size, 171 x 44
# dialog units at base units 6 x 12 (257 x 66), plus its 1-pixel border and
# its 1-pixel static edge on every side.
pw=$(((171 * 6 + 2) / 4 + 4))
ph=$((44 * 12 / 8 + 4))
e2e_progress_up() {
  local id
  for id in $(xdotool search --onlyvisible --name '' 2> /dev/null); do
    if xdotool getwindowgeometry "$id" 2> /dev/null | grep -q "Geometry: ${pw}x$ph"; then
      progress=$id
      return 0
    fi
  done
  return 1
}
wait_for 300 e2e_progress_up || {
  for id in $(xdotool search --onlyvisible --name ''); do xdotool getwindowgeometry "$id"; done
  fail "no ${pw} x $ph progress window during the computation"
}
read -r px py < <(xdotool getwindowgeometry "$progress" | sed -nE 's/.*Position: ([0-9]+),([0-9]+).*/\1 \2/p')
echo "progress window ${pw} x $ph at ($px, $py)"
shot "$e2e_work/first.ppm" "${pw}x$ph+$px+$py"
# The label row is the top 30 pixels (the bar starts at y = 23 du = 34 px).
label_of() { convert "$1" -crop "${pw}x30+0+1" +repage "$2"; }
same() { [ "$(compare -metric AE "$1" "$2" null: 2>&1)" = 0 ]; }
# moving: a second photograph whose bar or percentage differs from the first
# under the same label. A photograph taken while the label was still being
# set becomes the new first one.
moving() {
  shot "$e2e_work/second.ppm" "${pw}x$ph+$px+$py" || return 1
  label_of "$e2e_work/first.ppm" "$e2e_work/label1.ppm"
  label_of "$e2e_work/second.ppm" "$e2e_work/label2.ppm"
  if ! same "$e2e_work/label1.ppm" "$e2e_work/label2.ppm"; then
    mv "$e2e_work/second.ppm" "$e2e_work/first.ppm"
    return 1
  fi
  ! same "$e2e_work/first.ppm" "$e2e_work/second.ppm"
}
wait_for 300 moving || fail "the progress window did not change while it was up"
[ "$(convert "$e2e_work/label1.ppm" -format '%[fx:minima.intensity < 0.5]' info:)" = 1 ] ||
  fail "the label row is blank"
echo "two photographs: the bar and percentage moved under the same label"
cp "$e2e_work/first.ppm" "$e2e_work/second.ppm" "${E2E_KEEP:-$e2e_work}/" 2> /dev/null

progress_gone() { ! xwininfo -id "$progress" 2> /dev/null | grep -q IsViewable; }
wait_for 1200 progress_gone || fail "the computation did not end within 120 s"
echo "the progress window went away"

# The frame's keys act while the Coordinates window is the active one (focus
# in its Iterations field): F5 recomputes the same picture, so while the
# progress window is up everything of the frame's area beside it and the
# Coordinates window (its caret blinks) must look as before: no second copy
# of the progress window anywhere. Then F1 opens About, and after Escape,
# Alt+F4 ends the program.
xdotool mousemove $((cx + 128)) $((cy + 78)) click 1
# The Coordinates window with its frame: a window manager redraws its title
# as inactive while the progress window is up.
read -r ox oy ow oh < <(outer_geometry "$coordinates")
frame_area="${frame_w}x$frame_h+$frame_x+$frame_y"
settled() {
  shot "$e2e_work/before.ppm" "$frame_area" && shot "$e2e_work/again.ppm" "$frame_area" &&
    same "$e2e_work/before.ppm" "$e2e_work/again.ppm"
}
wait_for 50 settled || fail "the frame did not settle"
xdotool key F5
wait_for 300 e2e_progress_up || fail "F5 in the Coordinates window computed nothing"
shot "$e2e_work/during.ppm" "$frame_area"
read -r px py _ < <(client_geometry "$progress")
# Centred over the frame's window rectangle (outer 550 x 300 at the screen's
# corner) from its client size 257 x 66: 275 - 128, 150 - 33.
[ "$px,$py" = "147,117" ] || fail "the progress window is at ($px, $py), not at (147, 117)"
mask() {
  convert "$1" -fill black \
    -draw "rectangle $((px - frame_x)),$((py - frame_y)) $((px - frame_x + pw - 1)),$((py - frame_y + ph - 1))" \
    -draw "rectangle $((ox - frame_x)),$((oy - frame_y)) $((ox - frame_x + ow - 1)),$((oy - frame_y + oh - 1))" "$2"
}
mask "$e2e_work/before.ppm" "$e2e_work/before-masked.ppm"
mask "$e2e_work/during.ppm" "$e2e_work/during-masked.ppm"
differ=$(compare -metric AE "$e2e_work/before-masked.ppm" "$e2e_work/during-masked.ppm" null: 2>&1)
[ "$differ" = 0 ] || fail "$differ pixels of the frame changed beside the progress window (a second copy?)"
echo "F5 in the Coordinates window recomputed; the progress window stands centred at ($px, $py) and nothing else changed"
wait_for 1200 progress_gone || fail "the F5 computation did not end within 120 s"
xdotool mousemove $((cx + 128)) $((cy + 78)) click 1
xdotool key F1
wait_window '^About'
xdotool key Escape
about_gone() { [ -z "$(window_named '^About')" ]; }
wait_for 100 about_gone || fail "Escape did not close About"
echo "F1 in the Coordinates window opened About"
if [ -z "${E2E_WM:-}" ]; then
  xdotool mousemove $((cx + 128)) $((cy + 78)) click 1
  xdotool key alt+F4
  expect_exit 0
  echo "Alt+F4 in the Coordinates window ended the program"
else
  # A window manager keeps Alt+F4 for itself and closes the active window
  # with it: here the frame, which ends the program.
  xdotool windowactivate --sync "$frame" key alt+F4
  expect_exit 0
fi
echo "PASS"
