#!/usr/bin/env bash
# A full disk for real: the Preferences folder (index, history, settings) on a small tmpfs. One
# launch with room, then the disk filled up and three launches from the panel, each summons
# reading the history anew; once there is room again, the next dismissal stores all four launches
# and the search term typed last. Needs root (to mount); skipped otherwise.
#
# Usage: full-disk-under-xvfb.sh BUNDLE
set -euo pipefail

bundle=$1
executable="$bundle/Contents/MacOS/Quorvel Launcher 2"
. "$(dirname "$0")/common.sh"
[ "$(id -u)" -eq 0 ] || { echo "SKIP: mounting the small disk needs root"; exit 77; }
use_private_bus "$@"
require_tools Xvfb openbox xdotool xprop dbus-send mount umount

start_in_scratch_home
export XDG_DATA_DIRS="$work/share"
preferences="$HOME/Library/Preferences"
history="$preferences/Quorvel Launcher History"
settings="$preferences/org.quorvel.launcher.plist"
mkdir -p -m 700 "$HOME/Library" "$preferences"
mount -t tmpfs -o size=1m,mode=0700 tmpfs "$preferences" || { echo "SKIP: no tmpfs could be mounted"; exit 77; }
# The mount goes before the scratch home does, after the processes that may use it.
finish() {
  local status=$?
  set +e
  end_processes "${pids[@]}"
  pids=()
  umount "$preferences" || umount -l "$preferences"
  (exit "$status")
  end_scratch_home
}
trap finish EXIT

applications="$XDG_DATA_HOME/applications"
mkdir -p "$applications" "$XDG_DATA_DIRS/applications"
settle_as_a_later_start
# The application launched: a real process that says each time it ran.
printf '#!/bin/sh\necho ran >> "%s/launches"\n' "$work" > "$work/zephyr-tool"
chmod +x "$work/zephyr-tool"
printf '[Desktop Entry]\nType=Application\nName=Zephyr Tool\nExec=%s\n' "$work/zephyr-tool" \
  > "$applications/zephyr-tool.desktop"

fail() { echo "FAIL: $*"; exit 1; }
panel_gone() { ! panel_shown; }
focused() { [ "$(xdotool getwindowfocus)" = "$panel" ]; }
summon() {
  wake_up
  await panel_shown || fail "the wake-up notification brought no panel"
  panel=$(find_window '^Quorvel Launcher$')
  await focused || fail "the panel came up without the focus"
}
# How many lines of file $2 hold $1 (0 for no file).
count_in() { local n; n=$(grep -c -- "$1" "$2" 2>/dev/null) || true; echo "${n:-0}"; }
launches_ran() { [ "$(count_in ran "$work/launches")" -eq "$1" ]; }
times_stored() { [ "$(count_in '<real>' "$history")" -eq "$1" ]; }
failed_writes() { [ "$(count_in 'Could not write the launch history' "$work/launcher.log")" -ge "$1" ]; }
# Return opens the match and the panel goes; before the list holds the tool (the start-up scan
# may still be handing it over) Return only beeps, and is pressed again.
return_opens() {
  xdotool key Return
  for _ in 1 2 3 4; do panel_gone && return 0; sleep 0.1; done
  return 1
}
# Types the term, opens the match and waits until the application has run.
launch() {
  xdotool key ctrl+a
  xdotool type --delay 40 "$1"
  await return_opens || fail "Return left the panel up"
  await launches_ran "$2" || fail "launch $2 did not run the application"
}

terms=(zephyr zep zeph zephy) # all of them begin the tool's name; the last must be stored
start_display
start_launcher_with_index
panel=$(find_window '^Quorvel Launcher$')
await focused || fail "the panel came up without the focus at start"
launch "${terms[0]}" 1
await times_stored 1 || fail "the first launch was not stored while there was room"

# The disk fills up: a file takes every byte that is left.
dd if=/dev/zero of="$preferences/.filler" bs=4k 2>/dev/null || true
for n in 2 3 4; do
  summon
  launch "${terms[n - 1]}" "$n"
  await failed_writes $((n - 1)) || fail "launch $n: the history write did not fail on the full disk"
done
times_stored 1 || fail "the full disk took a launch"
grep -q 'lock file .* could not be created (No space left on device)' "$work/launcher.log" \
  || fail "the settings' failure on the full disk was not said as it happened"

# Room again: the next dismissal stores what the full disk refused.
rm -f "$preferences/.filler"
summon
xdotool key Escape
await panel_gone || fail "Escape left the panel up"
await times_stored 4 || fail "after the disk had room again $(count_in '<real>' "$history") launches were stored, not 4"
await grep -q '<string>zephy</string>' "$settings" || fail "the last search term was not stored once there was room"
stop_launcher
echo "PASS: four launches and the last term stored, three of them made on a full disk"
