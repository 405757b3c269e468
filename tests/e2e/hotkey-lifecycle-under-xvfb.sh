#!/usr/bin/env bash
# The hot key's life beside an installed launcher, for real: a virtual X display with a window
# manager, a fresh home and a private session bus whose service folder holds only this test's
# D-Bus service file for the launcher, as a package installs it. The launcher is a copy of the
# built bundle, so that it can be removed as a package removal would.
#   1. The launcher does not run; F1 (the hot-key program started from the user's copy of the
#      pane) makes the bus start it, and its panel comes up with the keyboard focus.
#   2. The launcher is removed (bundle and service file). The hot-key program started as the next
#      login would, from its autostart entry's Exec, ends by itself, removes the entry and holds
#      no key: another program's grab of F1 then succeeds.
#   3. A running hot-key program whose launcher goes away gives the key up at the next press.
#
# Usage: hotkey-lifecycle-under-xvfb.sh BUNDLE
set -euo pipefail

built=$1
. "$(dirname "$0")/common.sh"
require_tools Xvfb openbox xdotool xmessage xprop dbus-daemon dbus-send dbus-update-activation-environment
start_in_scratch_home
export XDG_DATA_DIRS="$work/share"
unset XDG_SESSION_TYPE WAYLAND_DISPLAY
mkdir -p "$HOME/Documents" "$XDG_DATA_DIRS" "$work/services" "$work/system"
fail() { echo "FAIL: $*"; for log in "$work"/*.log; do echo "--- $log"; cat "$log"; done; exit 1; }

# The installed launcher: hard links where the file system allows, a copy elsewhere.
bundle="$work/system/Quorvel Launcher 2.app"
cp -al "$built" "$bundle" 2>/dev/null || cp -R "$built" "$bundle"
service="$work/services/org.quorvel.launcher.service"
printf '[D-BUS Service]\nName=org.quorvel.launcher\nExec="%s"\n' "$bundle/Contents/MacOS/Quorvel Launcher 2" >"$service"
sed "s|</busconfig>|  <servicedir>$work/services</servicedir>\n</busconfig>|" "$test_bus_config" >"$work/bus.conf"
test_bus_config="$work/bus.conf"

settle_as_a_later_start
settings="$HOME/Library/Preferences/org.quorvel.launcher.plist"
pane="$HOME/Library/PreferencePanes/Quorvel Preferences.prefPane"
component_exe="$pane/Contents/Resources/QRV HotKey.app/Contents/MacOS/QRV HotKey"
entry="$XDG_CONFIG_HOME/autostart/quorvel-hotkey.desktop"
pidfile="$HOME/Library/Application Support/Quorvel Suite/QRV HotKey.pid"

start_display
start_private_bus
# What a desktop session does at its start: the bus starts services with the session's variables.
dbus-update-activation-environment DISPLAY QT_QPA_PLATFORM=xcb XDG_DATA_DIRS

bus_owner_pid() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.GetConnectionUnixProcessID "string:$1" 2>/dev/null | awk '/uint32/ { print $2 }'
}
launcher_runs() { [ -n "$(bus_owner_pid org.quorvel.launcher)" ]; }
panel_gone() { [ -z "$(panel)" ]; }
touch "$work/hotkey.log"
watching_count() { grep -c "Watching F1" "$work/hotkey.log" || true; }
grabbed_since() { [ "$(watching_count)" -gt "$1" ]; }
# Starts the hot-key program and waits until it has grabbed F1 (its log says so once more).
start_component() {
  local before
  before=$(watching_count)
  "$@" >>"$work/hotkey.log" 2>&1 &
  component=$!
  pids+=($component)
  await grabbed_since "$before" || fail "the hot-key program did not grab F1"
}

xmessage -geometry 500x200+40+40 "Another application" &
pids+=($!)
other_window() { [ -n "$(find_window '^xmessage$')" ]; }
await other_window || fail "no other window"
xdotool windowactivate --sync "$(find_window '^xmessage$')" 2>/dev/null || true

# 1. F1 with no launcher running: the bus starts it for the activation.
[ -z "$(bus_owner_pid org.quorvel.launcher)" ] || fail "a launcher runs before the test starts one"
start_component "$component_exe"
grep -qx "Exec=\"$component_exe\"" "$entry" || fail "the hot-key program wrote no autostart entry for its copy"
xdotool key F1
await_start launcher_runs || fail "F1 did not start the launcher"
launcher=$(bus_owner_pid org.quorvel.launcher)
pids+=($launcher)
[ "$(readlink "/proc/$launcher/exe")" = "$bundle/Contents/MacOS/Quorvel Launcher 2" ] \
  || fail "the bus started $(readlink "/proc/$launcher/exe")"
await_start panel_focused || fail "the started launcher's panel did not come up with the focus"
xdotool key Escape
await panel_gone || fail "Escape left the panel up"
xdotool windowactivate --sync "$(find_window '^xmessage$')" 2>/dev/null || true
xdotool key F1
await panel_focused || fail "F1 brought the running launcher's panel up without the focus"
grep -q "could not be activated" "$work/hotkey.log" && fail "the activation failed: $(cat "$work/hotkey.log")"
kill -TERM "$launcher"
await_for 10 eval '! process_runs "$launcher"' || fail "the launcher did not end on SIGTERM"
sh "$bundle/Contents/Resources/quitHotKey.sh" || fail "quitHotKey.sh did not end the hot-key program"

# 2. The launcher removed, then the next login.
rm -rf "$bundle" "$service"
dbus-send --session --type=method_call --dest=org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus.ReloadConfig
exec_line=$(sed -n 's/^Exec=//p' "$entry")
exec_line=${exec_line#\"}
timeout 20 "${exec_line%\"}" >>"$work/hotkey.log" 2>&1 || fail "the orphaned hot-key program did not end by itself with 0"
grep -q "is gone, so the hot key is given up" "$work/hotkey.log" || fail "no log line says why it ended"
[ ! -e "$entry" ] || fail "the autostart entry stayed"
[ ! -e "$pidfile" ] || fail "the orphaned start left a pid file"
# Another program takes the key: the built bundle's own hot-key program, beside a launcher that
# is there again.
sed -i "s|<string>$bundle</string>|<string>$built</string>|" "$settings"
grep -q "<string>$built</string>" "$settings" || fail "the launcher recorded no location"
start_component "$built/Contents/Resources/Components/Quorvel Preferences.prefPane/Contents/Resources/QRV HotKey.app/Contents/MacOS/QRV HotKey"
grep -q "F1 could not be grabbed" "$work/hotkey.log" && fail "the key was still held"

# 3. The launcher goes while the hot-key program runs: the next press ends it.
sed -i "s|<string>$built</string>|<string>$work/gone/Quorvel Launcher 2.app</string>|" "$settings"
xdotool key F1
await_for 10 eval '! process_runs "$component"' || fail "the hot-key program kept running after its launcher went"
[ "$(grep -c "is gone, so the hot key is given up" "$work/hotkey.log")" -eq 2 ] || fail "no log line at the press"
[ ! -e "$entry" ] || fail "the autostart entry stayed after the press"
echo "PASS: F1 starts the launcher through the bus; once it is removed, the hot key gives itself up"
