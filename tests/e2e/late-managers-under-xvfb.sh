#!/usr/bin/env bash
# Managers that come after the launcher, for real: a virtual X display with a window manager but
# neither a compositing manager nor a tray when the launcher starts in the menu-bar-only mode.
# A compositor started while the panel is up must make the panel translucent (no shape cut out
# of it any more) and its end shape it again; a tray started later must get the status item.
# Both are followed through the X server's reports of the managers' selections, not by asking
# again and again.
#
# Usage: late-managers-under-xvfb.sh BUNDLE
set -euo pipefail

source_bundle=$1
. "$(dirname "$0")/common.sh"
use_private_bus "$@"
require_tools Xvfb openbox xcompmgr xdotool xprop xwininfo trayer dbus-send

start_in_scratch_home

# A copy of the bundle in the menu-bar-only mode: the status item (shown while the launcher is
# active) is its only menu.
bundle="$work/Quorvel Launcher 2.app"
cp -r "$source_bundle" "$bundle"
cp "$bundle/Contents/Resources/info_ui_off.plist" "$bundle/Contents/Info.plist"
mkdir -p "$HOME/Documents"
settle_as_a_later_start $'\t<key>showMenuBar</key>' $'\t<false/>'

start_display
executable="$bundle/Contents/MacOS/Quorvel Launcher 2"
start_launcher_with_index

# Without a compositor the panel cuts its rounded card out of the window with a shape.
panel_shaped() { xwininfo -shape -id "$(panel)" 2>/dev/null | grep -q 'Window shape extents'; }
panel_unshaped() { ! panel_shaped && panel >/dev/null; }
await panel_shaped || { echo "FAIL: without a compositor the panel is not shaped"; exit 1; }

start_compositor
await panel_unshaped || { echo "FAIL: the panel did not follow the compositor's start"; exit 1; }
end_processes "$compositor"
await panel_shaped || { echo "FAIL: the panel did not follow the compositor's end"; exit 1; }

# The status item: a window of the launcher's inside the tray's window (embedded, it lies below it).
parent_of() { xwininfo -tree -id "$1" 2>/dev/null | sed -n 's/.*Parent window id: \(0x[0-9a-f]*\).*/\1/p'; }
tray_icon_shown() {
  local trays window ancestor
  trays=$(xdotool search --class '^trayer$' 2>/dev/null | xargs -r printf '0x%x\n')
  [ -n "$trays" ] || return 1
  for window in $(xdotool search --onlyvisible --pid "$launcher" 2>/dev/null); do
    ancestor=$(printf '0x%x' "$window")
    for _ in 1 2 3 4; do
      ancestor=$(parent_of "$ancestor")
      # The root's parent is none: xwininfo would wait for a click to choose a window.
      [ -n "$ancestor" ] && [ "$ancestor" != 0x0 ] || break
      grep -qx "$ancestor" <<<"$trays" && return 0
    done
  done
  return 1
}
trayer --edge top --align right --widthtype request --height 28 --SetDockType true >/dev/null 2>&1 &
pids+=($!)
await tray_icon_shown || { echo "FAIL: the status item did not come into the tray started later"; exit 1; }

echo "ok: a compositor and a tray started after the launcher are followed"
