#!/usr/bin/env bash
# The scenario on sway (wlroots) without a screen (headless backend, software rendering), Xwayland
# on: the panel runs through Xwayland; keys are typed through sway's virtual keyboard (wtype), the
# focus moves by sway's own command. sway has no global-shortcuts portal: the hot key is a bindsym
# to the wake-up command that the hot-key component tells the user to bind.
#
# Usage: sway.sh BUNDLE
set -euo pipefail
. "$(dirname "$0")/scenario.sh"
export XDG_CURRENT_DESKTOP=sway

start_desktop() {
  desktop_requires sway swaymsg wtype Xwayland python3 setpriv
  export XDG_SESSION_TYPE=wayland
  # sway refuses to run as root: it runs as nobody, in a folder of nobody's inside the run's own,
  # with a runtime folder of its own for its sockets (clients are given their full paths).
  mkdir -p "$work/sway/run"
  chmod 700 "$work/sway/run"
  write_sway_config >"$work/sway/config"
  desktop_requires xhost
  [ "$(id -u)" -ne 0 ] || { chown -R nobody:nogroup "$work/sway" && chmod 711 "$work"; }
  as_sway_user env XDG_RUNTIME_DIR="$work/sway/run" DBUS_SESSION_BUS_ADDRESS="unix:path=$work/sway/bus" WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 \
    WLR_RENDERER=pixman sway --config "$work/sway/config" >"$work/sway.log" 2>&1 &
  pids+=($!)
  await_start test -s "$work/sway/session.env" || fail_step "sway started no session" || return
  set -a
  . "$work/sway/session.env"
  set +a
  export WAYLAND_DISPLAY="$work/sway/run/$WAYLAND_DISPLAY"
  await_start window_manager_runs || fail_step "sway's Xwayland has no window manager" || return
}
as_sway_user() {
  if [ "$(id -u)" -eq 0 ]; then
    setpriv --reuid=nobody --regid=nogroup --clear-groups "$@"
  else
    "$@"
  fi
}
write_sway_config() {
  cat <<CONFIG
xwayland enable
output HEADLESS-1 mode 1280x800 position 0 0
exec "$work/sway/session.sh"
include "$work/sway/hot-key"
CONFIG
  : >"$work/sway/hot-key"
  # Once Xwayland is up: it lets the run's own user in (it admits only sway's), and the session's
  # display names go out to the run.
  cat >"$work/sway/session.sh" <<SESSION
#!/bin/sh
xhost +si:localuser:$(id -un) >/dev/null
env | grep -E '^(WAYLAND_DISPLAY|DISPLAY|SWAYSOCK)=' >"$work/sway/session.env.part"
mv "$work/sway/session.env.part" "$work/sway/session.env"
SESSION
  chmod +x "$work/sway/session.sh"
}

# sway's user reaches the session bus through a socket in a folder of its own (the run's runtime
# folder is the run's user's alone): the wake-up command of its key binding runs as that user.
eval "$(declare -f write_bus_config | sed '1s/write_bus_config/write_bus_config_of_the_driver/')"
write_bus_config() {
  if [ "$1" != session ]; then
    write_bus_config_of_the_driver "$@"
    return
  fi
  mkdir -p "$work/sway"
  write_bus_config_of_the_driver "$@" | sed "s#^  <listen>.*#&\\n  <listen>unix:path=$work/sway/bus</listen>#"
}

# Keys as sway's virtual keyboard types them, in xdotool's notation: "Escape", "ctrl+a", "Return".
# Each wtype makes a new virtual keyboard, and Xwayland drops keys that come before it has taken
# that keyboard's keymap: wtype waits a moment after making it (-s) before the first key.
press_key() {
  local chord key arguments=()
  for chord in "$@"; do
    IFS=+ read -ra keys <<<"$chord"
    for key in "${keys[@]:0:${#keys[@]}-1}"; do arguments+=(-M "$key"); done
    arguments+=(-k "${keys[-1]}")
    for key in "${keys[@]:0:${#keys[@]}-1}"; do arguments+=(-m "$key"); done
  done
  wtype -s "$keymap_wait" "${arguments[@]}" 2>/dev/null
}
keymap_wait=300
type_text() { wtype -s "$keymap_wait" -d 50 "$1" 2>/dev/null; }
click_into() { swaymsg "[id=$1] focus" >/dev/null 2>&1; }

# sway stacks no X windows of its own: floating windows lie above the tiled ones, in the order of
# its tree (the focused one last); bottom first, as X window ids.
stacking_order() {
  swaymsg -t get_tree 2>/dev/null | python3 -c '
import json, sys
tiled, floating = [], []
def walk(node, into):
    if node.get("window"):
        into.append(node["window"])
    for child in node.get("nodes", []):
        walk(child, into)
    for child in node.get("floating_nodes", []):
        walk(child, floating)
walk(json.load(sys.stdin), tiled)
print("\n".join(str(w) for w in tiled + floating))'
}

# What the hot-key component tells the user to bind, bound as the user would: sway's bindsym.
hot_key_ready() {
  local status command
  status=$(gdbus call --session -d org.quorvel.HotKey -o /org/quorvel/HotKey -m org.quorvel.HotKey.Status 2>/dev/null) || return 1
  case "$status" in "('desktop-shortcut'"*) ;; *) return 1 ;; esac
  command=$(sed -n "s/.*by hand: \(dbus-send .*\)\")\$/\1/p" <<<"$status" | sed "s/\\\\'/'/g")
  [ -n "$command" ] || return 1
  echo "bindsym F1 exec $command" >"$work/sway/hot-key"
  swaymsg reload >/dev/null
}
press_hot_key() { wtype -s "$keymap_wait" -k F1; }

# A rootless Xwayland has no picture of its root window: the panel's own window is taken.
take_screenshot() { import -window "$(panel)" -resize 50% "$1" 2>/dev/null; }

run_scenario "$@"
