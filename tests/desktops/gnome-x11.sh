#!/usr/bin/env bash
# The scenario on GNOME's shell as an X11 window manager (gnome-shell --x11), on a virtual X
# display with software GL.
#
# Usage: gnome-x11.sh BUNDLE
set -euo pipefail
. "$(dirname "$0")/scenario.sh"
. "$(dirname "$0")/gnome-shell.sh"
export XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_DESKTOP=gnome

start_desktop() {
  desktop_requires gnome-shell dbus-send
  start_private_system_bus
  start_xvfb || return
  XDG_SESSION_TYPE=x11 gnome-shell --x11 --replace >"$work/gnome-shell.log" 2>&1 &
  pids+=($!)
  await_start window_manager_runs || fail_step "gnome-shell did not start" || return
  leave_the_overview || return
}

press_hot_key() { xdotool key F1; }

run_scenario "$@"
