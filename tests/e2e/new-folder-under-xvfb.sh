#!/usr/bin/env bash
# A folder of applications made while the launcher runs, as on a fresh account: the launcher
# starts without ~/.local (so without ~/.local/share/applications/), then that folder is made
# and a desktop entry copied into it. The entry must reach the index without a scan command.
# It is expected within about three seconds; the wait allows far more, so that a busy machine
# cannot fail the run, and says how long it took.
#
# Usage: new-folder-under-xvfb.sh BUNDLE
set -euo pipefail

bundle=$1
executable="$bundle/Contents/MacOS/Quorvel Launcher 2"
. "$(dirname "$0")/common.sh"
use_private_bus "$@"
require_tools Xvfb openbox xdotool xprop dbus-send

start_in_scratch_home
export XDG_DATA_DIRS="$work/share"
mkdir -p "$HOME/Documents" "$XDG_DATA_DIRS/applications" "$work/incoming"
settle_as_a_later_start
printf '[Desktop Entry]\nType=Application\nName=Late Arrival\nExec=/bin/true\n' > "$work/incoming/late-arrival.desktop"
[ ! -e "$HOME/.local" ] || { echo "FAIL: the scratch home is not fresh"; exit 1; }

index="$HOME/Library/Preferences/Quorvel Launcher Index"
index_has() { grep -qF "$1" "$index" 2>/dev/null; }

start_display
start_launcher_with_index

made=$(now_us)
mkdir -p "$XDG_DATA_HOME/applications"
cp "$work/incoming/late-arrival.desktop" "$XDG_DATA_HOME/applications/"
await_for 30 index_has "Late Arrival" \
  || { echo "FAIL: the entry of a folder made while the launcher runs was not indexed"; exit 1; }
echo "the new folder's entry was indexed after $((($(now_us) - made) / 1000)) ms"
grep -q "Scanning every location" "$work/launcher.log" && echo "(by a full scan: $(grep "Scanning every location" "$work/launcher.log" | tail -1))"
stop_launcher
echo "PASS: a folder of applications made while the launcher runs is watched"
