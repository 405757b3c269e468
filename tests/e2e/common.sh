# Shared by the real runs under Xvfb: sourced, never run. Waiting, finding windows, summoning.

# Skips the run (CTest's skip code 77) when one of the tools is missing.
require_tools() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
  done
}

# Waits until a command succeeds, for at most about ten seconds.
await() { for _ in $(seq 100); do if "$@" >/dev/null 2>&1; then return 0; fi; sleep 0.1; done; return 1; }

# Window searches may meet a window that goes away meanwhile; xdotool then fails: ask again.
find_window() { for _ in 1 2 3 4 5; do xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1 && return 0; sleep 0.1; done; }

panel_shown() { [ -n "$(find_window '^Quorvel Launcher$')" ]; }

# What the hot key posts: the wake-up notification on the session bus.
wake_up() {
  dbus-send --session --type=signal /org/quorvel/DistributedNotification \
    org.quorvel.DistributedNotification.Notification string:"wake up" string:"org.quorvel.launcher"
}

# A scratch folder, $work, removed at exit after the processes listed in pids have been ended;
# HOME and the XDG folders point into it, so a run never touches the user's own files.
start_in_scratch_home() {
  work=$(mktemp -d)
  pids=()
  trap end_scratch_home EXIT
  export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
}
end_scratch_home() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
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
