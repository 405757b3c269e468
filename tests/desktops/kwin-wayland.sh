#!/usr/bin/env bash
# The scenario on KDE's compositor on Wayland (kwin_wayland on a virtual output, Xwayland on),
# with the desktop portal and KDE's portal backend: the panel runs through Xwayland, the hot key
# is the portal's global shortcut, kept by the shortcut service inside kwin (kglobalaccel).
# kwin has no Debian tool for its fake-input protocol, so the hot-key step has kglobalaccel
# trigger the shortcut over its D-Bus interface, as a key press would; X clients get their keys
# and clicks through Xwayland's XTEST, and the focus moves through the window manager's
# activation request.
#
# Usage: kwin-wayland.sh BUNDLE
set -euo pipefail
. "$(dirname "$0")/scenario.sh"
export XDG_CURRENT_DESKTOP=KDE KDE_SESSION_VERSION=5 KDE_FULL_SESSION=true
portal=/usr/libexec/xdg-desktop-portal
portal_kde=/usr/lib/x86_64-linux-gnu/libexec/xdg-desktop-portal-kde

start_desktop() {
  desktop_requires kwin_wayland Xwayland gdbus dbus-update-activation-environment
  [ -x "$portal" ] && [ -x "$portal_kde" ] || { skip_every_step "no xdg-desktop-portal(-kde)"; exit 77; }
  # The installed kwin_wayland carries a file capability this kind of sandbox refuses to run; a
  # copy has none, and keeps the name its platform plugin insists on.
  mkdir -p "$work/kwin"
  cp "$(command -v kwin_wayland)" "$work/kwin/kwin_wayland"
  write_session_script >"$work/kwin/session.sh"
  chmod +x "$work/kwin/session.sh"
  "$work/kwin/kwin_wayland" --virtual --xwayland --width 1280 --height 800 \
    --exit-with-session "$work/kwin/session.sh" >"$work/kwin.log" 2>&1 &
  pids+=($!)
  await_start test -s "$work/kwin/session.env" || fail_step "kwin_wayland started no session" || return
  set -a
  . "$work/kwin/session.env"
  set +a
  export XDG_SESSION_TYPE=wayland
  await_start window_manager_runs || fail_step "kwin_wayland manages no X windows" || return
  await_start portal_offers_shortcuts || fail_step "the portal offers no global shortcuts" || return
}

# What runs inside the session: it hands its display names out, makes them known to what the bus
# starts, starts the portal and its KDE backend, and lasts as long as the session.
write_session_script() {
  cat <<SESSION
#!/usr/bin/env bash
env | grep -E '^(WAYLAND_DISPLAY|DISPLAY|XAUTHORITY)=' >"$work/kwin/session.env.part"
XDG_SESSION_TYPE=wayland dbus-update-activation-environment WAYLAND_DISPLAY DISPLAY XAUTHORITY XDG_CURRENT_DESKTOP XDG_SESSION_TYPE
QT_LOGGING_RULES='xdp-kde*.debug=true' "$portal_kde" >"$work/portal-kde.log" 2>&1 &
"$portal" --verbose >"$work/portal.log" 2>&1 &
mv "$work/kwin/session.env.part" "$work/kwin/session.env"
wait
SESSION
}
portal_offers_shortcuts() {
  gdbus introspect --session -d org.freedesktop.portal.Desktop -o /org/freedesktop/portal/desktop \
    | grep -q org.freedesktop.portal.GlobalShortcuts
}

# Focus as a pager asks for it: XTEST clicks reach the X clients but not kwin's own input.
click_into() { xdotool windowactivate "$1" 2>/dev/null; }

# The way KDE starts an application from its menu: in a systemd scope named for its desktop entry,
# from which the portal reads the application's id. There is no systemd here, so the run makes the
# scope's control group itself, below a slice of its own.
scope_root=/sys/fs/cgroup/unified/qrv-desktop-$$.slice
scope="$scope_root/user@$(id -u).service/app-quorvel-org.quorvel.hotkey-$$.scope"
start_hot_key_component() {
  (
    if mkdir -p "$scope" 2>/dev/null && echo "$BASHPID" >"$scope/cgroup.procs" 2>/dev/null; then
      echo "in $scope"
    else
      echo "no control group for a scope here: the portal will know the component by no id"
    fi
    exec env QT_LOGGING_RULES='quorvel.hotkey.debug=true' "$component"
  ) >"$work/hotkey.log" 2>&1 &
  pids+=($!)
}
eval "$(declare -f end_session | sed '1s/end_session/end_session_of_the_driver/')"
end_session() {
  end_session_of_the_driver
  rmdir "$scope" "$(dirname "$scope")" "$scope_root" 2>/dev/null || true
}

hot_key_status() {
  gdbus call --session -d org.quorvel.HotKey -o /org/quorvel/HotKey -m org.quorvel.HotKey.Status 2>/dev/null
}
# kglobalaccel's object for the component's shortcuts ("<app id><session token>").
shortcut_component() {
  gdbus call --session -d org.kde.kglobalaccel -o /kglobalaccel -m org.kde.KGlobalAccel.allComponents \
    | grep -o "/component/[a-z_]*quorvel_hotkey" | head -1
}
# The component says "held", and kglobalaccel has its shortcut on F1 (Qt's key code 0x01000030).
hot_key_ready() {
  hot_key_status | grep -q "^('held'" || return 1
  gdbus call --session -d org.kde.kglobalaccel -o "$(shortcut_component)" \
    -m org.kde.kglobalaccel.Component.allShortcutInfos | grep -q "'wake-up'.*\[16777264\]"
}
press_hot_key() {
  gdbus call --session -d org.kde.kglobalaccel -o "$(shortcut_component)" \
    -m org.kde.kglobalaccel.Component.invokeShortcut wake-up >/dev/null
}

# A rootless Xwayland has no picture of its root window: the panel's own window is taken.
take_screenshot() { import -window "$(panel)" -resize 50% "$1" 2>/dev/null; }

run_scenario "$@"
