# Sourced by the end-to-end scripts, the one set-up of a real display for
# every test that needs one: a fresh Xvfb display (under a window manager when
# asked), the explorer on it, bounded polls, screenshots, and a cleanup trap
# that ends every process started here, whatever happens.
#
# The display number comes from Xvfb itself (-displayfd), so concurrent tests
# never race for one; the display counts as up only once a client can connect
# (xdpyinfo), since Xvfb writes the number before it accepts connections.
# -noreset: by default the server resets when its last client disconnects, and
# a client connecting during that reset (the explorer, right after the
# xdpyinfo probe) is refused.
set -u
e2e_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
e2e_work=$(mktemp -d)
e2e_pids=()
e2e_cleanup() {
  local i
  for ((i = ${#e2e_pids[@]} - 1; i >= 0; i--)); do
    kill "${e2e_pids[i]}" 2> /dev/null
    wait "${e2e_pids[i]}" 2> /dev/null
  done
  rm -rf "$e2e_work"
}
trap e2e_cleanup EXIT
# A CTest timeout or Ctrl-C ends the script through the EXIT trap too.
trap 'exit 143' TERM
trap 'exit 130' INT
fail() {
  echo "FAIL: $*"
  exit 1
}
skip() {
  echo "SKIPPED: $*"
  exit 77
}

# wait_for TRIES COMMAND...: runs COMMAND every 0.1 s until it succeeds, at
# most TRIES times.
wait_for() {
  local tries=$1
  shift
  for ((; tries > 0; tries--)); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

e2e_display_file_ready() { [ -s "$e2e_work/display" ] || ! kill -0 "$e2e_xvfb" 2> /dev/null; }
e2e_wm_ready() {
  xprop -root _NET_SUPPORTING_WM_CHECK 2> /dev/null | grep -q 'window id' || ! kill -0 "$e2e_wm" 2> /dev/null
}

# start_display [openbox|jwm]: a 1024 x 768 x 24 display in DISPLAY, under
# that window manager (default: $E2E_WM, else none); skips (77) when a tool is
# missing or the display does not come up. With e2e_dpi set (192), a
# 1920 x 1200 display of that density that asks for it as desktops do, with
# Xft.dpi in the root window's resources.
start_display() {
  local tool wm=${1:-${E2E_WM:-}}
  for tool in Xvfb xdotool import xdpyinfo ${wm/weston/}; do
    command -v "$tool" > /dev/null || skip "$tool is not installed"
  done
  local screen=1024x768x24
  [ -z "${e2e_dpi:-}" ] || screen="1920x1200x24 -dpi $e2e_dpi"
  # shellcheck disable=SC2086
  Xvfb -displayfd 3 -screen 0 $screen -nolisten tcp -noreset 3> "$e2e_work/display" 2> "$e2e_work/xvfb.log" &
  e2e_xvfb=$!
  e2e_pids+=("$e2e_xvfb")
  wait_for 600 e2e_display_file_ready
  [ -s "$e2e_work/display" ] || { cat "$e2e_work/xvfb.log"; skip "Xvfb did not start"; }
  export DISPLAY=":$(tr -d '[:space:]' < "$e2e_work/display")"
  wait_for 600 xdpyinfo > /dev/null 2>&1 || skip "$DISPLAY accepts no connection"
  [ -z "${e2e_dpi:-}" ] ||
    xprop -root -f RESOURCE_MANAGER 8s -set RESOURCE_MANAGER "Xft.dpi:	$e2e_dpi" ||
    skip "no resources on $DISPLAY"
  export XDG_RUNTIME_DIR="$e2e_work/runtime"
  mkdir -m 700 "$XDG_RUNTIME_DIR"
  # The explorer chooses X11 itself wherever DISPLAY reaches a server.
  unset QT_QPA_PLATFORM
  case "$wm" in
    openbox) openbox --sm-disable > "$e2e_work/wm.log" 2>&1 & ;;
    jwm) jwm -f "$(dirname "${BASH_SOURCE[0]}")/jwmrc" > "$e2e_work/wm.log" 2>&1 & ;;
    weston)
      start_weston xwayland
      return 0
      ;;
    *) return 0 ;;
  esac
  e2e_wm=$!
  e2e_pids+=("$e2e_wm")
  wait_for 600 e2e_wm_ready
  kill -0 "$e2e_wm" 2> /dev/null || { cat "$e2e_work/wm.log"; skip "$wm did not start"; }
}

# as_user COMMAND...: runs COMMAND as the user nobody (65534, no groups) when
# the tests run as root, as CI does (sway refuses root), else as the user
# running them.
# ("${e2e_as_user[@]}" is the same as a prefix, for exec.)
e2e_as_user=()
[ "$(id -u)" -ne 0 ] || e2e_as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
as_user() { "${e2e_as_user[@]}" "$@"; }

