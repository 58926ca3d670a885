#!/bin/bash
# End to end, under the window manager $E2E_WM names (or none): the tool
# windows open with their outer top-left at the frame's client top-left,
# under its menu bar; About stays on top of its disabled frame when the frame
# is clicked, and the click changes nothing; the progress window of a slow
# computation stands centred over the frame and leaves no copy of itself
# anywhere else. Photographs go to $E2E_KEEP when it names a folder.
# Usage: window_manager.sh ZEMBRIX VIEW_MATCHES
. "$(dirname "$0")/lib.sh"
start_display
start_app "$1"
frame=$window
matches=$2
keep() { [ -n "${E2E_KEEP:-}" ] && import -window root "$E2E_KEEP/${E2E_WM:-bare}-$1.png"; true; }
view_shows "$matches" "$frame_w" "$frame_h" || fail "no start-up picture: $e2e_result"
read -r vw vh vx vy < <(echo "$e2e_result" | sed -E 's/^view ([0-9]+) x ([0-9]+) at \(([0-9]+), ([0-9]+)\).*/\1 \2 \3 \4/')
# The frame's client area: the view fills it, inside the view's 3-pixel border.
client_x=$((frame_x + vx - 3))
client_y=$((frame_y + vy - 3))
keep first
# The identity the desktop entry (org.zembrix.Zembrix, StartupWMClass=zembrix)
# expects, and the program's icon.
xprop -id "$frame" WM_CLASS | grep -q '= "zembrix", "Zembrix"$' || fail "WM_CLASS: $(xprop -id "$frame" WM_CLASS)"
xprop -id "$frame" _GTK_APPLICATION_ID | grep -q '"org.zembrix.Zembrix"' || fail "no desktop id"
xprop -id "$frame" _NET_WM_ICON | grep -q 'Icon ([0-9]' || fail "no icon on the frame"

# View > Coordinates Window, View > Colors Window.
for tool in Coordinates:30 Colors:52; do
  menu_pick 50 "${tool#*:}"
  wait_window "^${tool%:*}\$"
  read -r ox oy ow oh < <(outer_geometry "$window")
  [ "$ox,$oy" = "$client_x,$client_y" ] ||
    fail "${tool%:*} at ($ox, $oy), not at the frame's client top-left ($client_x, $client_y)"
  echo "${tool%:*}: ${ow} x $oh at ($ox, $oy), the frame's client top-left"
done
keep tools
coordinates=$(window_named '^Coordinates$')
read -r cx cy _ < <(client_geometry "$coordinates")

# A part of the view that neither the tool windows nor About cover: a click
# that reached the view would zoom and change it.
part="130x100+$((client_x + 400))+$((client_y + 150))"
shot "$e2e_work/part.ppm" "$part"

# About over its frame: a click on the frame (here on the view, where a click
# would zoom) neither raises the frame nor reaches it; About keeps the focus.
xdotool mousemove $((client_x + 450)) $((client_y + 200)) key F1
wait_window '^About'
about=$window
read -r ax ay aw ah < <(client_geometry "$about")
about_drawn() { shot "$e2e_work/about.ppm" "${aw}x$ah+$ax+$ay"; }
wait_for 50 about_drawn
xdotool mousemove $((client_x + 450)) $((client_y + 200)) click 1
same_about() {
  shot "$e2e_work/about2.ppm" "${aw}x$ah+$ax+$ay" &&
    [ "$(compare -metric AE "$e2e_work/about.ppm" "$e2e_work/about2.ppm" null: 2>&1)" = 0 ]
}
# Stays so for 20 looks in a row (the window manager answers in its own time).
steady=0
looks() { if same_about; then steady=$((steady + 1)); else steady=0; fi; [ "$steady" -ge 20 ]; }
wait_for 100 looks || fail "About did not stay on top of the clicked frame"
keep about
xdotool key Escape
about_gone() { [ -z "$(window_named '^About')" ]; }
wait_for 100 about_gone || fail "Escape did not close About after the click on the frame"
unchanged() {
  shot "$e2e_work/part2.ppm" "$part" &&
    [ "$(compare -metric AE "$e2e_work/part.ppm" "$e2e_work/part2.ppm" null: 2>&1)" = 0 ]
}
unchanged || fail "the click under About reached the view: its picture changed"
echo "About stayed on top of its clicked frame, kept the keys, and the click changed nothing"

