#!/usr/bin/env bash
# The scenario on GNOME's shell on Wayland without a screen (gnome-shell --wayland --headless on a
# virtual monitor): the panel runs through Xwayland. GNOME lets no client inject input, so keys are
# pressed for real through mutter's RemoteDesktop API (mutter-keys.py holds the session), and the
# focus moves through the window manager's activation request. GNOME 43 has no global-shortcuts
# portal: the hot key is the custom shortcut the preference pane adds to GNOME's settings, which
# gnome-settings-daemon's media-keys service has the shell grab.
#
# Usage: gnome-wayland.sh BUNDLE
set -euo pipefail
. "$(dirname "$0")/scenario.sh"
. "$(dirname "$0")/gnome-shell.sh"
export XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_DESKTOP=gnome
media_keys=/usr/libexec/gsd-media-keys

start_desktop() {
  desktop_requires gnome-shell gdbus /usr/bin/python3
  [ -x "$media_keys" ] || { skip_every_step "no gnome-settings-daemon"; exit 77; }
  start_private_system_bus
  export XDG_SESSION_TYPE=wayland
  gnome-shell --wayland --headless --virtual-monitor 1280x800 >"$work/gnome-shell.log" 2>&1 &
  pids+=($!)
  await_start grep -q "public X11 display" "$work/gnome-shell.log" || fail_step "gnome-shell started no Xwayland" || return
  export DISPLAY=":$(sed -n 's/.*public X11 display :\([0-9]*\).*/\1/p' "$work/gnome-shell.log" | head -1)"
  await_start xwayland_authority || fail_step "no Xwayland authority file" || return
  export XAUTHORITY WAYLAND_DISPLAY
  XAUTHORITY=$(xwayland_authority)
  WAYLAND_DISPLAY=$(basename "$(ls "$XDG_RUNTIME_DIR"/wayland-[0-9] | head -1)")
  start_key_presser || return
  await_start window_manager_runs || fail_step "gnome-shell manages no X windows" || return
  leave_the_overview || return
  G_MESSAGES_DEBUG=all "$media_keys" >"$work/media-keys.log" 2>&1 &
  pids+=($!)
}
xwayland_authority() { ls "$XDG_RUNTIME_DIR"/.mutter-Xwaylandauth.* 2>/dev/null | head -1 | grep .; }

# mutter-keys.py on two FIFOs, opened read-write here so that neither side waits for the other.
start_key_presser() {
  await_start gdbus introspect --session -d org.gnome.Mutter.RemoteDesktop -o /org/gnome/Mutter/RemoteDesktop \
    || fail_step "mutter offers no RemoteDesktop" || return
  mkfifo "$work/keys.in" "$work/keys.out"
  exec 7<>"$work/keys.in" 8<>"$work/keys.out"
  /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/mutter-keys.py" "$work/keys.in" "$work/keys.out" \
    >"$work/mutter-keys.log" 2>&1 &
  pids+=($!)
}
mutter_keys() {
  local answer
  echo "$*" >&7
  read -r -t 30 answer <&8 || { echo "mutter-keys.py did not answer \"$*\"" >>"$work/mutter-keys.log"; return 1; }
  [ "$answer" = done ] || { echo "$answer" >>"$work/mutter-keys.log"; return 1; }
}
press_key() { mutter_keys key "$@"; }
type_text() { mutter_keys type "$1"; }
# Focus as a pager asks for it: there is no pointer to click with.
click_into() { xdotool windowactivate "$1" 2>/dev/null; }

# The component says the desktop lets no program watch keys; the pane's "Add Shortcut to Desktop
# Settings" puts the launcher's shortcut into GNOME's settings; media-keys has the shell grab it.
hot_key_ready() {
  gdbus call --session -d org.quorvel.HotKey -o /org/quorvel/HotKey -m org.quorvel.HotKey.Status 2>/dev/null \
    | grep -q "^('desktop-shortcut'" || return 1
  [ -n "${shortcut_added:-}" ] || {
    "$bundle/Contents/Resources/Components/Quorvel Preferences.prefPane/Contents/MacOS/Quorvel Preferences" \
      --add-desktop-shortcut >>"$work/hotkey.log" 2>&1 && shortcut_added=1
  } || return 1
  custom_shortcut_grabbed
}
# media-keys took the shortcut up and the shell answered its grab request since.
custom_shortcut_grabbed() {
  awk '/Adding new custom key binding .*quorvel-launcher/ { added = 1 } added && /Grab call completed/ { grabbed = 1 }
    END { exit !grabbed }' "$work/media-keys.log"
}
press_hot_key() { press_key F1; }

# A rootless Xwayland has no picture of its root window: the panel's own window is taken.
take_screenshot() { import -window "$(panel)" -resize 50% "$1" 2>/dev/null; }

run_scenario "$@"
