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
