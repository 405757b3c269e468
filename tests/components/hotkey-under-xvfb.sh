#!/usr/bin/env bash
# The hot-key component for real: a virtual X display with a window manager, a private session
# bus, another window holding the focus. Its key must post the wake-up notification; a key the
# pane sets must replace it, also after the keyboard mapping changes; a key another program holds
# must be reported, not crash it; quitHotKey.sh must end exactly it.
#
# Usage: hotkey-under-xvfb.sh BUNDLE
set -euo pipefail

bundle=$1
pane="$bundle/Contents/Resources/Components/Quorvel Preferences.prefPane"
hotkey="$pane/Contents/Resources/QRV HotKey.app/Contents/MacOS/QRV HotKey"
preferences="$pane/Contents/MacOS/Quorvel Preferences"
quit_script="$bundle/Contents/Resources/quitHotKey.sh"
. "$(dirname "$0")/../e2e/common.sh"
require_tools Xvfb openbox xdotool xmessage xmodmap dbus-daemon dbus-monitor dbus-send

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; echo "--- component log"; cat "$work/hotkey.log" 2>/dev/null; exit 1; }

export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share" \
       XDG_CACHE_HOME="$work/home/.cache" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
unset XDG_SESSION_TYPE WAYLAND_DISPLAY
settings="$HOME/Library/Preferences/org.quorvel.launcher.plist"
pidfile="$HOME/Library/Application Support/Quorvel Suite/QRV HotKey.pid"
mkdir -p "$HOME/Library/Preferences"
# A setting of the launcher's own that writing the hot key must keep, and a hot key no keyboard has.
cat >"$settings" <<'PLIST'
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>combinedLastSearchTerm</key>
	<string>keep me</string>
	<key>qrvl</key>
	<dict>
		<key>keyCode</key>
		<integer>122</integer>
		<key>keyModifier</key>
		<integer>0</integer>
		<key>keyString</key>
		<string>F15</string>
		<key>switchedOn</key>
		<string>YES</string>
	</dict>
</dict>
</plist>
PLIST


# A session bus of this test's own, whoever runs it.
start_private_bus

display=:$((50 + RANDOM % 200))
Xvfb "$display" -screen 0 1024x600x24 -nolisten tcp -noreset >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display
await xdotool getmouselocation || fail "the virtual display did not start"
# The window manager holds Control+Alt+T for itself: the key another program already has.
cat >"$work/openbox.xml" <<'RC'
<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <keyboard><keybind key="C-A-t"><action name="Execute"><command>true</command></action></keybind></keyboard>
</openbox_config>
RC
openbox --config-file "$work/openbox.xml" >/dev/null 2>&1 &
pids+=($!)
sleep 0.5

dbus-monitor --session "type='signal',interface='org.quorvel.DistributedNotification'" >"$work/signals" 2>/dev/null &
pids+=($!)
wake_ups() { grep -c '"wake up"' "$work/signals" || true; }
wake_ups_reach() { [ "$(wake_ups)" -ge "$1" ]; }

"$hotkey" >"$work/hotkey.log" 2>&1 &
component=$!
pids+=($component)
await test -s "$pidfile" || fail "no pid file"
[ "$(cat "$pidfile")" = "$component" ] || fail "the pid file names $(cat "$pidfile"), not $component"
await grep -q "Watching F1" "$work/hotkey.log" || fail "F1 not grabbed"
grep -q '"F15" is not a key name.*using F1' "$work/hotkey.log" || fail "the fallback to F1 was not logged"
# No pane is installed: a login must not start this copy, which lies in a build folder.
[ ! -e "$XDG_CONFIG_HOME/autostart/quorvel-hotkey.desktop" ] || fail "an autostart entry names a copy outside the installed pane"

# A second start finds the first and ends at once.
timeout 10 "$hotkey" >>"$work/hotkey.log" 2>&1 || fail "a second instance did not end by itself"
kill -0 "$component" || fail "the first instance ended"

xmessage -geometry 400x120+40+40 "Another application" &
pids+=($!)
await xdotool search --onlyvisible --name '^xmessage$' || fail "no other window"
xdotool windowactivate --sync "$(xdotool search --onlyvisible --name '^xmessage$' | head -1)" 2>/dev/null || true
sleep 0.3

xdotool key F1
await wake_ups_reach 1 || fail "F1 posted no wake-up notification"

# The pane's Apply, as a command: Control+Alt+Q replaces F1.
answer=$("$preferences" --set "Control+Alt+Q") || fail "--set Control+Alt+Q answered: $answer"
case $answer in held:*) ;; *) fail "--set Control+Alt+Q answered: $answer" ;; esac
grep -q '<string>keep me</string>' "$settings" || fail "writing the hot key lost the launcher's other settings"
tr -d '\n\t ' <"$settings" | grep -q '<key>keyModifier</key><integer>3</integer>' || fail "keyModifier is not 3"
tr -d '\n\t ' <"$settings" | grep -q '<key>keyString</key><string>Q</string>' || fail "keyString is not Q"
tr -d '\n\t ' <"$settings" | grep -q '<key>keyCode</key><integer>12</integer>' || fail "keyCode is not 12"
before=$(wake_ups)
xdotool key F1
sleep 0.5
[ "$(wake_ups)" -eq "$before" ] || fail "F1 still posts after the key changed"
xdotool key ctrl+alt+q
await wake_ups_reach $((before + 1)) || fail "Control+Alt+Q posted no wake-up notification"

# The keyboard mapping changes: q moves to another key code and must be grabbed there.
xmodmap -pke >"$work/keymap"
q_code=$(awk '$4 == "q" { print $2; exit }' "$work/keymap")
w_code=$(awk '$4 == "w" { print $2; exit }' "$work/keymap")
xmodmap -e "keycode $q_code = w W" -e "keycode $w_code = q Q"
await grep -q "Watching Control+Alt+Q (key codes $w_code)" "$work/hotkey.log" || fail "no new grab after the mapping changed"
before=$(wake_ups)
xdotool key ctrl+alt+q
await wake_ups_reach $((before + 1)) || fail "Control+Alt+Q on its new key code posted nothing"

# A key the window manager holds is reported as taken; the component lives on.
if answer=$("$preferences" --set "Control+Alt+T"); then fail "a held key was reported as taken: $answer"; fi
case $answer in taken:*"another program"*) ;; *) fail "--set Control+Alt+T answered: $answer" ;; esac
grep -q "Control+Alt+T could not be grabbed" "$work/hotkey.log" || fail "the refused grab was not logged"
kill -0 "$component" || fail "the component ended on a refused grab"

# A name not in the key-name table is refused before anything is written.
if "$preferences" --set "Control+F15" 2>/dev/null; then fail "--set took an unknown key name"; fi
tr -d '\n\t ' <"$settings" | grep -q '<key>keyString</key><string>T</string>' || fail "the refused name changed the settings"

/bin/sh "$quit_script" || fail "quitHotKey.sh did not quit the component (status $?)"
kill -0 "$component" 2>/dev/null && { wait "$component" 2>/dev/null || true; }
await test ! -e "$pidfile" || fail "the pid file stayed"
if /bin/sh "$quit_script" 2>/dev/null; then fail "quitHotKey.sh answered 0 with nothing to quit"; fi
echo "PASS: the hot key posts the wake-up notification, follows the pane and quits by its script"
