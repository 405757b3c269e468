#!/usr/bin/env bash
# Live index updates for real: with the launcher running and no scan command given, a desktop
# entry written into ~/.local/share/applications/ and a document copied into ~/Documents/ are
# found by the panel within three seconds of being written, and a document removed is gone from
# it as soon. For the first two the panel is up, with the term typed, before the file is written.
#
# Usage: live-index-under-xvfb.sh BUNDLE
set -euo pipefail

bundle=$1
executable="$bundle/Contents/MacOS/Quorvel Launcher 2"
. "$(dirname "$0")/common.sh"
use_private_bus "$@"
require_tools Xvfb openbox xdotool xprop dbus-send

start_in_scratch_home
export XDG_DATA_DIRS="$work/share"
preferences="$HOME/Library/Preferences"
settings="$preferences/org.quorvel.launcher.plist"
applications="$XDG_DATA_HOME/applications"
mkdir -p "$HOME/Documents/Reports" "$applications" "$XDG_DATA_DIRS/applications" "$XDG_CONFIG_HOME" \
         "$work/incoming"
settle_as_a_later_start
touch "$HOME/Documents/Reports/Quarterly Report.pdf" "$HOME/Documents/Meeting Notes.txt"
# Opening a text document runs this instead of whatever the machine has.
printf '#!/bin/sh\necho "$1" >> "%s/opened"\n' "$work" > "$work/open-text"
chmod +x "$work/open-text"
printf '[Desktop Entry]\nType=Application\nName=Text Opener\nNoDisplay=true\nMimeType=text/plain;\nExec=%s %%f\n' \
  "$work/open-text" > "$applications/text-opener.desktop"
printf '[Default Applications]\ntext/plain=text-opener.desktop\n' > "$XDG_CONFIG_HOME/mimeapps.list"
echo "A fine day." > "$work/incoming/Zephyr Forecast.txt"

now_ms() { echo $(($(now_us) / 1000)); }
# The launcher's log follows at exit (common.sh).
fail() { echo "FAIL: $*"; exit 1; }
selected_path_is() { grep -qF "<string>$1</string>" "$settings"; }
panel_gone() { ! panel_shown; }
summon() {
  wake_up
  await panel_shown || fail "the wake-up notification brought no panel"
  panel=$(find_window '^Quorvel Launcher$')
  await focused || fail "the panel came up without the focus (focus on $(xdotool getwindowfocus 2>&1))"
}
focused() { [ "$(xdotool getwindowfocus)" = "$panel" ]; }
search() { xdotool key ctrl+a; xdotool type --delay 40 "$1"; }

# Presses Return in the panel until it opens its selection (and goes away), for at most three
# seconds after the file was written at $1 (ms); a press on no match only beeps. Answers how long
# after the write the successful press came.
open_when_found() {
  local written=$1 pressed
  while :; do
    pressed=$(now_ms)
    if [ $((pressed - written)) -gt 3000 ]; then return 1; fi
    xdotool key Return
    for _ in 1 2 3 4; do
      if panel_gone; then echo $((pressed - written)); return 0; fi
      sleep 0.05
    done
  done
}

start_display
start_launcher_with_index
# The start-up scan of a fresh home: the index holds what was there before.
index_has() { grep -qF "$1" "$preferences/Quorvel Launcher Index" 2>/dev/null; }
await_start index_has "Meeting Notes.txt" || fail "no index written at start"
panel=$(find_window '^Quorvel Launcher$')
await focused || fail "the panel came up without the focus at start (focus on $(xdotool getwindowfocus 2>&1))"

# A desktop entry written (in place, as installers do) while the panel shows the term.
search "zephyr w"
entry="$applications/zephyr-weather.desktop"
written=$(now_ms)
printf '[Desktop Entry]\nType=Application\nName=Zephyr Weather\nExec=/bin/true\n' > "$entry"
took=$(open_when_found "$written") || fail "the new desktop entry was not found within 3 s"
await selected_path_is "$entry" || fail "the panel opened something else than the new entry"
echo "desktop entry found after $took ms"

# A document copied into ~/Documents/ while the panel shows the term.
summon
search "zephyr f"
document="$HOME/Documents/Zephyr Forecast.txt"
written=$(now_ms)
cp "$work/incoming/Zephyr Forecast.txt" "$document"
took=$(open_when_found "$written") || fail "the copied document was not found within 3 s"
await selected_path_is "$document" || fail "the panel opened something else than the copied document"
echo "document found after $took ms"

# The document removed while the panel shows it: dismissing the panel leaves no item selected.
summon
selected_path_is "$document" || fail "the panel did not show the document again"
rm "$document"
written=$(now_ms)
# Looking at the panel means taking it away: first wait for the index to lose the document.
for _ in $(seq 60); do index_has "$document" || break; sleep 0.05; done
while :; do
  checked=$(now_ms)
  [ $((checked - written)) -le 3000 ] || fail "the removed document was still found after 3 s"
  xdotool key Escape
  await panel_gone || fail "Escape left the panel up"
  selected_path_is "$document" || break
  summon
done
echo "removed document gone after $((checked - written)) ms"

if grep -q "Scanning every location" "$work/launcher.log"; then
  fail "a watched change made a full scan"
fi
stop_launcher
echo "PASS: the panel found a new desktop entry and a copied document, and lost a removed one, without a scan command"
