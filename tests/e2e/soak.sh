#!/bin/bash
# Soak: a seeded random run of user actions on the real explorer (clicks,
# drags and Alt zooms in the view, F5, corners and limits typed into the
# Coordinates window, garbage and huge values included, colours picked in
# the colour box, window resizes, View toggles, About, saves to good and bad
# paths). After each action the explorer must still run; every tenth, it must
# answer (F1 opens About, Escape closes it) and repaint what About covered
# exactly as it was. At the end it exits with 0 (under the sanitizers: no
# report), and its resident memory is within 20 % (or SOAK_MEMORY_GROWTH %)
# of what it was after the first 30 actions.
# Usage: soak.sh ZEMBRIX VIEW_MATCHES [ACTIONS [SEED]]
. "$(dirname "$0")/lib.sh"
actions=${3:-60}
seed=${4:-1}
RANDOM=$seed
start_display
# So that the sanitizer build's resident memory shows what the program keeps
# rather than the sanitizer's own records:
# - a small quarantine, and free pages handed back to the system soon;
# - allocation stacks taken by the unwinder that reads the unwind tables, 8
#   frames deep. The frame-pointer unwinder reads junk frames in Qt's and the
#   system's libraries (built without frame pointers), so nearly every stack
#   it takes is new to the sanitizer's store of stacks, which is never freed:
#   over 400 actions that store grew from 2 to 13 MB, with these options it
#   stays at 2 MB. True stacks also make a report's stacks readable.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=16:allocator_release_to_os_interval_ms=100:fast_unwind_on_malloc=0:malloc_context_size=8"
start_app "$1"
frame=$window
saves=$e2e_work/saves
mkdir "$saves"