# A slow picture (the cusp of the main cardioid, a high limit), then the
# Coordinates window hidden and F5: the same picture again, so what the
# progress window does not cover must look as before.
# type_into X Y TEXT: replaces the text of the field centred at X, Y of the
# Coordinates window, once the click has given that window the keys.
coordinates_has_keys() { [ "$(xdotool getwindowfocus 2> /dev/null)" = "$coordinates" ]; }
type_into() {
  xdotool mousemove $((cx + $1)) $((cy + $2)) click 1
  wait_for 100 coordinates_has_keys || fail "the Coordinates window did not take the keys"
  xdotool key ctrl+a
  xdotool type --delay 10 -- "$3"
}
type_into 110 20 -0.752
type_into 285 20 -0.002
type_into 110 45 -0.748
type_into 285 45 0.002
type_into 128 78 400000
xdotool mousemove $((cx + 282)) $((cy + 78)) click 1
pw=$(((171 * 6 + 2) / 4 + 4))
ph=$((44 * 12 / 8 + 4))
e2e_progress_up() {
  local id
  for id in $(xdotool search --onlyvisible --name '' 2> /dev/null); do
    if [ "$(client_geometry "$id" | cut -d' ' -f3,4)" = "$pw $ph" ]; then
      progress=$id
      return 0
    fi
  done
  return 1
}
progress_gone() { ! xwininfo -id "$progress" 2> /dev/null | grep -q IsViewable; }
wait_for 300 e2e_progress_up || fail "no progress window during the first computation"
wait_for 1200 progress_gone || fail "the first computation did not end within 120 s"
# settled: two photographs of the frame's area in a row alike.
settled() {
  shot "$e2e_work/before.ppm" "${frame_w}x$frame_h+$frame_x+$frame_y" &&
    shot "$e2e_work/again.ppm" "${frame_w}x$frame_h+$frame_x+$frame_y" &&
    [ "$(compare -metric AE "$e2e_work/before.ppm" "$e2e_work/again.ppm" null: 2>&1)" = 0 ]
}
menu_pick 50 30  # hides the Coordinates window
coordinates_gone() { [ -z "$(window_named '^Coordinates$')" ]; }
wait_for 100 coordinates_gone || fail "the Coordinates window stayed"
menu_pick 50 52  # and the Colors window
colors_gone() { [ -z "$(window_named '^Colors$')" ]; }
wait_for 100 colors_gone || fail "the Colors window stayed"
wait_for 50 settled || fail "the frame did not settle"
xdotool mousemove $((client_x + 20)) $((client_y + 20)) key F5
wait_for 300 e2e_progress_up || fail "no progress window during the F5 computation"
shot "$e2e_work/during.ppm" "${frame_w}x$frame_h+$frame_x+$frame_y"
keep progress
read -r px py _ < <(client_geometry "$progress")
# Centred over the frame's window rectangle (outer 550 x 300 at the screen's
# corner) from its client size 257 x 66: 275 - 128, 150 - 33.
[ "$px,$py" = "147,117" ] || fail "the progress window is at ($px, $py), not at (147, 117)"
# Everything of the frame outside the progress window is as before F5.
mask() {
  convert "$1" -fill black -draw "rectangle $((px - frame_x)),$((py - frame_y)) $((px - frame_x + pw - 1)),$((py - frame_y + ph - 1))" "$2"
}
mask "$e2e_work/before.ppm" "$e2e_work/before-masked.ppm"
mask "$e2e_work/during.ppm" "$e2e_work/during-masked.ppm"
differ=$(compare -metric AE "$e2e_work/before-masked.ppm" "$e2e_work/during-masked.ppm" null: 2>&1)
[ "$differ" = 0 ] || fail "$differ pixels of the frame changed beside the progress window (a second copy?)"
echo "the progress window stands centred at ($px, $py) and nothing else changed"
wait_for 1200 progress_gone || fail "the F5 computation did not end within 120 s"
xdotool key alt+F4
expect_exit 0
echo "PASS"
