#!/usr/bin/env bash
# Starting on a busy machine, as at login: two busy loops take both cores, and for each start a
# fresh display gets the launcher and the window manager at about the same time (the window
# manager never before the launcher). Every start must end with the panel up and holding the
# keyboard focus. Then, on the last display, a burst of wake-ups and Escapes must end as its last
# request says.
#
# Usage: start-under-load-under-xvfb.sh BUNDLE [STARTS]
set -euo pipefail

bundle=$1
starts=${2:-30}
executable="$bundle/Contents/MacOS/Quorvel Launcher 2"
. "$(dirname "$0")/common.sh"
use_private_bus "$@"
require_tools Xvfb openbox xdotool xprop dbus-send xmessage

start_in_scratch_home
export XDG_DATA_DIRS="$work/share"
mkdir -p "$HOME/Documents" "$XDG_DATA_DIRS/applications"
touch "$HOME/Documents/Mars Mission Plan.txt" "$HOME/Documents/Meeting Notes.md"
settle_as_a_later_start

for _ in 1 2; do
  (while :; do :; done) &
  pids+=($!)
done
launcher= window_manager= xvfb=
trap 'end_display; end_scratch_home' EXIT

# One display for one start; its server and window manager are ended by end_display.
new_display() {
  rm -f "$work/display"
  exec 3>"$work/display"
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset >/dev/null 2>&1 &
  xvfb=$!
  exec 3>&-
  await_start test -s "$work/display" || { echo "FAIL: the virtual display did not start"; exit 1; }
  export DISPLAY=":$(head -1 "$work/display")"
  await_start xdotool getmouselocation || { echo "FAIL: the virtual display does not answer"; exit 1; }
}
start_window_manager() {
  XDG_DATA_DIRS=/usr/local/share:/usr/share openbox >/dev/null 2>&1 &
  window_manager=$!
}
end_display() {
  local pid
  [ -z "$launcher" ] || { stop_launcher; kill -KILL "$launcher" 2>/dev/null || true; }
  for pid in $launcher $window_manager $xvfb; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  launcher= window_manager= xvfb=
}

# The panel is up with the focus once the window manager runs and has made it its active window
# (so it has managed the panel), and the X server's focus is on it.
panel_window() { xdotool search --onlyvisible --name '^Quorvel Launcher$' 2>/dev/null | head -1; }
panel_up_with_focus() {
  local panel
  panel=$(panel_window)
  [ -n "$panel" ] && window_manager_runs || return 1
  [ "$(xdotool getwindowfocus 2>/dev/null)" = "$panel" ] || return 1
  xprop -root _NET_ACTIVE_WINDOW 2>/dev/null | grep -qi "$(printf '0x%x' "$panel")"
}
panel_gone() { [ -z "$(panel_window)" ]; }
# Held: still so a second later (a wrong decision taken after the first look would show here).
panel_held() { panel_up_with_focus && sleep 1 && panel_up_with_focus; }
what_is_there() {
  local window
  echo "  focus: $(xdotool getwindowfocus getwindowname 2>/dev/null || echo none)," \
       "visible panel: $(panel_window || true), $(xprop -root _NET_ACTIVE_WINDOW 2>/dev/null || true)"
  for window in $(xdotool search --name '^Quorvel Launcher$' 2>/dev/null); do
    echo "  window $window: $(xwininfo -id "$window" 2>/dev/null | grep -o 'Map State: .*')," \
         "$(xprop -id "$window" WM_STATE 2>/dev/null | head -2 | tr '\n' ' ')"
  done
}

# Polls for at most that many seconds (checks that take a while themselves count their time).
await_for() {
  local end=$((SECONDS + $1))
  shift
  while [ "$SECONDS" -lt "$end" ]; do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}

passed=0
failed=0
for start in $(seq "$starts"); do
  : > "$work/launcher.log"
  new_display
  env QT_QPA_PLATFORM=xcb "$executable" >>"$work/launcher.log" 2>&1 &
  launcher=$!
  # The window manager comes at once or while the launcher is on its way up.
  case $((start % 3)) in
    1) ;;
    2) sleep 0.2 ;;
    0) sleep 0.6 ;;
  esac
  start_window_manager
  if await_for 20 panel_held; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "start $start: no panel with the focus"
    what_is_there
    sed 's/^/  | /' "$work/launcher.log"
  fi
  [ "$start" -eq "$starts" ] || end_display
done
echo "$passed of $starts starts showed the panel with the focus"
[ "$failed" -eq 0 ] || { echo "FAIL: $failed of $starts starts without the panel"; exit 1; }

# On the last display: another window in front, then bursts of wake-ups and Escapes as fast as
# they come. Which of them reaches the launcher last is its own affair (the bus and the display
# deliver them apart), so each burst is left to settle, and then one last request is made: the
# panel must end as it says, and stay so.
xmessage -geometry 400x150+40+40 "Another application" &
pids+=($!)
other_shown() { [ -n "$(xdotool search --onlyvisible --name '^xmessage$' 2>/dev/null)" ]; }
await_start other_shown || { echo "FAIL: the other window did not come"; exit 1; }
state() { echo "$(panel_window) $(xdotool getwindowfocus 2>/dev/null)"; }
# Settled: the same state over a second, and a panel that is up has the focus.
settled() {
  local before
  before=$(state)
  sleep 1
  [ "$(state)" = "$before" ] && { panel_gone || panel_up_with_focus; }
}
burst_failed() { echo "FAIL: burst $1: $2"; what_is_there; cat "$work/launcher.log"; exit 1; }
for round in 1 2 3; do
  for _ in 1 2 3 4 5; do
    wake_up
    xdotool key Escape 2>/dev/null || true
  done
  await_for 15 settled || burst_failed "$round" "did not settle with the panel either away or focused"
  wake_up
  await_for 15 panel_held || burst_failed "$round" "the wake-up after it left no panel with the focus"
  for _ in 1 2 3; do
    xdotool key Escape 2>/dev/null || true
    wake_up
  done
  await_for 15 settled || burst_failed "$round" "did not settle with the panel either away or focused"
  panel_gone || { xdotool key Escape; await panel_gone || burst_failed "$round" "Escape left the panel up"; }
  sleep 1
  panel_gone || burst_failed "$round" "the panel came back after its Escape"
done
end_display
echo "PASS: $starts of $starts starts under load showed the panel with the focus; bursts ended as asked"
