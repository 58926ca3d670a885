#!/bin/bash
# End to end: starts the real explorer on a fresh Xvfb display (under the
# window manager $E2E_WM names, if any), waits (bounded)
# until its view shows exactly the default picture the engine computes for the
# view's size, checks that the frame opened at (0, 0) with the outer size
# 550 x 300, closes it with Alt+F4 and expects exit code 0.
# Usage: startup_picture.sh ZEMBRIX VIEW_MATCHES
. "$(dirname "$0")/lib.sh"
start_display
start_app "$1"
# The outer edge, the window manager's frame included.
read -r ox oy ow oh < <(outer_geometry "$window")
echo "frame ${ow} x $oh at ($ox, $oy)"
[ "$ox,$oy" = 0,0 ] || fail "the frame is not at (0, 0)"
[ "${ow}x$oh" = 550x300 ] || fail "the frame is not 550 x 300"
view_shows "$2" "$frame_w" "$frame_h" || fail "the view does not show the default picture: $e2e_result"
echo "$e2e_result"
xdotool key alt+F4
expect_exit 0
echo "PASS"
