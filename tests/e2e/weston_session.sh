#!/bin/bash
# End to end in a Wayland session under weston, photographed by weston
# itself. E2E_SESSION=xwayland: XWayland beside it (XDG_SESSION_TYPE=wayland,
# both displays set, Qt's Wayland platform installed), where the explorer
# must choose X11 and show the exact start-up picture in the frame weston's
# X11 window manager gives it. E2E_SESSION=wayland: no X server, so the
# explorer runs as a Wayland client; its window, Qt's decoration included,
# is 550 x 300 as the frame's outer rectangle is, and shows the exact
# start-up picture, opaque (a picture blended with the background would
# differ). There the pointer, through weston's seat on an Xvfb display,
# clicks the decoration's maximise button: weston gives the frame the whole
# output, and the view shows the start-up picture rescaled to it with its
# scale kept.
# Photographs go to $E2E_KEEP when it names a folder.
# Usage: weston_session.sh ZEMBRIX VIEW_MATCHES
. "$(dirname "$0")/lib.sh"
session=${E2E_SESSION:-wayland}
if [ "$session" = xwayland ]; then
  start_weston xwayland
else
  start_display
  start_weston
fi
keep() { [ -n "${E2E_KEEP:-}" ] && shot "$E2E_KEEP/weston-$session-$1.ppm"; true; }
(cd "$e2e_work" && exec "$1") &
app=$!
e2e_pids+=("$app")
if [ "$session" = xwayland ]; then
  # On X11: the frame is a window of XWayland's.
  wait_window '^Zembrix$'
  read -r frame_x frame_y frame_w frame_h < <(client_geometry "$window")
  e2e_at="+$frame_x+$frame_y"
  echo "on X11: the frame's own area ${frame_w} x $frame_h at ($frame_x, $frame_y)"
else
  # Found against the background, once it has the frame's outer size.
  outer=""
  framed() {
    kill -0 "$app" 2> /dev/null || fail "the explorer ended"
    shot "$e2e_work/screen.ppm" && outer=$(weston_window "$e2e_work/screen.ppm" 2> /dev/null) &&
      [ "$(echo "$outer" | cut -d ' ' -f 1,2)" = "550 300" ]
  }
  wait_for 300 framed || fail "no 550 x 300 window on the output: $outer"
  read -r _ _ ox oy <<< "$outer"
  # Qt's decoration: 3-pixel borders and a 30-pixel title bar.
  frame_w=544
  frame_h=267
  e2e_at="+$((ox + 3))+$((oy + 30))"
  echo "a Wayland client: the window 550 x 300 at ($ox, $oy)"
fi
view_shows "$2" "$frame_w" "$frame_h" || fail "the view does not show the default picture: $e2e_result"
echo "$e2e_result"
keep first
if [ "$session" = wayland ]; then
  # The maximise button is 40 pixels left of the window's right edge, in
  # the middle of the title bar; the pointer then goes back to the corner,
  # on the decoration. Qt keeps its 3-pixel borders when maximised, so the
  # frame's area is 1024 - 6 by 768 - 30 - 3; the view it started with was
  # the frame's area less the view's 3-pixel borders and the 19-pixel menu
  # bar.
  xdotool mousemove $((ox + 510)) $((oy + 15)) click 1
  xdotool mousemove 0 0
  e2e_at=+3+30
  view_shows "$2" 1018 735 from:$((frame_w - 6)),$((frame_h - 25)) ||
    fail "the view does not show the start-up picture rescaled to the maximised frame: $e2e_result"
  echo "maximised: $e2e_result"
  keep maximised
fi
echo "PASS"
