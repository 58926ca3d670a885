#!/bin/bash
# End to end, under the window manager $E2E_WM names (or none): the tool
# windows open with their outer top-left at the frame's client top-left,
# under its menu bar, and tell the window manager what they are (owned by the
# frame, not resizable, not in the taskbar); About stays on top of its
# disabled frame when the frame is clicked, and the click changes nothing.
# Under a window manager the frame is minimised and restored ten times with
# both tool windows up: all three come back each time. (The progress
# window's place and pixels are checked by progress_window.sh.)
# E2E_WM=weston: weston's own X11 window manager, in a Wayland session with
# XWayland. It shows a utility window elsewhere than where X11 has it (32
# pixels right of and below the place asked) and places dialogs itself,
# sets no frame extents and no allowed actions, writes its own
# _NET_WM_STATE (it has no taskbar) and does not iconify on request: those
# checks are left out there, and so is the Colors window, which would be
# opened through the View menu that the Coordinates window covers there.
# Photographs go to $E2E_KEEP when it names a folder.
# Usage: window_manager.sh ZEMBRIX VIEW_MATCHES
. "$(dirname "$0")/lib.sh"
on_weston() { [ "${E2E_WM:-}" = weston ]; }
start_display
start_app "$1"
frame=$window
matches=$2
keep() { [ -n "${E2E_KEEP:-}" ] && shot "$E2E_KEEP/${E2E_WM:-bare}-$1.ppm"; true; }
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

# View > Coordinates Window, View > Colors Window (under weston only the
# first: weston puts it over the View menu).
tools="Coordinates:30 Colors:52"
! on_weston || tools=Coordinates:30
for tool in $tools; do
  menu_pick 50 "${tool#*:}"
  wait_window "^${tool%:*}\$"
  read -r ox oy ow oh < <(outer_geometry "$window")
  on_weston || [ "$ox,$oy" = "$client_x,$client_y" ] ||
    fail "${tool%:*} at ($ox, $oy), not at the frame's client top-left ($client_x, $client_y)"
  echo "${tool%:*}: ${ow} x $oh at ($ox, $oy), the frame's client top-left"
done
keep tools
coordinates=$(window_named '^Coordinates$')
# What the window manager is told: a tool window is the frame's transient,
# left out of the taskbar; under a window manager it may not be resized, the
# frame may.
xprop -id "$coordinates" WM_TRANSIENT_FOR | grep -qx ".*# $(printf '0x%x' "$frame")" ||
  fail "the Coordinates window is not the frame's transient: $(xprop -id "$coordinates" WM_TRANSIENT_FOR)"
on_weston || xprop -id "$coordinates" _NET_WM_STATE | grep -q _NET_WM_STATE_SKIP_TASKBAR ||
  fail "the Coordinates window is in the taskbar"
if [ -n "${E2E_WM:-}" ] && ! on_weston; then
  resizable() { xprop -id "$1" _NET_WM_ALLOWED_ACTIONS | grep -q _NET_WM_ACTION_RESIZE; }
  resizable "$frame" || fail "the frame may not be resized"
  ! resizable "$coordinates" || fail "the Coordinates window may be resized"
fi

# A part of the view that neither the tool windows nor About cover: a click
# that reached the view would zoom and change it. Taken once two photographs
# in a row agree.
part="130x100+$((client_x + 400))+$((client_y + 150))"
unchanged() {
  shot "$e2e_work/part2.ppm" "$part" &&
    [ "$(compare -metric AE "$e2e_work/part.ppm" "$e2e_work/part2.ppm" null: 2>&1)" = 0 ]
}
part_settled() { shot "$e2e_work/part.ppm" "$part" && unchanged; }
wait_for 50 part_settled || fail "the view did not settle"

# Minimised through the window manager and restored, ten times: each time
# the frame and both tool windows come back where they were, and the
# picture is unchanged (openbox iconifies the tool windows with the frame
# and the frame again with any tool window mapped iconic).
if [ -n "${E2E_WM:-}" ] && ! on_weston; then
  colors=$(window_named '^Colors$')
  places() { for id in "$frame" "$coordinates" "$colors"; do outer_geometry "$id"; done; }
  before=$(places)
  viewable() { xwininfo -id "$1" 2> /dev/null | grep -q IsViewable; }
  down() { ! viewable "$frame" && ! viewable "$coordinates" && ! viewable "$colors"; }
  back() { viewable "$frame" && viewable "$coordinates" && viewable "$colors" && [ "$(places)" = "$before" ]; }
  for round in 1 2 3 4 5 6 7 8 9 10; do
    xdotool windowminimize "$frame"
    wait_for 50 down || fail "round $round: the frame and its tool windows were not all hidden"
    xdotool windowactivate "$frame" 2> /dev/null
    wait_for 50 back || fail "round $round: not all three windows came back where they were: $(places | tr '\n' ' ')"
    wait_for 50 unchanged || fail "round $round: the picture changed"
  done
  echo "ten rounds of minimise and restore: all three windows back, the picture unchanged"
fi

# About over its frame: a click on the frame (here on the view, where a click
# would zoom) neither raises the frame nor reaches it; About keeps the focus.
xdotool mousemove $((client_x + 450)) $((client_y + 200)) key F1
wait_window '^About'
about=$window
# Where About stands once two readings agree: weston places it after the map.
about_at=""
about_placed() {
  local now
  now=$(client_geometry "$about")
  [ "$now" = "$about_at" ] && shot "$e2e_work/about.ppm" "${aw}x$ah+$ax+$ay" && return 0
  about_at=$now
  read -r ax ay aw ah <<< "$now"
  return 1
}
wait_for 50 about_placed || fail "About did not settle: $about_at"
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
# (Away from the part: weston's photographs show the pointer.)
xdotool mousemove 0 0
unchanged || fail "the click under About reached the view: its picture changed"
echo "About stayed on top of its clicked frame, kept the keys, and the click changed nothing"

xdotool key alt+F4
expect_exit 0
echo "PASS"
