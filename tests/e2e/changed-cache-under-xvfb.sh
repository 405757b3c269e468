#!/usr/bin/env bash
# The index's cache changed under the running launcher, and the cache and the index not being
# files at all. With the cache rewritten in place and then cut short while the panel reads from
# it, the panel still finds and opens what the index holds and the launcher keeps running. With a
# FIFO, a socket or a link to a FIFO at the cache's and at the index's paths, the launcher comes up,
# scans anew, finds and opens a document, and ends on SIGTERM. (quorvel-query's side of the same is
# tested in tests/search/QueryToolTest.cpp.)
#
# Usage: changed-cache-under-xvfb.sh BUNDLE
set -euo pipefail

bundle=$1
executable="$bundle/Contents/MacOS/Quorvel Launcher 2"
query="$(dirname "$bundle")/quorvel-query"
. "$(dirname "$0")/common.sh"
use_private_bus "$@"
require_tools Xvfb openbox xdotool xprop dbus-send python3

start_in_scratch_home
export XDG_DATA_DIRS="$work/share"
preferences="$HOME/Library/Preferences"
settings="$preferences/org.quorvel.launcher.plist"
index="$preferences/Quorvel Launcher Index"
cache="$XDG_CACHE_HOME/quorvel/Quorvel Launcher Index.cache"
document="$HOME/Documents/Zephyr Forecast.txt"
applications="$XDG_DATA_HOME/applications"
mkdir -p "$HOME/Documents" "$applications" "$XDG_DATA_DIRS/applications" "$XDG_CONFIG_HOME"
settle_as_a_later_start
echo "A fine day." > "$document"
# Opening a text document runs this instead of whatever the machine has.
printf '#!/bin/sh\necho "$1" >> "%s/opened"\n' "$work" > "$work/open-text"
chmod +x "$work/open-text"
printf '[Desktop Entry]\nType=Application\nName=Text Opener\nNoDisplay=true\nMimeType=text/plain;\nExec=%s %%f\n' \
  "$work/open-text" > "$applications/text-opener.desktop"
printf '[Default Applications]\ntext/plain=text-opener.desktop\n' > "$XDG_CONFIG_HOME/mimeapps.list"

# The launcher's log follows at exit (common.sh).
fail() { echo "FAIL: $*"; exit 1; }
panel_gone() { ! panel_shown; }
focused() { [ "$(xdotool getwindowfocus)" = "$panel" ]; }
summon() {
  wake_up
  await panel_shown || fail "the wake-up notification brought no panel ($1)"
  panel=$(find_window '^Quorvel Launcher$')
  await focused || fail "the panel came up without the focus ($1)"
}
opened_count() { [ -f "$work/opened" ] && wc -l < "$work/opened" || echo 0; }
opened_more_than() { [ "$(opened_count)" -gt "$1" ]; }
# Summons the panel, types the document's name and opens the match; the document must open.
open_document() {
  local before
  before=$(opened_count)
  summon "$1"
  xdotool key ctrl+a
  xdotool type --delay 40 "zephyr"
  xdotool key Return
  await panel_gone || fail "Return left the panel up ($1)"
  await opened_more_than "$before" || fail "the document was not opened ($1)"
  process_runs "$launcher" || fail "the launcher ended ($1)"
}
ended() { ! process_runs "$launcher"; }
# SIGTERM, then a generous wait of the clock: it catches a launcher that never ends.
terminate_launcher() {
  kill -TERM "$launcher"
  await_for 20 ended || fail "SIGTERM did not end the launcher ($1)"
}

# An index of many items, so that the cache spans many pages, and its cache, made by a query.
python3 - "$index" "$document" <<'PY'
import plistlib, sys
items = [{"name": "Item %d" % i, "type": "doc", "path": "/nowhere/%d" % i} for i in range(20000)]
items.append({"name": "Zephyr Forecast.txt", "type": "doc", "path": sys.argv[2]})
with open(sys.argv[1], "wb") as out:
    plistlib.dump(items, out, fmt=plistlib.FMT_XML, sort_keys=True)
PY
[ "$("$query" --count zephyr)" = "Single Match." ] || fail "quorvel-query does not find the document"
[ -s "$cache" ] || fail "quorvel-query wrote no cache"

start_display
start_launcher
await_start panel_shown || fail "no panel at start"
panel=$(find_window '^Quorvel Launcher$')
xdotool key Escape
await panel_gone || fail "Escape left the panel up"
open_document "the cache as written"

# In place, as a program writing into the file or `truncate` leaves it: the same file.
python3 - "$cache" <<'PY'
import os, sys
with open(sys.argv[1], "r+b") as cache:
    size = os.fstat(cache.fileno()).st_size
    cache.seek(96)
    cache.write(b"\xff" * (size - 96))
PY
open_document "the cache rewritten in place"
truncate -s 100 "$cache"
open_document "the cache cut short in place"
terminate_launcher "after the cache changed"

# Not files: each kind at both paths; the launcher reads them as unreadable and scans anew.
plant() {
  rm -f "$2" "$2 fifo"
  case $1 in
    fifo) mkfifo "$2" ;;
    socket) python3 -c 'import socket, sys; socket.socket(socket.AF_UNIX).bind(sys.argv[1])' "$2" ;;
    link) mkfifo "$2 fifo"; ln -s "$2 fifo" "$2" ;;
  esac
}
for kind in fifo socket link; do
  plant "$kind" "$index"
  plant "$kind" "$cache"
  start_launcher
  await_start panel_shown || fail "no panel at start with a $kind at the index's path"
  panel=$(find_window '^Quorvel Launcher$')
  await_start test -f "$index" || fail "no index scanned in place of the $kind"
  xdotool key Escape
  await panel_gone || fail "Escape left the panel up"
  open_document "a $kind at the index's and the cache's paths"
  terminate_launcher "with a $kind at the paths"
done
echo "PASS: a cache changed in place and FIFOs, sockets and links to FIFOs at the cache and the index never stopped the launcher"
