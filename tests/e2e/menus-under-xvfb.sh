#!/usr/bin/env bash
# The menu-bar-only mode for real: a virtual X display with a window manager and a system tray
# (trayer). The panel must carry no taskbar entry, Ctrl+, must open the preferences, F10 the
# panel's menu, a click on the tray icon the same menu, whose Preferences item opens the window;
# switching the mode must restart the launcher in the normal mode, and Ctrl+Q must end it.
#
# Usage: menus-under-xvfb.sh BUNDLE [SCREENSHOT_FOLDER]
# With a screenshot folder, pictures of every preferences tab, the panel's menu and the tray's
# menu are left there.
set -euo pipefail

source_bundle=$1
shots=${2:-}
. "$(dirname "$0")/common.sh"
use_private_bus "$@"
require_tools Xvfb openbox xdotool xprop xwininfo trayer import dbus-send

start_in_scratch_home

# A copy of the bundle started in the menu-bar-only mode, as the mode switch leaves it.
bundle="$work/Quorvel Launcher 2.app"
cp -r "$source_bundle" "$bundle"
cp "$bundle/Contents/Resources/info_ui_off.plist" "$bundle/Contents/Info.plist"
mkdir -p "$HOME/Documents"
settle_as_a_later_start $'\t<key>showMenuBar</key>' $'\t<false/>'

# The shipped folder exclusions and one pattern that cannot be compiled, which the window marks.
sed 's|</array>|\t<dict>\n\t\t<key>enabled</key>\n\t\t<true/>\n\t\t<key>expression</key>\n\t\t<string>*/Old Projects (copy</string>\n\t</dict>\n</array>|' \
  "$bundle/Contents/Resources/Folder Exclusion List Defaults.xml" \
  > "$HOME/Library/Preferences/Quorvel Launcher Folder Exclusion List"

preferences_shown() { [ -n "$(find_window '^Quorvel Launcher Preferences$')" ]; }
# A menu of the launcher's is up (keys sent before it is up are lost): a pop-up window of its
# process, on the root and unmanaged. The tray icon is unmanaged too, but lies inside the tray.
menu_shown() {
  local window
  for window in $(xdotool search --onlyvisible --pid "$launcher" 2>/dev/null); do
    xwininfo -id "$window" 2>/dev/null | grep -q 'Override Redirect State: yes' || continue
    xwininfo -tree -id "$window" 2>/dev/null | grep -q 'Parent window id: .*(the root window)' && return 0
  done
  return 1
}
menu_gone() { ! menu_shown; }
panel_focused() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$(find_window '^Quorvel Launcher$')" ]; }
preferences_gone() { ! preferences_shown; }
shot() { [ -z "$shots" ] || import "$@"; }

start_display
xsetroot -solid '#3b5c7a' 2>/dev/null || true
# The tray: one icon high, at the right of the top edge.
trayer --edge top --align right --widthtype request --height 28 --tint 0x303030 --transparent false \
  --SetDockType true >/dev/null 2>&1 &
pids+=($!)
tray_shown() { [ -n "$(xdotool search --onlyvisible --class '^trayer$' 2>/dev/null)" ]; }
await tray_shown || { echo "FAIL: the tray did not come up"; exit 1; }

executable="$bundle/Contents/MacOS/Quorvel Launcher 2"
start_launcher_with_index
sleep 1

panel=$(find_window '^Quorvel Launcher$')
xprop -id "$panel" _NET_WM_STATE | grep -q _NET_WM_STATE_SKIP_TASKBAR \
  || { echo "FAIL: the panel has a taskbar entry in the menu-bar-only mode"; exit 1; }

# Ctrl+, opens the preferences; every tab in turn.
xdotool key --clearmodifiers ctrl+comma
await preferences_shown || { echo "FAIL: Ctrl+, did not open the preferences"; exit 1; }
sleep 0.5
window=$(find_window '^Quorvel Launcher Preferences$')
for tab in search-locations document-types folder-exclusions file-exclusions scanning; do
  shot -window "$window" "$shots/preferences-$tab.png"
  xdotool key --clearmodifiers ctrl+Tab
  sleep 0.4
done
# Escape is the window's OK: the panel comes back.
xdotool key --clearmodifiers Escape
await preferences_gone || { echo "FAIL: Escape did not close the preferences"; exit 1; }
await panel_shown || { echo "FAIL: the panel did not come back after the preferences"; exit 1; }
sleep 0.5

# F10: the panel's menu of every command.
await panel_focused || { echo "FAIL: the panel came back without the focus"; exit 1; }
xdotool key --clearmodifiers F10
await menu_shown || { echo "FAIL: F10 opened no menu"; exit 1; }
shot -window root -crop 820x620+290+175 +repage "$shots/panel-menu.png"
xdotool key --clearmodifiers Escape
await menu_gone || { echo "FAIL: Escape left the panel's menu up"; exit 1; }

# The tray icon, while the launcher is active: its menu, and the preferences from it.
xdotool mousemove 1266 13 click 1
await menu_shown || { echo "FAIL: a click on the tray icon opened no menu"; exit 1; }
shot -window root -crop 420x210+860+0 +repage "$shots/tray-menu.png"
xdotool mousemove 1000 23 click 1
await preferences_shown || { echo "FAIL: the tray menu's Preferences did not open the window"; exit 1; }
xdotool key --clearmodifiers Escape
await preferences_gone || { echo "FAIL: the preferences did not close"; exit 1; }
await panel_focused || { echo "FAIL: the panel came back without the focus"; exit 1; }

# Toggle User Interface Mode (the seventh item), confirmed: this process ends, a new one comes up
# in the normal mode, with a taskbar entry.
xdotool key --clearmodifiers F10
await menu_shown || { echo "FAIL: F10 opened no menu"; exit 1; }
for _ in 1 2 3 4 5 6 7; do xdotool key Down; done
xdotool key Return
# The confirmation: a dialog titled like the panel.
alert_shown() {
  local window
  for window in $(xdotool search --onlyvisible --name '^Quorvel Launcher$' 2>/dev/null); do
    xprop -id "$window" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q DIALOG && { echo "$window"; return 0; }
  done
  return 1
}
await alert_shown || { echo "FAIL: switching the mode asked for no confirmation"; exit 1; }
xdotool windowactivate --sync "$(alert_shown)" 2>/dev/null || true
xdotool key Return
await bash -c "! kill -0 $launcher" || { echo "FAIL: the mode switch did not end the old process"; exit 1; }
await panel_shown || { echo "FAIL: no new process came up after the mode switch"; exit 1; }
panel=$(find_window '^Quorvel Launcher$')
restarted=$(xdotool getwindowpid "$panel")
pids+=($restarted)
[ "$restarted" != "$launcher" ] || { echo "FAIL: the panel is still the old process's"; exit 1; }
grep -A1 LSUIElement "$bundle/Contents/Info.plist" | grep -q '<string>0</string>' \
  || { echo "FAIL: the information file is not the normal mode's"; exit 1; }
if xprop -id "$panel" _NET_WM_STATE | grep -q _NET_WM_STATE_SKIP_TASKBAR; then
  echo "FAIL: the panel skips the taskbar in the normal mode"; exit 1
fi

# Ctrl+Q quits.
xdotool key --clearmodifiers ctrl+q
await bash -c "! kill -0 $restarted" || { echo "FAIL: Ctrl+Q did not end the launcher"; exit 1; }
echo "ok: menus, preferences, tray and the mode switch under Xvfb"
