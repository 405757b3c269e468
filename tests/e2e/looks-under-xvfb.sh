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
use_private_bus "$@"
require_tools Xvfb openbox xcompmgr xdotool xprop import convert dbus-send

start_in_scratch_home
export XDG_DATA_DIRS="$work/share"

mkdir -p "$HOME/Documents/Reports" "$XDG_DATA_HOME/applications" "$XDG_DATA_DIRS/applications"
settle_as_a_later_start

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
# The pauses after typing and keys give the panel time to draw before it is photographed.
search() { xdotool key ctrl+a; xdotool type --delay 40 "$1"; sleep 0.6; }
index="$HOME/Library/Preferences/Quorvel Launcher Index"
index_has() { grep -qF "$1" "$index" 2>/dev/null; }
# The index as a file: a scan writes a new one in its place.
index_file() { stat -c %i "$index" 2>/dev/null; }
panel_focused() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$(find_window '^Quorvel Launcher$')" ]; }

# A large screen, so that the panel at a scale factor of 2 fits as well.
start_display 2560x1600x24
start_compositor
# A pattern drawn with a pixmap (which xcompmgr paints, unlike a solid colour) shows the translucency.
xsetroot -mod 16 16 -fg '#36566f' -bg '#3b5c7a' 2>/dev/null || true

start_launcher_with_index
# The first scan of a fresh home is done before anything is searched.
await_start index_has "2024-05-01_quarterly_financial_report_final_v3.pdf" \
  || { echo "FAIL: the first scan did not index the documents"; exit 1; }
await panel_focused || { echo "FAIL: the panel came up without the focus"; exit 1; }

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

# A scan running (photographed a moment after it starts), then done.
before_scan=$(index_file)
scan_done() { [ "$(index_file)" != "$before_scan" ]; }
xdotool key ctrl+shift+s
sleep 0.4
shot panel-scanning.png
expect_size "680 440" "a scan running"
await_start scan_done || { echo "FAIL: the scan wrote no new index"; exit 1; }

# The compositor goes away while the panel is up: the panel takes the card's shape.
kill "$compositor"
panel=$(find_window '^Quorvel Launcher$')
shaped() { xwininfo -shape -id "$panel" 2>/dev/null | grep -q 'Window shape extents'; }
not_shaped() { xwininfo -shape -id "$panel" 2>/dev/null | grep -q 'No window shape defined'; }
await shaped || { echo "FAIL: without a compositor the panel has no shape"; exit 1; }
shot panel-no-compositor.png
start_compositor
await not_shaped || { echo "FAIL: the compositor came back and the panel kept its shape"; exit 1; }

# A scale factor of 2.
stop_launcher
start_launcher_with_index QT_SCALE_FACTOR=2
await panel_focused || { echo "FAIL: the panel came up without the focus at a scale of 2"; exit 1; }
search "2024-05"
shot panel-scale-2.png
expect_size "1360 880" "a scale factor of 2"
stop_launcher
echo "PASS: the panel kept its size and was photographed in every case"