# pos ID: the window's absolute top-left corner; size ID: its width and height.
pos() { xwininfo -id "$1" | awk '/Absolute upper-left X/ {x = $NF} /Absolute upper-left Y/ {y = $NF} END {print x, y}'; }
size() { xwininfo -id "$1" | awk '/Width:/ {w = $NF} /Height:/ {h = $NF} END {print w, h}'; }
rss_kb() { awk '/^VmRSS/ {print $2}' "/proc/$app/status"; }
up() { [ -n "$(window_named "$1")" ]; }
gone() { ! up "$1"; }
# rand LOW HIGH sets r, pick WORD... sets picked: never in a subshell, whose
# RANDOM would be seeded afresh, so that a seed gives the same run each time.
rand() { r=$((RANDOM % ($2 - $1 + 1) + $1)); }
pick() { shift $((RANDOM % $#)); picked=$1; }

# The view fills the frame's client area below the menu bar, inside the
# frame's 3-pixel border: at (3, 22), (frame width - 6) x (frame height - 25).
view_geometry() {
  read -r fw fh < <(size "$frame")
  vw=$((fw - 6))
  vh=$((fh - 25))
}
# A point in the view, below the tool windows (which sit at the frame's
# client origin and reach down to y = 121).
view_point() {
  rand 3 $((vw + 2)); px=$r
  rand 130 $((vh + 21)); py=$r
}
pointer_to_view() { xdotool mousemove $((vw / 2)) $((22 + vh - 20)); }

# ensure_tool TITLE MENU_Y: shows the tool window through the View menu and
# raises it above the other one (both open at the frame's client origin);
# sets tx, ty to its position.
ensure_tool() {
  if gone "^$1\$"; then
    menu_pick 50 "$2"
    if ! wait_for 100 up "^$1\$"; then
      # The pick toggled a window that was in fact still shown (or the click
      # was not seen): pick it once more.
      lost_picks=$((lost_picks + 1))
      menu_pick 50 "$2"
    fi
    wait_window "^$1\$"
  fi
  local tool
  tool=$(window_named "^$1\$")
  xdotool windowraise "$tool"
  read -r tx ty < <(pos "$tool")
}

corner_texts=(-2 -1.35 1 1.35 0.25 -0.75 0 -0 1e308 -1e308 1e-320 inf -inf nan abc 1.5abc "  2e-3" 9e99999 "" 0x1p3 -0.7453 0.1127 3.0000000000000004)
limit_texts=(1 2 10 50 100 200 300 0 abc -5 99999999999 "" 4294967296 " 150")
type_corner() {
  ensure_tool Coordinates 30
  local fields=("110 20" "285 20" "110 45" "285 45" "128 78")
  local field text
  pick "${fields[@]}"; field=$picked
  if [ "$field" = "128 78" ]; then pick "${limit_texts[@]}"; else pick "${corner_texts[@]}"; fi
  text=$picked
  read -r fx fy <<< "$field"
  what="type '$text' at $field of Coordinates, Update"
  xdotool mousemove $((tx + fx)) $((ty + fy)) click 1 key ctrl+a
  [ -n "$text" ] && xdotool type --delay 5 -- "$text"
  [ -z "$text" ] && xdotool key BackSpace
  xdotool mousemove $((tx + 282)) $((ty + 78)) click 1
}

pick_colour() {
  ensure_tool Colors 52
  local swatch_y
  pick 21 51 81; swatch_y=$picked
  local colour
  printf -v colour '#%02x%02x%02x' $((RANDOM % 256)) $((RANDOM % 256)) $((RANDOM % 256))
  xdotool mousemove $((tx + 104)) $((ty + swatch_y)) click 1
  # The computation a resize asks for runs a moment after it; when it ends
  # the frame is raised with its tool windows, and the other tool window can
  # then lie over this one where it was clicked. That is counted, the window
  # raised again and clicked again; a second miss fails.
  if ! wait_for 50 up '^Select Color$'; then
    lost_clicks=$((lost_clicks + 1))
    echo "note: the swatch click opened no colour box the first time"
    ensure_tool Colors 52
    xdotool mousemove $((tx + 104)) $((ty + swatch_y)) click 1
  fi
  wait_for 300 up '^Select Color$' || {
    shot "${SOAK_FAILURE_SHOT:-$e2e_work/failure.png}"
    fail "no colour box from the swatch at ($((tx + 104)), $((ty + swatch_y)))"
  }
  window=$(window_named '^Select Color$')
  local box=$window bx by
  read -r bx by < <(pos "$box")
  if [ $((RANDOM % 4)) -eq 0 ]; then
    what="colour box for swatch at y $swatch_y cancelled"
    xdotool mousemove $((bx + 477)) $((by + 381)) click 1  # its Cancel button
  else
    what="colour $colour for swatch at y $swatch_y"
    # The box's "HTML:" field; Enter takes its colour and presses OK.
    xdotool mousemove $((bx + 419)) $((by + 346)) click 1 key ctrl+a
    xdotool type --delay 5 -- "$colour"
    xdotool key Return
  fi
  # Without a window manager the box's key can be lost like F1: counted, the
  # focus given to the box and Escape sent; a second miss fails.
  if ! wait_for 100 gone '^Select Color$'; then
    lost_keys=$((lost_keys + 1))
    echo "note: the colour box did not close the first time ($what)"
    xdotool windowfocus "$box" key Escape
    wait_for 100 gone '^Select Color$' || fail "the colour box did not close ($what)"
  fi
}

save_image() {
  local target
  pick "$saves/s$i.bmp" "$saves/s$i" "/nonexistent/folder/s$i.bmp" "$saves/"; target=$picked
  what="save to $target"
  menu_pick 15 30
  wait_window '^Save Image As\.\.\.$'
  read -r bx by < <(pos "$window")
  # Its "File name" field; without a window manager a click gives it the keys.
  xdotool mousemove $((bx + 310)) $((by + 358)) click 1
  xdotool type --delay 5 -- "$target"
  xdotool key Return
  # A name the box does not take leaves it open (or puts up a message box,
  # or its completion list): Escape and the box's Cancel close what is left.
  local tries
  for tries in 1 2 3 4; do
    wait_for 20 gone '^Save Image As' && break
    xdotool key Escape
    wait_for 5 gone '^Save Image As' && break
    xdotool mousemove $((bx + 572)) $((by + 388)) click 1
  done
  gone '^Save Image As' || {
    shot "${SOAK_FAILURE_SHOT:-$e2e_work/failure.png}"
    fail "the save box did not close ($what)"
  }
  case $target in
    "$saves/s$i.bmp" | "$saves/s$i")
      local file=$saves/s$i.bmp
      wait_for 50 test -s "$file" || fail "no file from $what"
      view_geometry
      [ "$(identify -format '%wx%h' "$file")" = "${vw}x$vh" ] || fail "$file is not $vw x $vh"
      ;;
  esac
}

# answers: F1 opens About and Escape closes it, and the view is repainted
# under it exactly as it was.
about_cycle() {
  pointer_to_view
  xdotool key F1
  # Without a window manager nobody gives the keyboard focus back now and
  # then after a dialog closes, and the key goes nowhere: that is counted and
  # reported, and after the focus is given to the frame (as a window manager
  # would) a second miss fails.
  if ! wait_for 50 up '^About'; then
    lost_keys=$((lost_keys + 1))
    echo "note: F1 not taken the first time (after $what)"
    xdotool windowfocus "$frame"
    wait_for 20 eval '[ "$(xdotool getwindowfocus)" = "$frame" ]'
    xdotool key F1
    wait_for 300 up '^About' || {
      shot "${SOAK_FAILURE_SHOT:-$e2e_work/failure.png}"
      fail "F1 opened no About (after $what)"
    }
  fi
  read -r bx by < <(pos "$(window_named '^About')")
  xdotool mousemove $((bx + 20)) $((by + 20)) key Escape
  wait_for 100 gone '^About' || fail "Escape did not close About (after $what)"
}
answers() {
  about_cycle
  view_geometry
  shot "$e2e_work/before.ppm" "${vw}x$vh+3+22"
  about_cycle
  repainted() {
    shot "$e2e_work/after.ppm" "${vw}x$vh+3+22" &&
      [ "$(compare -metric AE "$e2e_work/before.ppm" "$e2e_work/after.ppm" null: 2>&1)" = 0 ]
  }
  wait_for 50 repainted || fail "the view was not repainted as it was after About (after $what)"
}

# rss: the resident memory with the frame at its start-up size: the picture's
# buffers grow with the view, so both measurements are taken at one size.
rss_at_start_size() {
  xdotool windowsize "$frame" 550 300
  wait_for 100 eval '[ "$(size "$frame")" = "550 300" ]' || fail "the frame did not take 550 x 300"
  answers
  rss=$(rss_kb)
}

lost_keys=0
lost_clicks=0
lost_picks=0
view_shows "$2" 550 300 || fail "no start-up picture: $e2e_result"
for ((i = 1; i <= actions; i++)); do
  view_geometry
  rand 0 11
  case $r in
    0 | 1)
      view_point
      what="click at ($px, $py)"
      xdotool mousemove "$px" "$py" click 1
      ;;
    2)
      view_point
      rand 0 $((vw + 50)); qx=$r
      rand 0 $((vh + 60)); qy=$r
      what="drag from ($px, $py) to ($qx, $qy)"
      xdotool mousemove "$px" "$py" mousedown 1 mousemove $(((px + qx) / 2)) $(((py + qy) / 2)) \
        mousemove "$qx" "$qy" mouseup 1
      ;;
    3)
      view_point
      what="Alt release at ($px, $py)"
      xdotool mousemove "$px" "$py" mousedown 1 keydown alt mouseup 1 keyup alt
      ;;
    4)
      what="F5"
      pointer_to_view
      xdotool key F5
      ;;
    5 | 6) type_corner ;;
    7) pick_colour ;;
    8)
      rand 250 900; w=$r
      rand 250 700; h=$r
      what="resize to $w x $h"
      xdotool windowsize "$frame" "$w" "$h"
      ;;
    9)
      pick 30 52
      what="View toggle at y $picked"
      menu_pick 50 "$picked"
      ;;
    10)
      what="About"
      about_cycle
      ;;
    11) save_image ;;
  esac
  echo "action $i: $what"
  kill -0 "$app" 2> /dev/null || fail "the explorer ended at action $i ($what)"
  [ $((i % ${SOAK_PROBE_EVERY:-10})) -eq 0 ] && answers
  [ "$i" -eq 30 ] && { rss_at_start_size; rss30=$rss; echo "resident memory after 30 actions: $rss30 kB"; }
done
rss_at_start_size
rss_end=$rss
echo "resident memory after $actions actions: $rss_end kB"
# SOAK_MEMORY_GROWTH: the growth allowed, in percent (by hand only).
growth=${SOAK_MEMORY_GROWTH:-20}
if [ -n "${rss30:-}" ] && [ $((rss_end * 100)) -gt $((rss30 * (100 + growth))) ]; then
  fail "resident memory grew from $rss30 kB to $rss_end kB"
fi
pointer_to_view
menu_pick 15 75  # File > Exit
expect_exit 0
echo "PASS: $actions actions (seed $seed), $lost_keys first F1 presses and $lost_clicks first swatch clicks and $lost_picks first tool window picks not seen"
