#!/usr/bin/env bash
# The hot key from a first start on, for real: a virtual X display with a window manager, a private
# session bus and a fresh home. The launcher's first start, its alerts answered with Return alone,
# installs the preference pane and opens it after the last alert; the pane starts the hot-key
# component; F1 must then bring up the panel over another window, a key changed in the pane must
# replace F1 (Control+Alt+Q, then Control+Alt+Space with NumLock off and on), and quitHotKey.sh
# must end the component. The component must leave an autostart entry that starts the installed
# copy at the next login.
#
# Usage: hotkey-first-start-under-xvfb.sh BUNDLE [SCREENSHOT_FOLDER]
# With a screenshot folder, welcome.png (the first alert) and pane.png (the pane with the changed
# key) are left there.
set -euo pipefail

bundle=$1
shots=${2:-}
. "$(dirname "$0")/common.sh"
require_tools Xvfb openbox xdotool xmessage xprop xset dbus-run-session dbus-send
[ -z "$shots" ] || command -v import >/dev/null || { echo "SKIP: import is not installed"; exit 77; }
# The component's bus name must be free, whoever runs this.
use_private_bus "$@"

executable="$bundle/Contents/MacOS/Quorvel Launcher 2"
quit_script="$bundle/Contents/Resources/quitHotKey.sh"
work=$(mktemp -d)
pids=()
cleanup() {
  # The component and the pane were started by the launcher, not by this script.
  for pid in "${component:-}" "${pane_pid:-}"; do
    if [ -n "$pid" ] && process_runs "$pid"; then kill "$pid" 2>/dev/null || true; fi
  done
  # The display last, so that no client complains of losing it.
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; echo "--- launcher log"; cat "$work/launcher.log" 2>/dev/null; exit 1; }

export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
export XDG_DATA_DIRS="$work/share"
unset XDG_SESSION_TYPE WAYLAND_DISPLAY
mkdir -p "$HOME/Documents" "$XDG_DATA_DIRS"
installed_pane="$HOME/Library/PreferencePanes/Quorvel Preferences.prefPane"
installed_component="$installed_pane/Contents/Resources/QRV HotKey.app/Contents/MacOS/QRV HotKey"
pidfile="$HOME/Library/Application Support/Quorvel Suite/QRV HotKey.pid"
hotkey_entry="$XDG_CONFIG_HOME/autostart/quorvel-hotkey.desktop"

panel_shown() { [ -n "$(panel)" ]; }
panel_gone() { ! panel_shown; }
bus_name_owned() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:org.quorvel.HotKey | grep -q 'boolean true'
}
component_runs() { [ -n "${component:-}" ] && process_runs "$component"; }

start_display
xsetroot -solid '#3b5c7a' 2>/dev/null || true
start_launcher

# The first start's four alerts (dialogs titled like the panel) come one after the other, each
# answered with Return alone, as at the keyboard: the alert in front must hold the keyboard focus,
# and the pane's window, which takes the focus when it opens, must wait for the last answer.
alert() {
  local window
  for window in $(xdotool search --onlyvisible --name '^Quorvel Launcher$' 2>/dev/null); do
    if is_dialog "$window"; then echo "$window"; return 0; fi
  done
  return 1
}
alert_focused() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ]; }
still_shown() { xdotool search --onlyvisible --name '^Quorvel Launcher$' 2>/dev/null | grep -qx "$1"; }
pane_opened() { [ -n "$(find_window '^Quorvel$')" ]; }
focus_name() { xdotool getwindowfocus getwindowname 2>&1 || true; }
for number in 1 2 3 4; do
  await_start alert || fail "alert $number of 4 did not come"
  shown=$(alert)
  await alert_focused "$shown" || fail "alert $number has no keyboard focus (focus: $(focus_name))"
  pane_opened && fail "the pane's window opened while alert $number was up"
  if [ "$number" -eq 1 ] && [ -n "$shots" ]; then import -window root "$shots/welcome.png"; fi
  xdotool key Return
  await eval '! still_shown "$shown"' || fail "Return did not answer alert $number (focus: $(focus_name))"
done
await_start pane_opened || fail "the pane's window did not open after the last alert"
alert >/dev/null && fail "an alert came after the fourth"

