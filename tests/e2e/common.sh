# Shared by the real runs under Xvfb: sourced, never run. The start-up (a bus, a display, a window
# manager, the launcher), waiting, finding windows, summoning.

# Skips the run (CTest's skip code 77) when one of the tools is missing.
require_tools() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
  done
}

# Microseconds since the epoch, from the shell itself (no process to start on a busy machine).
now_us() { echo "${EPOCHREALTIME/./}"; }
# Waits until a command succeeds, polling every tenth of a second, for at most $1 seconds of the
# clock: a count of polls would stretch with each poll's own cost on a busy machine.
await_for() {
  local deadline=$(($(now_us) + $1 * 1000000))
  shift
  until "$@" >/dev/null 2>&1; do
    [ "$(now_us)" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}
# For at most ten seconds.
await() { await_for 10 "$@"; }
# For at most a minute: start-up on a busy machine may take longer than one await.
await_start() { await_for 60 "$@"; }

# Window searches may meet a window that goes away meanwhile; xdotool then fails: ask again.
find_window() { for _ in 1 2 3 4 5; do xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1 && return 0; sleep 0.1; done; }

# Whether process $1 runs: it exists and is no zombie (what the launcher and the pane start is
# nobody's child here, so once ended it may stay a zombie until something reaps it). The state is
# the field after the last ')' of /proc/PID/stat: the name before it, in parentheses, may hold
# spaces ("QRV HotKey") and parentheses of its own.
process_runs() {
  local stat
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
  stat=${stat##*') '}
  [ -n "$stat" ] && [ "${stat%% *}" != Z ]
}

panel_shown() { [ -n "$(find_window '^Quorvel Launcher$')" ]; }

# The panel's window alone: alerts carry the application's name too, but are dialogs.
is_dialog() { xprop -id "$1" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q DIALOG; }
panel() {
  local window
  for window in $(xdotool search --onlyvisible --name '^Quorvel Launcher$' 2>/dev/null); do
    is_dialog "$window" || { echo "$window"; return 0; }
  done
  return 1
}
panel_focused() { local shown; shown=$(panel) && [ "$(xdotool getwindowfocus 2>/dev/null)" = "$shown" ]; }

# What the hot key posts: the wake-up notification on the session bus.
wake_up() {
  dbus-send --session --type=signal /org/quorvel/DistributedNotification \
    org.quorvel.DistributedNotification.Notification string:"wake up" string:"org.quorvel.launcher"
}

# The tests' bus configuration: no service folders, so nothing installed on the machine (a
# desktop portal, dconf, a desktop's daemons) is started by a call and outlives the run.
test_bus_config="$(cd "$(dirname "${BASH_SOURCE[0]}")/../support" && pwd)/session-bus.conf"

# A session bus of the run's own, so that no other launcher (another run, another test) answers
# its wake-ups and its bus names are free: call it with the script's arguments, first of all;
# it runs the script again under dbus-run-session, which ends the bus when the script ends.
use_private_bus() {
  if [ -z "${QUORVEL_E2E_PRIVATE_BUS:-}" ]; then
    require_tools dbus-run-session
    QUORVEL_E2E_PRIVATE_BUS=1 exec dbus-run-session --config-file="$test_bus_config" -- "$0" "$@"
  fi
}
# The same bus started beside the script rather than around it, exported as
# DBUS_SESSION_BUS_ADDRESS; it ends at exit with the processes listed in pids.
start_private_bus() {
  local address
  require_tools dbus-daemon
  exec 4>"$work/bus"
  dbus-daemon --config-file="$test_bus_config" --nofork --print-address=4 >/dev/null 2>&1 &
  pids+=($!)
  exec 4>&-
  await test -s "$work/bus" || { echo "FAIL: the session bus did not start"; exit 1; }
  address=$(head -1 "$work/bus")
  export DBUS_SESSION_BUS_ADDRESS=$address
}

# A scratch folder, $work, removed at exit after the processes listed in pids have been ended;
# HOME and the XDG folders point into it, so a run never touches the user's own files. A run that
# fails prints the launcher's log. A run still going after QUORVEL_E2E_SECONDS (default 170, below
# CTest's limit, which would end the run without its clean-up) fails then, and cleans up.
start_in_scratch_home() {
  work=$(mktemp -d)
  pids=()
  trap end_scratch_home EXIT
  trap 'echo "FAIL: the run did not end within ${QUORVEL_E2E_SECONDS:-170} s"; exit 1' USR1
  watchdog "${QUORVEL_E2E_SECONDS:-170}" >/dev/null 2>&1 &
  pids+=($!)
  export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share" \
         XDG_CACHE_HOME="$work/home/.cache" XDG_STATE_HOME="$work/home/.local/state" XDG_RUNTIME_DIR="$work/runtime"
  mkdir -p -m 700 "$XDG_RUNTIME_DIR"
}
# Signals the script ($$) after that many seconds; ended before, it takes its sleep with it.
watchdog() {
  local sleeper
  sleep "$1" &
  sleeper=$!
  trap 'kill $sleeper; exit 0' TERM
  wait $sleeper && kill -USR1 $$
}
end_scratch_home() {
  local status=$?
  if [ "$status" -ne 0 ] && [ "$status" -ne 77 ] && [ -s "$work/launcher.log" ]; then
    echo "--- the launcher's log"
    cat "$work/launcher.log"
  fi
  end_processes "${pids[@]}"
  rm -rf "$work"
  exit "$status"
}
# Asks each process to end (SIGTERM); those still running after five seconds are killed. Then
# reaps them, so none is left behind, not even as a zombie.
end_processes() {
  local pid
  for pid in "$@"; do kill "$pid" 2>/dev/null || true; done
  await_for 5 none_runs "$@" || for pid in "$@"; do kill -KILL "$pid" 2>/dev/null || true; done
  wait "$@" 2>/dev/null || true
}
none_runs() { local pid; for pid in "$@"; do ! process_runs "$pid" || return 1; done; }

# Not a first start, and the companion pane of $bundle is current: start-up shows no alerts. Any
# arguments are further lines of the settings' dictionary.
settle_as_a_later_start() {
  mkdir -p "$HOME/Library/Preferences" "$HOME/Library/PreferencePanes"
  {
    cat <<'PLIST'
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
PLIST
    [ $# -eq 0 ] || printf '%s\n' "$@"
    printf '\t<key>firstLaunchVersion</key>\n\t<integer>2001</integer>\n</dict>\n</plist>\n'
  } > "$HOME/Library/Preferences/org.quorvel.launcher.plist"
  cp -R "$bundle/Contents/Resources/Components/Quorvel Preferences.prefPane" "$HOME/Library/PreferencePanes/"
}

# A virtual display of that size (1280x800x24 if none is given) on a number the server finds free,
# exported as DISPLAY, with the window manager running on it; both end at exit. Needs the scratch
# home. -noreset: the server must not reset (and refuse connections for a moment) each time its
# last client, such as xdotool, leaves.
start_display() {
  require_tools Xvfb openbox xdotool xprop
  exec 3>"$work/display"
  Xvfb -displayfd 3 -screen 0 "${1:-1280x800x24}" -nolisten tcp -noreset >/dev/null 2>&1 &
  pids+=($!)
  exec 3>&-
  await test -s "$work/display" || { echo "FAIL: the virtual display did not start"; exit 1; }
  export DISPLAY=":$(head -1 "$work/display")"
  await xdotool getmouselocation || { echo "FAIL: the virtual display does not answer"; exit 1; }
  XDG_DATA_DIRS=/usr/local/share:/usr/share openbox >/dev/null 2>&1 &
  pids+=($!)
  await window_manager_runs || { echo "FAIL: the window manager did not start"; exit 1; }
}
# A window manager that follows the desktop's conventions names its check window on the root.
window_manager_runs() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }

# Starts the compositing manager (xcompmgr) on the display, $compositor its process, and waits
# until it has named its window.
start_compositor() {
  xcompmgr >/dev/null 2>&1 &
  compositor=$!
  pids+=($compositor)
  await compositor_runs || { echo "FAIL: the compositing manager did not start"; exit 1; }
}
compositor_runs() { [ -n "$(xdotool search --name '^xcompmgr$' 2>/dev/null)" ]; }

# Starts $executable on the display, with any VAR=value arguments in its environment, its output
# appended to $work/launcher.log; $launcher is its process, ended at exit.
start_launcher() {
  env "$@" QT_QPA_PLATFORM=xcb "$executable" >>"$work/launcher.log" 2>&1 &
  launcher=$!
  pids+=($launcher)
}
# The same, then waits for the panel and for the index the start-up scan writes.
start_launcher_with_index() {
  start_launcher "$@"
  await_start panel_shown || { echo "FAIL: no panel at start"; exit 1; }
  await_start test -f "$HOME/Library/Preferences/Quorvel Launcher Index" \
    || { echo "FAIL: no index written"; exit 1; }
}
# Asks the launcher to end (SIGTERM) and waits, for at most five seconds, until it has.
stop_launcher() {
  kill -TERM "$launcher"
  for _ in $(seq 50); do kill -0 "$launcher" 2>/dev/null || break; sleep 0.1; done
}

# Closes the visible window of that title the way a user would (Alt+F4 to the window manager); a
# key press can be lost while the window is still being activated, so it asks again, and in the
# end asks the window's program to quit (SIGTERM). Answers 0 once no such window is visible.
close_window() {
  local window attempt
  for attempt in 1 2 3 4 5 6; do
    if [ "$attempt" -eq 6 ]; then
      window=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)
      [ -n "$window" ] && { kill "$(xdotool getwindowpid "$window" 2>/dev/null)" 2>/dev/null || true; }
    fi
    window=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)
    [ -z "$window" ] && return 0
    xdotool windowactivate --sync "$window" key --clearmodifiers alt+F4 2>/dev/null || true
    for _ in $(seq 10); do
      [ -z "$(xdotool search --onlyvisible --name "$1" 2>/dev/null)" ] && return 0
      sleep 0.1
    done
  done
  return 1
}
