#!/usr/bin/env bash
# The scenario on KDE's window manager on X11 (kwin_x11, compositing with OpenGL 2 in software), on
# a virtual X display.
#
# Usage: kwin-x11.sh BUNDLE
set -euo pipefail
. "$(dirname "$0")/scenario.sh"
export XDG_CURRENT_DESKTOP=KDE KDE_SESSION_VERSION=5 KWIN_COMPOSE=O2
# KDE's shortcut service, as in a KDE session: kwin registers its own shortcuts there.
bus_services+=(org.kde.kglobalaccel)

start_desktop() {
  desktop_requires kwin_x11
  start_xvfb || return
  kwin_x11 --replace >"$work/kwin.log" 2>&1 &
  pids+=($!)
  await_start window_manager_runs || fail_step "kwin_x11 did not start" || return
}
press_hot_key() { xdotool key F1; }

run_scenario "$@"
