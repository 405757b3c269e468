#!/usr/bin/env bash
# The scenario on GNOME's shell as an X11 window manager (gnome-shell --x11), on a virtual X
# display with software GL.
#
# Usage: gnome-x11.sh BUNDLE
set -euo pipefail
. "$(dirname "$0")/scenario.sh"
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

# The shell starts in the overview, which holds the keyboard: one Escape, as a user would press,
# once the shell says the overview is up; the shell's own property says when it has gone.
overview_active() {
  dbus-send --session --print-reply --dest=org.gnome.Shell /org/gnome/Shell \
    org.freedesktop.DBus.Properties.Get string:org.gnome.Shell string:OverviewActive 2>/dev/null | grep -q "boolean $1"
}
leave_the_overview() {
  await_start overview_active true || overview_active false || fail_step "the shell never said where its overview is" || return
  for _ in 1 2 3 4 5; do
    overview_active false && return 0
    press_key Escape
    await overview_active false && return 0
  done
  fail_step "Escape did not leave the overview"
}
press_hot_key() { xdotool key F1; }

run_scenario "$@"