# start_sway ZEMBRIX: sway on the display start_display brought up, through
# its X11 backend with the pixman renderer: the X server's pointer and
# keyboard, which xdotool drives, are sway's seat as a user's devices are,
# and sway's one output is the X screen (1024 x 768, at its corner). Runs as
# as_user, in a runtime folder of that user; screenshots then come from sway
# itself (grim). Skips (77) when a tool is missing or that user cannot run
# ZEMBRIX (a folder on its path closed to others).
start_sway() {
  local tool
  for tool in sway swaymsg grim setpriv; do
    command -v "$tool" > /dev/null || skip "$tool is not installed"
  done
  as_user test -x "$1" || skip "the user of the compositor cannot run $1"
  chmod 755 "$e2e_work"
  export XDG_RUNTIME_DIR="$e2e_work/sway"
  mkdir -m 700 "$XDG_RUNTIME_DIR"
  [ "$(id -u)" -ne 0 ] || chown 65534:65534 "$XDG_RUNTIME_DIR"
  WLR_BACKENDS=x11 WLR_RENDERER=pixman WLR_X11_OUTPUTS=1 \
    as_user sway -c "$e2e_dir/sway.config" > "$e2e_work/sway.log" 2>&1 &
  e2e_sway=$!
  e2e_pids+=("$e2e_sway")
  wait_for 300 e2e_sway_ready
  [ -n "${SWAYSOCK:-}" ] || { tail -n 20 "$e2e_work/sway.log"; skip "sway did not start"; }
  e2e_compositor=sway
}
e2e_sway_ready() {
  local socket display
  socket=$(ls "$XDG_RUNTIME_DIR"/sway-ipc.*.sock 2> /dev/null | head -n 1)
  display=$(cd "$XDG_RUNTIME_DIR" && ls wayland-* 2> /dev/null | grep -v lock | head -n 1)
  [ -n "$socket" ] && [ -n "$display" ] && export SWAYSOCK=$socket WAYLAND_DISPLAY=$display &&
    as_user swaymsg -t get_version > /dev/null 2>&1 && return 0
  ! kill -0 "$e2e_sway" 2> /dev/null
}
# sway_tree: the names and app ids of the windows sway has now, one a line.
sway_tree() {
  as_user swaymsg -t get_tree 2> /dev/null | sed -nE 's/^ *"(name|app_id)": "(.*)",?$/\1 \2/p'
}

