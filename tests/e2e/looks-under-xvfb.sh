#!/usr/bin/env bash
# The panel's looks for real, on a virtual X display with a window manager and a compositing
# manager: a long name selected, the mode pop-up open, a scan running, an application without an
# icon, the panel after the compositor has gone, and the panel at a scale factor of 2. Each case
# also checks what can be checked from outside: the panel's window keeps its size, and without a
# compositor it carries the card's shape.
#
# Usage: looks-under-xvfb.sh BUNDLE [SCREENSHOT_FOLDER]
set -euo pipefail

bundle=$1
shots=${2:-}
executable="$bundle/Contents/MacOS/Quorvel Launcher 2"
. "$(dirname "$0")/common.sh"
require_tools Xvfb openbox xcompmgr xdotool xprop import convert dbus-send

start_in_scratch_home
export XDG_DATA_DIRS="$work/share"

mkdir -p "$HOME/Documents/Reports" "$HOME/Library/Preferences" "$HOME/Library/PreferencePanes" \
         "$XDG_DATA_HOME/applications" "$XDG_DATA_DIRS/applications"
# Not a first start, and the companion pane is current: start-up shows no alerts.
cat > "$HOME/Library/Preferences/org.quorvel.launcher.plist" <<'PLIST'
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>firstLaunchVersion</key>
	<integer>2001</integer>
</dict>
</plist>
PLIST
cp -R "$bundle/Contents/Resources/Components/Quorvel Preferences.prefPane" "$HOME/Library/PreferencePanes/"

touch "$HOME/Documents/Reports/2024-05-01_quarterly_financial_report_final_v3.pdf" \
      "$HOME/Documents/Reports/2024-04-02_board_meeting_minutes_and_resolutions_signed_copy.odt" \
      "$HOME/Documents/Reports/2024 budget.ods" \
      "$HOME/Documents/Reports/$(printf 'new\nyear plan.txt')"
# Enough files that a scan lasts long enough to be seen.
mkdir -p "$HOME/Documents/Archive"
(cd "$HOME/Documents/Archive" && for d in $(seq 40); do mkdir "box $d"; (cd "box $d" && seq 600 | sed 's/$/ scan.txt/' | xargs -d '\n' touch); done)

icons="$XDG_DATA_DIRS/icons/hicolor/64x64/apps"
mkdir -p "$icons"
cp /usr/share/icons/hicolor/index.theme "$XDG_DATA_DIRS/icons/hicolor/" 2>/dev/null || true
convert -size 64x64 xc:none -fill '#3aa66a' -draw 'roundrectangle 4,4 60,60 14,14' -fill white \
  -font DejaVu-Sans-Bold -pointsize 34 -gravity center -annotate 0 "M" "$icons/maps.png"
entry() {
  printf '[Desktop Entry]\nType=Application\nName=%s\nExec=/bin/true\n%s' "$1" "$3" > "$XDG_DATA_HOME/applications/$2.desktop"
}
entry "Maps" maps "Icon=maps"$'\n'
entry "Orbit Tracker" orbit-tracker ""                           # names no icon
entry "Orbit Simulator" orbit-simulator "Icon=orbit-simulator"$'\n' # the theme lacks it

# The panel and a margin of desktop around it.
shot() {
  local panel geometry
  panel=$(find_window '^Quorvel Launcher$')
  eval "$(xdotool getwindowgeometry --shell "$panel")"
  [ -z "$shots" ] || import -window root -crop "$((WIDTH + 80))x$((HEIGHT + 80))+$((X - 40))+$((Y - 40))" +repage "$shots/$1"
  echo "$WIDTH $HEIGHT" > "$work/size"
}
expect_size() {
  [ "$(cat "$work/size")" = "$1" ] || { echo "FAIL: $2: the panel is $(cat "$work/size"), not $1"; exit 1; }
}
start_launcher() {
  env "$@" QT_QPA_PLATFORM=xcb "$executable" >>"$work/launcher.log" 2>&1 &
  launcher=$!
  pids+=($launcher)
  await panel_shown || { echo "FAIL: no panel at start"; cat "$work/launcher.log"; exit 1; }
  await test -f "$HOME/Library/Preferences/Quorvel Launcher Index" || { echo "FAIL: no index written"; exit 1; }
}
stop_launcher() {
  kill -TERM "$launcher"
  for _ in $(seq 50); do kill -0 "$launcher" 2>/dev/null || break; sleep 0.1; done
}
search() { xdotool key ctrl+a; xdotool type --delay 40 "$1"; sleep 0.6; }

# A large screen, so that the panel at a scale factor of 2 fits as well.
display=:$((50 + RANDOM % 200))
Xvfb "$display" -screen 0 2560x1600x24 -nolisten tcp -noreset >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display
await xdotool getmouselocation || { echo "FAIL: the virtual display did not start"; exit 1; }
XDG_DATA_DIRS=/usr/local/share:/usr/share openbox >/dev/null 2>&1 &
pids+=($!)
xcompmgr >/dev/null 2>&1 &
compositor=$!
pids+=($compositor)
# A pattern drawn with a pixmap (which xcompmgr paints, unlike a solid colour) shows the translucency.
xsetroot -mod 16 16 -fg '#36566f' -bg '#3b5c7a' 2>/dev/null || true
sleep 0.5

start_launcher
# The first scan of a fresh home is done before anything is searched.
sleep 4

search "2024-05"
shot panel-long-name.png
expect_size "680 440" "a long name"
search "2024"
xdotool key Down; sleep 0.3
shot panel-long-name-next.png
expect_size "680 440" "the next long name"

search "orbit tr"
shot panel-app-without-icon.png
search "new"
shot panel-line-break.png

# The mode pop-up, opened with the mouse.
search "2024"
panel=$(find_window '^Quorvel Launcher$')
eval "$(xdotool getwindowgeometry --shell "$panel")"
xdotool mousemove $((X + WIDTH - 80)) $((Y + 44)) click 1
sleep 0.6
shot panel-popup.png
xdotool key Escape; sleep 0.3

# A scan running.
xdotool key ctrl+shift+s
sleep 0.4
shot panel-scanning.png
expect_size "680 440" "a scan running"
sleep 6

# The compositor goes away while the panel is up: the panel takes the card's shape.
kill "$compositor"
sleep 3
panel=$(find_window '^Quorvel Launcher$')
shot panel-no-compositor.png
shaped() { xwininfo -shape -id "$panel" 2>/dev/null | grep -q 'Window shape extents'; }
not_shaped() { xwininfo -shape -id "$panel" 2>/dev/null | grep -q 'No window shape defined'; }
await shaped || { echo "FAIL: without a compositor the panel has no shape"; exit 1; }
xcompmgr >/dev/null 2>&1 &
pids+=($!)
await not_shaped || { echo "FAIL: the compositor came back and the panel kept its shape"; exit 1; }

# A scale factor of 2.
stop_launcher
start_launcher QT_SCALE_FACTOR=2
sleep 2
search "2024-05"
shot panel-scale-2.png
expect_size "1360 880" "a scale factor of 2"
stop_launcher
echo "PASS: the panel kept its size and was photographed in every case"
