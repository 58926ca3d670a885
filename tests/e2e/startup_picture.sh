#!/bin/bash
# End to end: starts the real explorer on a fresh Xvfb display, waits (bounded)
# until its view shows exactly the default picture the engine computes for the
# view's size, checks that the frame opened at (0, 0) with the outer size
# 550 x 300, closes it with Alt+F4 and expects exit code 0.
# Usage: startup_picture.sh ZEMBRIX VIEW_MATCHES
set -u
zembrix=$1
matches=$2
work=$(mktemp -d)
server=""
app=""
cleanup() {
  [ -n "$app" ] && kill "$app" 2>/dev/null
  [ -n "$server" ] && kill "$server" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
server=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(cat "$work/display")"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM

"$zembrix" &
app=$!
window=""
for _ in $(seq 200); do
  window=$(xdotool search --onlyvisible --name '^Zembrix$' 2>/dev/null | head -n 1)
  [ -n "$window" ] && break
  kill -0 "$app" 2>/dev/null || fail "the explorer ended early"
  sleep 0.1
done
[ -n "$window" ] || fail "no Zembrix window"

geometry=$(xdotool getwindowgeometry "$window")
echo "$geometry"
echo "$geometry" | grep -q 'Position: 0,0' || fail "the frame is not at (0, 0)"
echo "$geometry" | grep -q 'Geometry: 550x300' || fail "the frame is not 550 x 300"

matched=""
for _ in $(seq 60); do
  import -window root -crop 550x300+0+0 -depth 8 "ppm:$work/shot.ppm" 2>/dev/null
  if "$matches" "$work/shot.ppm" 550 300 >"$work/result"; then
    matched=yes
    break
  fi
  sleep 0.25
done
cat "$work/result"
[ -n "$matched" ] || fail "the view does not show the default picture"

xdotool key alt+F4
for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app" 2>/dev/null && fail "Alt+F4 did not end the explorer"
wait "$app"
status=$?
app=""
[ "$status" -eq 0 ] || fail "exit code $status"
echo "PASS"