[ -d "$installed_pane" ] || fail "the pane was not installed into ~/Library/PreferencePanes"
grep -lq 'X-Quorvel-LoginItem=true' "$XDG_CONFIG_HOME"/autostart/*.desktop \
  || fail "the login item has no autostart entry"
await test -s "$pidfile" || fail "opening the pane did not start the hot-key component (no pid file)"
component=$(cat "$pidfile")
component_runs || fail "the pid file names process $component, which does not run"
[ "$(readlink "/proc/$component/exe")" = "$installed_component" ] \
  || fail "the component runs from $(readlink "/proc/$component/exe"), not from the installed pane"
bus_name_owned || fail "nobody owns org.quorvel.HotKey"
# The next login starts the installed component, not the launcher's own copy.
grep -qx 'X-Quorvel-HotKey=true' "$hotkey_entry" || fail "the component wrote no autostart entry"
grep -qxF "Exec=\"$installed_component\"" "$hotkey_entry" \
  || fail "the autostart entry starts something else: $(grep ^Exec= "$hotkey_entry")"
grep -q 'X-GNOME-Autostart-Phase' "$hotkey_entry" && fail "the autostart entry names a phase"

# The pane's window is in the way of what follows; the window manager closes it (Alt+F4). Just
# opened, the pane may still be busy asking the component for its state: it ends once it is done.
pane_pid=$(xdotool getwindowpid "$(find_window '^Quorvel$')")
close_window '^Quorvel$' || fail "the pane's window did not close"
await_start eval '! process_runs "$pane_pid"' \
  || fail "the pane did not end with its window: $(grep State "/proc/$pane_pid/status")"

# The first start scans the disk; let it settle before the panel is summoned.
await test -f "$HOME/Library/Preferences/Quorvel Launcher Index" || fail "no index written"

xmessage -geometry 500x200+40+40 "Another application" &
pids+=($!)
await test -n "$(find_window '^xmessage$')" || fail "no other window"
other=$(find_window '^xmessage$')
activate_other() { xdotool windowactivate "$other" 2>/dev/null; sleep 0.2; [ "$(xdotool getwindowfocus 2>/dev/null)" = "$other" ]; }
await activate_other || fail "the window manager gave the other window no focus"
await panel_gone || fail "the panel stayed up after losing the focus"

xdotool key F1
await panel_focused || fail "F1 brought no panel with the keyboard focus (focus: $(xdotool getwindowfocus getwindowname))"
xdotool key Escape
await panel_gone || fail "Escape left the panel up"

# The pane's Apply, as a command of the installed pane: Control+Alt+Q replaces F1.
answer=$("$installed_pane/Contents/MacOS/Quorvel Preferences" --set "Control+Alt+Q") \
  || fail "--set Control+Alt+Q answered: $answer"
case $answer in held:*) ;; *) fail "--set Control+Alt+Q answered: $answer" ;; esac
component_runs || fail "changing the key ended the component"

await activate_other || fail "the other window did not get the focus back"
xdotool key F1
sleep 1
panel_gone || fail "F1 still brings up the panel after the key changed"
xdotool key ctrl+alt+q
await panel_focused || fail "Control+Alt+Q brought no panel with the keyboard focus"
xdotool key Escape
await panel_gone || fail "Escape left the panel up after Control+Alt+Q"

# Control+Alt+Space, with NumLock off and on: the grab covers the lock modifiers.
answer=$("$installed_pane/Contents/MacOS/Quorvel Preferences" --set "Control+Alt+Space") \
  || fail "--set Control+Alt+Space answered: $answer"
case $answer in held:*) ;; *) fail "--set Control+Alt+Space answered: $answer" ;; esac
numlock_on() { xset q | grep -q 'Num Lock: *on'; }
for numlock in off on; do
  if [ "$numlock" = on ]; then
    xdotool key Num_Lock
    await numlock_on || fail "NumLock did not come on"
  fi
  await activate_other || fail "the other window did not get the focus back (NumLock $numlock)"
  xdotool key ctrl+alt+space
  await panel_focused || fail "Control+Alt+Space brought no panel with the keyboard focus (NumLock $numlock)"
  xdotool key Escape
  await panel_gone || fail "Escape left the panel up after Control+Alt+Space (NumLock $numlock)"
done
xdotool key Num_Lock

if [ -n "$shots" ]; then
  "$installed_pane/Contents/MacOS/Quorvel Preferences" >/dev/null 2>&1 &
  pane_pid=$!
  await test -n "$(find_window '^Quorvel$')" || fail "the pane's window did not open again"
  sleep 1
  import -frame -window "$(find_window '^Quorvel$')" "$shots/pane.png"
  kill "$pane_pid"
fi

sh "$quit_script" || fail "quitHotKey.sh answered $?"
await eval '! component_runs' || fail "quitHotKey.sh left the component running"
await test ! -e "$pidfile" || fail "the component left its pid file behind"
bus_name_owned && fail "org.quorvel.HotKey still has an owner"

kill -TERM "$launcher"
await test ! -d "/proc/$launcher" || fail "SIGTERM did not end the launcher"
echo "PASS: the hot key works from the first start on, also after it changed"