# start_weston [xwayland]: weston with the pixman renderer and its debug
# protocol, which lets weston-screenshooter photograph the output
# (1024 x 768): what the user sees, which X's screen of XWayland is not. A
# Wayland session as desktops start one: XDG_SESSION_TYPE=wayland and
# WAYLAND_DISPLAY, with xwayland also the DISPLAY of weston's XWayland (an X
# server and weston's own X11 window manager), else no DISPLAY. Headless,
# unless start_display has brought up an Xvfb display (start_display
# weston calls it so, with xwayland; a Wayland-only session calls
# start_display first): then weston runs on it through its X11 backend,
# and xdotool's input reaches weston's seat through that display (XWayland
# itself takes no synthetic input). Skips (77) when a tool is missing or
# weston does not start.
start_weston() {
  local tool
  for tool in weston weston-screenshooter xdotool convert ${1:+Xwayland}; do
    command -v "$tool" > /dev/null || skip "$tool is not installed"
  done
  export XDG_RUNTIME_DIR="$e2e_work/runtime"
  mkdir -p -m 700 "$XDG_RUNTIME_DIR" "$e2e_work/shots"
  local options=()
  if [ -n "${1:-}" ]; then
    # XWayland's socket lives where every X server's does.
    mkdir -p -m 1777 /tmp/.X11-unix 2> /dev/null
    [ -d /tmp/.X11-unix ] || skip "no /tmp/.X11-unix for XWayland"
    options=(--xwayland)
  fi
  local backend=headless-backend.so
  if [ -n "${DISPLAY:-}" ]; then
    backend=x11-backend.so
    e2e_seat=$DISPLAY
  fi
  weston --backend=$backend --use-pixman --debug --width=1024 --height=768 \
    --socket=zembrix-e2e -c "$e2e_dir/weston.ini" "${options[@]}" \
    > "$e2e_work/weston.log" 2>&1 &
  e2e_weston=$!
  e2e_pids+=("$e2e_weston")
  wait_for 300 e2e_weston_ready && kill -0 "$e2e_weston" 2> /dev/null ||
    { tail -n 20 "$e2e_work/weston.log"; skip "weston did not start"; }
  export WAYLAND_DISPLAY=zembrix-e2e XDG_SESSION_TYPE=wayland
  unset DISPLAY QT_QPA_PLATFORM
  if [ -n "${1:-}" ]; then
    export DISPLAY
    DISPLAY=$(sed -nE 's/.*xserver listening on display (:[0-9]+).*/\1/p' "$e2e_work/weston.log" | head -n 1)
    # Weston starts XWayland at the first connection.
    wait_for 300 xdpyinfo > /dev/null 2>&1 || skip "XWayland on $DISPLAY accepts no connection"
  fi
  if [ -n "${e2e_seat:-}" ]; then
    # The X11 backend moves weston's pointer by the X pointer's motion, the
    # first event only placing it: two moves put both at the corner, and
    # after that they go together.
    xdotool mousemove 1 1
    xdotool mousemove 0 0
  fi
  e2e_compositor=weston
}
# xdotool: the input commands go to weston's seat when start_weston set one
# up, everything else (search, window properties, window manager requests)
# to DISPLAY. There a move (mousemove X Y, first in the line) is waited for
# until XWayland has the pointer there: a click that came with it would
# reach XWayland before the pointer entered its window, and be lost.
e2e_pointer_at() { DISPLAY=${DISPLAY:-$e2e_seat} command xdotool getmouselocation 2> /dev/null | grep -q "^x:$1 y:$2 "; }
xdotool() {
  if [ -n "${e2e_seat:-}" ] && [ "$1" = mousemove ]; then
    DISPLAY=$e2e_seat command xdotool mousemove "$2" "$3" || return
    wait_for 50 e2e_pointer_at "$2" "$3"
    shift 3
    [ $# -eq 0 ] || DISPLAY=$e2e_seat command xdotool "$@"
    return
  fi
  case "$1" in
    mousemove | click | mousedown | mouseup | key | keydown | keyup | type)
      DISPLAY=${e2e_seat:-$DISPLAY} command xdotool "$@" ;;
    *) command xdotool "$@" ;;
  esac
}
e2e_weston_ready() {
  [ -S "$XDG_RUNTIME_DIR/zembrix-e2e" ] &&
    { [ ${#options[@]} -eq 0 ] || grep -q 'xserver listening' "$e2e_work/weston.log"; } &&
    (cd "$e2e_work/shots" && WAYLAND_DISPLAY=zembrix-e2e weston-screenshooter > /dev/null 2>&1) &&
    rm -f "$e2e_work"/shots/*.png && return 0
  ! kill -0 "$e2e_weston" 2> /dev/null
}
# weston_window: "W H X Y" of what stands out from weston's background (the
# windows on the output, their frames and shadows included), from $1.ppm.
# With a seat, weston draws the pointer too: a test parks it at the output's
# corner, and the corner's 32 x 32 pixels are taken as background (a window
# there still reaches the edges beside them).
weston_window() {
  convert "$1" ${e2e_seat:+-fill '#336699' -draw 'rectangle 0,0 31,31'} -trim \
    -format '%w %h %[fx:page.x] %[fx:page.y]' info:
}

# client_geometry WINDOW: "X Y W H" of the window's own area on the screen
# (inside the window manager's frame).
client_geometry() {
  xwininfo -id "$1" | sed -nE 's/.*Absolute upper-left X: +(-?[0-9]+)/\1/p; s/.*Absolute upper-left Y: +(-?[0-9]+)/\1/p; s/.*Width: +([0-9]+)/\1/p; s/.*Height: +([0-9]+)/\1/p' | tr '\n' ' '
}
# outer_geometry WINDOW: "X Y W H" of the window with the frame the window
# manager declares around it (_NET_FRAME_EXTENTS: left, right, top, bottom).
outer_geometry() {
  local x y w h l=0 r=0 t=0 b=0 e
  read -r x y w h < <(client_geometry "$1")
  e=$(xprop -id "$1" _NET_FRAME_EXTENTS 2> /dev/null | sed -nE 's/.*= ([0-9]+), ([0-9]+), ([0-9]+), ([0-9]+)/\1 \2 \3 \4/p')
  [ -n "$e" ] && read -r l r t b <<< "$e"
  echo "$((x - l)) $((y - t)) $((w + l + r)) $((h + t + b))"
}

# window_named REGEX: the id of the first visible window with that title.
window_named() {
  xdotool search --onlyvisible --name "$1" 2> /dev/null | head -n 1
}
e2e_window_up() {
  e2e_found=$(window_named "$1")
  [ -n "$e2e_found" ] || ! kill -0 "$app" 2> /dev/null
}
# wait_window REGEX: sets $window to it within 30 s, or fails.
wait_window() {
  e2e_found=""
  wait_for 300 e2e_window_up "$1"
  [ -n "$e2e_found" ] || fail "no window named $1"
  window=$e2e_found
}

# start_app ZEMBRIX: runs the explorer in $e2e_work, sets $app and $window,
# and the frame's own area (menu bar and view, inside the window manager's
# frame): frame_x, frame_y, frame_w, frame_h; the menu and the screenshots
# of the view are taken there. With E2E_LOCALE set (de_DE.UTF-8), the
# explorer runs in that locale, generated into $e2e_work (no system change).
start_app() {
  local locale=()
  if [ -n "${E2E_LOCALE:-}" ]; then
    mkdir -p "$e2e_work/locale"
    localedef -i "${E2E_LOCALE%%.*}" -f "${E2E_LOCALE#*.}" "$e2e_work/locale/$E2E_LOCALE" > /dev/null 2>&1
    [ -d "$e2e_work/locale/$E2E_LOCALE" ] || fail "cannot generate the locale $E2E_LOCALE"
    locale=(env "LOCPATH=$e2e_work/locale" "LC_ALL=$E2E_LOCALE" "LANG=$E2E_LOCALE")
  fi
  (cd "$e2e_work" && exec "${locale[@]}" "$1") &
  app=$!
  e2e_pids+=("$app")
  wait_window '^Zembrix$'
  read -r frame_x frame_y frame_w frame_h < <(client_geometry "$window")
  e2e_at="+$frame_x+$frame_y"
  menu_dx=$frame_x
  menu_dy=$frame_y
}

# shot FILE [GEOMETRY]: a PPM screenshot of the screen, or of WxH+X+Y of it:
# from the X server, or from the compositor start_sway started (there the
# X screen shows what sway drew, but grim asks sway itself).
shot() {
  if [ "${e2e_compositor:-}" = weston ]; then
    rm -f "$e2e_work"/shots/*.png
    (cd "$e2e_work/shots" && weston-screenshooter > /dev/null 2>&1) || return 1
    convert "$e2e_work"/shots/*.png -alpha off ${2:+-crop "$2" +repage} -depth 8 "ppm:$1" 2> /dev/null
    return
  fi
  if [ "${e2e_compositor:-}" = sway ]; then
    local g=${2:-}
    [ -z "$g" ] || g=$(echo "$g" | sed -E 's/^([0-9]+)x([0-9]+)\+(-?[0-9]+)\+(-?[0-9]+)$/\3,\4 \1x\2/')
    as_user grim -t ppm ${g:+-g "$g"} - > "$1" 2> /dev/null
    return
  fi
  import -window root ${2:+-crop "$2"} -depth 8 "ppm:$1" 2> /dev/null
}

# view_shows MATCHES FW FH [GESTURE...]: true once the frame's view shows the
# picture view_matches expects (polled for 15 s); its verdict in $e2e_result.
# The frame's window is taken at the screen's corner, or at $e2e_at ("+X+Y").
view_shows() {
  local matches=$1
  shift
  wait_for 60 e2e_match "$matches" "$@"
}
e2e_match() {
  local matches=$1
  shift
  shot "$e2e_work/view.ppm" "${1}x${2}${e2e_at:-+0+0}" && e2e_result=$("$matches" "$e2e_work/view.ppm" "$@")
}

# expect_exit CODE: waits (10 s) for the explorer to end, with that code.
e2e_app_gone() { ! kill -0 "$app" 2> /dev/null; }
expect_exit() {
  wait_for 100 e2e_app_gone || fail "the explorer did not end"
  local status=0
  wait "$app" || status=$?
  [ "$status" -eq "$1" ] || fail "exit code $status, expected $1"
}

# menu_pick BAR_X ITEM_Y: clicks the frame's menu bar title at x = BAR_X (the
# bar is the frame's top 17 pixels; the frame's client area is at the screen's
# corner, or at menu_dx, menu_dy when those are set), waits for its popup
# and clicks the item whose row is at screen y = ITEM_Y (rows of 22 pixels
# from y = 30 in the default font: File has Save Image... 30, Exit 75; View
# has Coordinates Window 30, Colors Window 52).
# The popup is a visible window that was not visible before the click (a
# count would miss it when another window goes away meanwhile).
e2e_popup_open() {
  xdotool search --onlyvisible --name '' 2> /dev/null | grep -vxF -e 0 $e2e_visible | grep -q .
}
menu_pick() {
  e2e_visible=$(xdotool search --onlyvisible --name '' 2> /dev/null | sed 's/^/-e /')
  local dx=${menu_dx:-0} dy=${menu_dy:-0}
  xdotool mousemove $((dx + $1)) $((dy + 8)) click 1
  # A click that comes during a computation waits for it (under the sanitizer
  # build, on a loaded machine, that can take seconds).
  wait_for 300 e2e_popup_open || fail "no menu popup at x = $1"
  xdotool mousemove $((dx + $1 + 30)) $((dy + $2)) click 1
}
