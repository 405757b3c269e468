#!/usr/bin/env bash
# The launcher for real: a virtual X display with a window manager, a private session bus, another
# window in front, then the wake-up notification. The panel must come up in front with the keyboard
# focus in its search field, filter what is typed, and go away on Escape.
#
# Usage: summon-under-xvfb.sh BUNDLE [SCREENSHOT_FOLDER]
# With a screenshot folder, pictures of the panel with matches and with no match are left there.
set -euo pipefail

bundle=$1
shots=${2:-}
executable="$bundle/Contents/MacOS/Quorvel Launcher 2"
. "$(dirname "$0")/common.sh"
use_private_bus "$@"
require_tools Xvfb openbox xdotool dbus-send xmessage

start_in_scratch_home
export XDG_DATA_DIRS="$work/share"

# A home of its own with a few things worth finding.
mkdir -p "$HOME/Documents/Projects/Mars Rover" "$HOME/Documents/Recipes" "$HOME/Applications" \
         "$XDG_DATA_HOME/applications" "$XDG_DATA_DIRS/applications"
touch "$HOME/Documents/Mars Mission Plan.txt" "$HOME/Documents/Market Research 2026.pdf" \
      "$HOME/Documents/Recipes/Marble Cake.odt" "$HOME/Documents/Meeting Notes.md"
icons="$XDG_DATA_DIRS/icons/hicolor/64x64/apps"
mkdir -p "$icons"
cp /usr/share/icons/hicolor/index.theme "$XDG_DATA_DIRS/icons/hicolor/" 2>/dev/null || true
for app in "Mail:mail-client:#e0554f" "Maps:maps:#3aa66a" "Marker Text Editor:text-editor:#e0a030" \
           "Music Player:audio-player:#9b59d0" "Terminal:terminal:#3c4452"; do
  IFS=: read -r name icon colour <<<"$app"
  # A simple theme icon of its own, so that the entries show real icons in the panel.
  convert -size 64x64 xc:none -fill "$colour" -draw 'roundrectangle 4,4 60,60 14,14' -fill white \
    -font DejaVu-Sans-Bold -pointsize 34 -gravity center -annotate 0 "${name:0:1}" "$icons/$icon.png" 2>/dev/null || true
  cat > "$XDG_DATA_HOME/applications/${icon}.desktop" <<ENTRY
[Desktop Entry]
Type=Application
Name=$name
Exec=/bin/true
Icon=$icon
ENTRY
done

panel_gone() { ! panel_shown; }

start_display
if command -v xcompmgr >/dev/null; then start_compositor; fi
xsetroot -solid '#3b5c7a' 2>/dev/null || true

start_launcher
# A first start: the assistant's alerts (dialogs with the panel's title) come before the panel.
# Each is answered with Return until only the panel is left.
# The pane's window, opened on the way, may take the focus from the panel once the last alert is
# answered (the panel then leaves, as it should): after the four alerts no panel is needed.
answered=0
only_panel_left() {
  local window panel=
  for window in $(xdotool search --onlyvisible --name '^Quorvel Launcher$' 2>/dev/null); do
    if is_dialog "$window"; then
      xdotool windowactivate "$window" 2>/dev/null; sleep 0.2; xdotool key Return; sleep 0.3
      answered=$((answered + 1))
      return 1
    fi
    panel=$window
  done
  [ -n "$panel" ] || [ "$answered" -ge 4 ]
}
await only_panel_left || { echo "FAIL: no panel at start"; cat "$work/launcher.log"; exit 1; }
# The first start opened the hot-key pane ("Quorvel"); the user closes it, as one would.
close_window '^Quorvel$' || { echo "FAIL: the pane's window did not close"; exit 1; }
grep -q '<integer>2001</integer>' "$HOME/Library/Preferences/org.quorvel.launcher.plist" \
  || { echo "FAIL: the first start was not recorded"; exit 1; }
