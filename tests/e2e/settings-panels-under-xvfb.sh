#!/usr/bin/env bash
# The desktop's settings panels for real: stand-ins for GNOME Settings' Bluetooth panel and for
# KDE System Settings' Bluetooth module in a scratch XDG_DATA_DIRS. With XDG_CURRENT_DESKTOP=GNOME
# the start-up scan indexes the GNOME panel as a preference pane ("pref"), quorvel-query lists it
# for "bluetooth", and Return in the panel runs the entry's Exec; the same for the KDE module on
# KDE; on another desktop neither is listed.
#
# Usage: settings-panels-under-xvfb.sh BUNDLE
set -euo pipefail

bundle=$1
executable="$bundle/Contents/MacOS/Quorvel Launcher 2"
query="$(dirname "$bundle")/quorvel-query"
. "$(dirname "$0")/common.sh"
use_private_bus "$@"
require_tools Xvfb openbox xdotool xprop dbus-send

start_in_scratch_home
export XDG_DATA_DIRS="$work/share"
preferences="$HOME/Library/Preferences"
settings="$preferences/org.quorvel.launcher.plist"
panels="$XDG_DATA_DIRS/applications"
mkdir -p "$panels" "$XDG_DATA_HOME/applications" "$XDG_CONFIG_HOME"
settle_as_a_later_start
# Each panel's Exec runs this, which notes which panel was opened.
printf '#!/bin/sh\necho "$1" >> "%s/opened"\n' "$work" > "$work/settings"
chmod +x "$work/settings"
cat > "$panels/gnome-bluetooth-panel.desktop" <<ENTRY
[Desktop Entry]
Type=Application
Name=Bluetooth
Exec=$work/settings gnome-bluetooth
Icon=bluetooth
NoDisplay=true
OnlyShowIn=GNOME;Unity;
X-GNOME-Settings-Panel=bluetooth
ENTRY
cat > "$panels/kcm_bluetooth.desktop" <<ENTRY
[Desktop Entry]
Type=Application
Name=Bluetooth Devices
Exec=$work/settings kde-bluetooth
Icon=preferences-system-bluetooth
NoDisplay=true
ENTRY

fail() { echo "FAIL: $*"; exit 1; }
focused() { [ "$(xdotool getwindowfocus)" = "$panel" ]; }
panel_gone() { ! panel_shown; }
opened() { grep -qx "$1" "$work/opened" 2>/dev/null; }

# Starts the launcher on that desktop with no index, so that it scans at start, and answers what
# quorvel-query finds for "bluetooth".
start_on() {
  rm -f "$preferences/Quorvel Launcher Index"
  start_launcher_with_index XDG_CURRENT_DESKTOP="$1"
  panel=$(find_window '^Quorvel Launcher$')
  await focused || fail "the panel came up without the focus on $1"
}
found() { XDG_CURRENT_DESKTOP=$1 "$query" bluetooth; }

start_display
for desktop in GNOME KDE; do
  if [ "$desktop" = GNOME ]; then entry="$panels/gnome-bluetooth-panel.desktop"; mark=gnome-bluetooth
  else entry="$panels/kcm_bluetooth.desktop"; mark=kde-bluetooth; fi
  start_on "$desktop"
  listed=$(found "$desktop")
  [ "$(printf '%s\n' "$listed" | wc -l)" -eq 1 ] && printf '%s\n' "$listed" | grep -qP "^Bluetooth.*\tpref\t\Q$entry\E$" \
    || fail "quorvel-query on $desktop listed: $listed"
  xdotool type --delay 40 bluetooth
  xdotool key Return
  await panel_gone || fail "Return left the panel up on $desktop"
  await opened "$mark" || fail "Return did not open the $desktop panel"
  grep -qF "<string>$entry</string>" "$settings" || fail "the panel opened something else on $desktop"
  stop_launcher
done

start_on sway
[ -z "$(found sway)" ] || fail "quorvel-query on sway listed: $(found sway)"
! grep -q "bluetooth" "$preferences/Quorvel Launcher Index" || fail "a panel was indexed on sway"
stop_launcher
echo "PASS: each desktop's settings panel was a preference pane on it alone and opened with Return"
