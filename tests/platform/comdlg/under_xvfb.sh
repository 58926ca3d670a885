#!/usr/bin/env bash
# Runs a command on a virtual X display of its own, with a window manager:
# starts Xvfb on a free display (Xvfb picks it), waits for it and for openbox
# with bounded polls, runs the command with DISPLAY set, and stops both
# afterwards, whatever happens. Exits with the command's status, or 77 (a
# skip to CTest) when a tool is missing. Listing GoogleTest cases needs no
# display and runs the command directly.
set -u
for arg in "$@"; do
  if [[ $arg == --gtest_list_tests ]]; then exec "$@"; fi
done
for tool in Xvfb openbox xdotool xprop xdpyinfo; do
  if ! command -v "$tool" > /dev/null; then
    echo "under_xvfb: $tool is not installed; skipped"
    exit 77
  fi
done

work=$(mktemp -d)
xvfb_pid=""
wm_pid=""
cleanup() {
  stop_display
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "under_xvfb: $1"
  [[ -f $work/xvfb.log ]] && cat "$work/xvfb.log"
  [[ -f $work/openbox.log ]] && cat "$work/openbox.log"
  exit 1
}

# Polls `condition` every 50 ms for at most 60 s (the machine may be busy).
wait_for() {
  local condition=$1
  for _ in $(seq 1 1200); do
    if eval "$condition"; then return 0; fi
    sleep 0.05
  done
  return 1
}

stop_display() {
  [[ -n $wm_pid ]] && kill "$wm_pid" 2> /dev/null && wait "$wm_pid" 2> /dev/null
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2> /dev/null && wait "$xvfb_pid" 2> /dev/null
  wm_pid=""
  xvfb_pid=""
}

# Starts Xvfb and openbox; false (with the reason in $reason) when either
# does not come up or goes away meanwhile.
start_display() {
  rm -f "$work/display"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3> "$work/display" 2> "$work/xvfb.log" &
  xvfb_pid=$!
  wait_for '[[ -s $work/display ]] || ! kill -0 $xvfb_pid 2> /dev/null' || { reason="Xvfb did not start"; return 1; }
  [[ -s $work/display ]] || { reason="Xvfb stopped"; return 1; }
  export DISPLAY=":$(tr -d '[:space:]' < "$work/display")"
  wait_for 'xdpyinfo > /dev/null 2>&1 || ! kill -0 $xvfb_pid 2> /dev/null' || { reason="$DISPLAY does not answer"; return 1; }
  openbox --sm-disable > "$work/openbox.log" 2>&1 &
  wm_pid=$!
  wait_for 'xprop -root _NET_SUPPORTING_WM_CHECK 2> /dev/null | grep -q "window id" || ! kill -0 $wm_pid 2> /dev/null' ||
    { reason="openbox did not start"; return 1; }
  kill -0 "$xvfb_pid" 2> /dev/null || { reason="Xvfb went away"; return 1; }
  kill -0 "$wm_pid" 2> /dev/null || { reason="openbox stopped"; return 1; }
  return 0
}

# A display that goes away while starting (the machine is shared) is tried
# again, three times at most.
reason=""
started=""
for attempt in 1 2 3; do
  if start_display; then
    started=yes
    break
  fi
  echo "under_xvfb: attempt $attempt: $reason"
  stop_display
done
# A display that cannot be brought up at all is the machine's failure, not the
# test's: the test did not run, and CTest reports it as skipped with the reason.
if [[ -z $started ]]; then
  echo "under_xvfb: no display ($reason); skipped"
  [[ -f $work/openbox.log ]] && cat "$work/openbox.log"
  exit 77
fi

export QT_QPA_PLATFORM=xcb
"$@"
status=$?
exit "$status"
