#!/usr/bin/env bash
# Closing the preferences window with the window manager (Alt+F4 under openbox) keeps what was
# set in it, as its OK does: the window has no Cancel. The scan interval and the login item are
# changed from the keyboard, the window is closed, and both must be in the settings and the
# login items afterwards.
#
# Usage: preferences-close-under-xvfb.sh BUNDLE
set -euo pipefail

bundle=$1
executable="$bundle/Contents/MacOS/Quorvel Launcher 2"
. "$(dirname "$0")/common.sh"
use_private_bus "$@"
require_tools Xvfb openbox xdotool xprop dbus-send

start_in_scratch_home
export XDG_DATA_DIRS="$work/share"
mkdir -p "$HOME/Documents" "$XDG_DATA_DIRS/applications"
settle_as_a_later_start
settings="$HOME/Library/Preferences/org.quorvel.launcher.plist"

fail() { echo "FAIL: $*"; exit 1; }
preferences_shown() { [ -n "$(find_window '^Quorvel Launcher Preferences$')" ]; }
# The stored interval, as the settings file holds it after the window's OK.
interval_is() { grep -A1 '<key>updateIntervalInSeconds</key>' "$settings" | grep -q "<integer>$1</integer>"; }
login_item_registered() { ls "$XDG_CONFIG_HOME"/autostart/quorvel-login-*.desktop >/dev/null 2>&1; }

start_display
start_launcher_with_index
login_item_registered && fail "a login item before the test changed anything"

xdotool key --clearmodifiers ctrl+comma
await preferences_shown || fail "Ctrl+, did not open the preferences"
window=$(find_window '^Quorvel Launcher Preferences$')
xdotool windowactivate --sync "$window" 2>/dev/null || true
# The Scanning tab, the fifth, from the tab bar; then, in the order of the tab's controls, the
# automatic scan box, the interval (7 minutes), the unit's group, and the login box.
xdotool key --clearmodifiers ctrl+Tab ctrl+Tab ctrl+Tab ctrl+Tab
xdotool key --clearmodifiers Tab Tab ctrl+a
xdotool type --delay 40 "7"
xdotool key --clearmodifiers Tab Tab space

close_window '^Quorvel Launcher Preferences$' || fail "Alt+F4 did not close the preferences"
await interval_is 420 || fail "closing the window lost the interval (stored: $(grep -A1 updateIntervalInSeconds "$settings" | tail -1))"
await login_item_registered || fail "closing the window lost the login item"
await panel_shown || fail "the panel did not come back after the preferences"

# Opened again, the window shows what its close kept: closed at once, it changes nothing.
xdotool key --clearmodifiers ctrl+comma
await preferences_shown || fail "Ctrl+, did not open the preferences again"
close_window '^Quorvel Launcher Preferences$' || fail "Alt+F4 did not close the preferences again"
await panel_shown || fail "the panel did not come back after the preferences"
interval_is 420 || fail "the second opening did not show the kept interval"
login_item_registered || fail "the second opening did not show the kept login item"
stop_launcher
echo "PASS: closing the preferences kept the interval and the login item"
