#!/usr/bin/env bash
# The scenario on Xfce's window manager, xfwm4, with its compositor, on a virtual X display.
#
# Usage: xfwm4.sh BUNDLE
set -euo pipefail
. "$(dirname "$0")/scenario.sh"
# xfwm4 keeps its settings in xfconfd, which the bus starts.
bus_services+=(org.xfce.Xfconf)

start_desktop() {
  desktop_requires xfwm4 hsetroot
  start_xvfb || return
  # The compositor draws windows over the root's picture; without one they show as black boxes.
  hsetroot -solid '#3b5c7a' >/dev/null 2>&1
  xfwm4 --compositor=on >"$work/xfwm4.log" 2>&1 &
  pids+=($!)
  await_start window_manager_runs || fail_step "xfwm4 did not start" || return
}
press_hot_key() { xdotool key F1; }

run_scenario "$@"
