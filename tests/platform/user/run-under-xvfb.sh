#!/bin/sh
# Runs a command on a fresh Xvfb display: picks a free display number, starts
# the server, waits for it (bounded poll), runs the command, and stops the
# server it started.
set -u
display=""
n=90
while [ "$n" -lt 200 ]; do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
        display=":$n"
        break
    fi
    n=$((n + 1))
done
if [ -z "$display" ]; then
    echo "no free display" >&2
    exit 1
fi
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null' EXIT INT TERM
tries=0
until DISPLAY=$display xdpyinfo >/dev/null 2>&1; do
    tries=$((tries + 1))
    if [ "$tries" -gt 100 ] || ! kill -0 "$server" 2>/dev/null; then
        echo "Xvfb did not start on $display" >&2
        exit 1
    fi
    sleep 0.1
done
DISPLAY=$display QT_QPA_PLATFORM=xcb "$@"