grep -q "<string>$bundle</string>" "$HOME/Library/Preferences/loginwindow.plist" \
  || { echo "FAIL: no login item after the first start"; exit 1; }
grep -lq 'X-Quorvel-LoginItem=true' "$XDG_CONFIG_HOME"/autostart/*.desktop \
  || { echo "FAIL: the login item has no autostart entry"; exit 1; }
# The first start scans the disk; wait for the index before searching.
await test -f "$HOME/Library/Preferences/Quorvel Launcher Index" || { echo "FAIL: no index written"; exit 1; }
sleep 1

# Another window takes the focus; the panel leaves the screen.
xmessage -geometry 500x200+40+40 "Another application" &
pids+=($!)
other_shown() { [ -n "$(find_window '^xmessage$')" ]; }
await other_shown
other=$(find_window '^xmessage$')
activate_other() { xdotool windowactivate "$other" 2>/dev/null; sleep 0.2; [ "$(xdotool getwindowfocus 2>/dev/null)" = "$other" ]; }
await activate_other || { echo "FAIL: the window manager gave the other window no focus"; exit 1; }
await panel_gone || { echo "FAIL: the panel stayed up after losing the focus (focus: $(xdotool getwindowfocus getwindowname))"; cat "$work/launcher.log"; exit 1; }

wake_up
await panel_shown || { echo "FAIL: the wake-up notification brought no panel"; cat "$work/launcher.log"; exit 1; }
panel=$(find_window '^Quorvel Launcher$')
focused() { [ "$(xdotool getwindowfocus)" = "$panel" ]; }
await focused || { echo "FAIL: the panel came up without the keyboard focus ($(xdotool getwindowfocus getwindowname))"; exit 1; }

xdotool type --delay 60 "ma"
sleep 0.6
[ -n "$shots" ] && import -window root "$shots/panel-matches.png"
xdotool type --delay 60 "zzq"
sleep 0.6
[ -n "$shots" ] && import -window root "$shots/panel-no-match.png"

xdotool key Escape
await panel_gone || { echo "FAIL: Escape left the panel up"; exit 1; }
grep -q '<string>mazzq</string>' "$HOME/Library/Preferences/org.quorvel.launcher.plist" \
  || { echo "FAIL: the typed term was not what the panel saved"; exit 1; }
# A second start asks the running launcher to come forward and ends at once.
QT_QPA_PLATFORM=xcb timeout 20 "$executable" >>"$work/launcher.log" 2>&1 || { echo "FAIL: the second start did not end by itself"; exit 1; }
await panel_shown || { echo "FAIL: a second start did not bring the panel forward"; exit 1; }
kill -0 "$launcher" 2>/dev/null || { echo "FAIL: the running launcher ended"; exit 1; }

# A burst of wake-ups and Escapes must not leave the panel stuck: after it, a wake-up brings the
# panel up with the focus and Escape takes it away.
panel=$(find_window '^Quorvel Launcher$')
await focused || { echo "FAIL: the panel brought forward by a second start has no focus"; exit 1; }
xdotool key Escape
await panel_gone || { echo "FAIL: Escape left the panel up after a second start"; exit 1; }
for _ in 1 2 3; do
  wake_up; sleep 0.05
  xdotool key Escape; sleep 0.05
done
sleep 0.5
wake_up
await panel_shown || { echo "FAIL: after a burst a wake-up brought no panel"; cat "$work/launcher.log"; exit 1; }
panel=$(find_window '^Quorvel Launcher$')
await focused || { echo "FAIL: after a burst the panel came up without the focus ($(xdotool getwindowfocus getwindowname))"; exit 1; }
xdotool key Escape
await panel_gone || { echo "FAIL: after a burst Escape left the panel up"; cat "$work/launcher.log"; exit 1; }

stop_launcher
if kill -0 "$launcher" 2>/dev/null; then echo "FAIL: SIGTERM did not end the launcher"; exit 1; fi
echo "PASS: the panel came up in front with the focus in the search field"
