#!/usr/bin/env bash
# The panel and the preferences window as a screen reader meets them: the launcher under a virtual
# display on a private bus, Qt's accessibility bridge switched on, and an accessibility bus of the
# run's own (at-spi-bus-launcher, started on the private bus and ended with the run). Over AT-SPI
# the search field must be named and hold what was typed, the selected match and the result count
# must be readable, the item display's pictures must be named after the match and its kind, and
# no control of either window may be left without a name.
#
# Usage: screen-reader-under-xvfb.sh BUNDLE
set -euo pipefail

bundle=$1
executable="$bundle/Contents/MacOS/Quorvel Launcher 2"
. "$(dirname "$0")/common.sh"
use_private_bus "$@"
require_tools Xvfb openbox xdotool xprop dbus-send
bus_launcher=/usr/libexec/at-spi-bus-launcher
[ -x "$bus_launcher" ] || { echo "SKIP: at-spi2-core is not installed"; exit 77; }
# The Debian package installs the bindings for the system's Python, whatever else is on PATH.
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || { echo "SKIP: python3-pyatspi is not installed"; exit 77; }
reader="$(cd "$(dirname "$0")/../support" && pwd)/accessible-tree.py"

start_in_scratch_home
export XDG_DATA_DIRS="$work/share"
mkdir -p "$HOME/Documents" "$XDG_DATA_DIRS/applications"
settle_as_a_later_start
touch "$HOME/Documents/Mars Mission Plan.txt" "$HOME/Documents/Mars Rover Notes.md" \
      "$HOME/Documents/Meeting Notes.md"
fail() { echo "FAIL: $*"; [ -s "$work/at-spi.log" ] && { echo "--- at-spi"; cat "$work/at-spi.log"; }; [ -s "$work/tree" ] && { echo "--- what AT-SPI read"; cat "$work/tree"; }; exit 1; }

start_display
# Its socket lies in the scratch runtime folder; it ends its bus, and the registry on it, when it
# ends. It reads the desktop's accessibility setting through GSettings: the machine's schemas, and
# a store in memory rather than the user's.
XDG_DATA_DIRS=/usr/share GSETTINGS_BACKEND=memory "$bus_launcher" --launch-immediately >>"$work/at-spi.log" 2>&1 &
pids+=($!)
accessibility_bus() {
  dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress 2>/dev/null \
    | sed -n 's/^ *string "\(.\+\)"$/\1/p' | grep .
}
# Qt and the reader both ask the session bus for it (AT_SPI_BUS_ADDRESS would keep Qt's bridge
# from registering the application).
await accessibility_bus || fail "at-spi-bus-launcher gave no accessibility bus"

start_launcher_with_index QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
panel=$(find_window '^Quorvel Launcher$')
await eval '[ "$(xdotool getwindowfocus)" = "$panel" ]' || fail "the panel has no keyboard focus"
xdotool type --delay 60 "mars"

# The tree as AT-SPI has it now, in $work/tree; lines are role, name, text and marks, tab-separated.
read_tree() { /usr/bin/python3 "$reader" "Quorvel Launcher" >"$work/tree" 2>>"$work/at-spi.log"; }
# Whether an object of that role, name and text (any, when not given) is in the tree.
in_tree() { grep -qP "^ *\Q$1\E\t\Q$2\E\t${3:+\Q$3\E}" "$work/tree"; }
tree_has() { read_tree && in_tree "$@"; }
selected_match() { sed -n 's/^ *table cell\t\([^\t]*\)\t[^\t]*\t.*selected.*/\1/p' "$work/tree"; }
unnamed() { sed -n '/^unnamed:$/,$p' "$work/tree" | tail -n +2; }

await_start tree_has text Search mars || fail "no search field named \"Search\" holding the typed text"
await tree_has label "2 Matching Items." || fail "the result count is not readable"
in_tree table Matches || fail "the match table is not named \"Matches\""
first=$(selected_match)
case $first in "Mars Mission Plan.txt" | "Mars Rover Notes.md") ;; *) fail "the selected match reads \"$first\"" ;; esac
in_tree image "$first" || fail "the item's icon is not named after the selected match"
in_tree image Document || fail "the badge does not say the item's kind"
[ -z "$(unnamed)" ] || fail "the panel has controls without a name: $(unnamed)"

# Another match selected: what the screen reader reads follows.
xdotool key Down
next_selected() { read_tree && [ -n "$(selected_match)" ] && [ "$(selected_match)" != "$first" ]; }
await next_selected || fail "Down did not change the selected match AT-SPI reads"
second=$(selected_match)
in_tree image "$second" || fail "the icon's name did not follow the selection to \"$second\""

xdotool key ctrl+comma
await_start eval '[ -n "$(find_window "^Quorvel Launcher Preferences$")" ]' || fail "Ctrl+, opened no preferences window"
await tree_has table "Search locations" || fail "the preferences window's tables are not named"
in_tree "push button" "Add Search Location" || fail "the + button does not say what it adds"
[ -z "$(unnamed)" ] || fail "the preferences window has controls without a name: $(unnamed)"

stop_launcher
if kill -0 "$launcher" 2>/dev/null; then fail "SIGTERM did not end the launcher"; fi
echo "PASS: a screen reader reads the search field, the matches, the count and every control's name"
