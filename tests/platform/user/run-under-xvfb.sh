#!/bin/sh
# Runs a command on a fresh Xvfb display: starts the server (and, with
# --wm openbox|jwm, that window manager), waits for it (bounded polls),
# runs the command, and stops what it started.
set -u
wm=""
if [ "${1:-}" = --wm ]; then
    wm=$2
    shift 2
fi
# The display number comes from Xvfb itself (-displayfd): concurrent runs
# never race for one.
work=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 &
server=$!
manager=""
trap 'kill $manager "$server" 2>/dev/null; wait $manager "$server" 2>/dev/null; rm -rf "$work"' EXIT INT TERM
tries=0
until [ -s "$work/display" ] && DISPLAY=":$(cat "$work/display")" xdpyinfo >/dev/null 2>&1; do
    tries=$((tries + 1))
    if [ "$tries" -gt 100 ] || ! kill -0 "$server" 2>/dev/null; then
        echo "Xvfb did not start" >&2
        exit 1
    fi
    sleep 0.1
done
display=":$(cat "$work/display")"
case "$wm" in
    openbox) DISPLAY=$display openbox --sm-disable >/dev/null 2>&1 & manager=$! ;;
    jwm) DISPLAY=$display jwm -f "$(dirname "$0")/../../e2e/jwmrc" >/dev/null 2>&1 & manager=$! ;;
    "") ;;
    *) echo "unknown window manager $wm" >&2; exit 1 ;;
esac
if [ -n "$manager" ]; then
    tries=0
    until DISPLAY=$display xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
        tries=$((tries + 1))
        if [ "$tries" -gt 100 ] || ! kill -0 "$manager" 2>/dev/null; then
            echo "$wm did not start on $display" >&2
            exit 1
        fi
        sleep 0.1
    done
fi
DISPLAY=$display QT_QPA_PLATFORM=xcb "$@"
