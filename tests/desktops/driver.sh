# The frame of a real run on a real desktop: sourced (by scenario.sh), never run.
#
# A desktop file, tests/desktops/<desktop>.sh, is the run's program. It sources scenario.sh,
# defines
#   start_desktop    starts the desktop in the session begin_session made (scratch HOME and
#                    XDG_RUNTIME_DIR, a bus of the run's own) and returns once it manages windows,
#                    with DISPLAY exported for the launcher's X clients
#   press_hot_key    presses the launcher's hot key (F1) for real
# and may redefine anything below (how windows are found, focused, typed into); then it calls
# run_scenario "$@" (the first argument is the built bundle).
# Before run_scenario it may add to bus_services (names of the session services the bus may
# activate) and to launcher_env (VAR=value for the launcher). Logs of its own go to $work/*.log:
# every one is printed when a step fails.
#
# Each step writes one line, desktop TAB step TAB pass|FAIL|skip TAB detail, into the file
# $QUORVEL_DESKTOP_RESULTS (a file of the run's own when that is unset).

tests_e2e="$(cd "$(dirname "${BASH_SOURCE[0]}")/../e2e" && pwd)"
. "$tests_e2e/common.sh"

desktop=${desktop:-$(basename "$0" .sh)}
# The session services a run may start: each must write only under the scratch home.
bus_services=(ca.desrt.dconf)
launcher_env=()
pids=()
step_names=()
failures=0

# --- results -------------------------------------------------------------------------------------

record() { printf '%s\t%s\t%s\t%s\n' "$desktop" "$1" "$2" "${3:-}" >>"$results"; }
# Every step of the scenario marked skipped, for a run that cannot start at all.
skip_every_step() {
  local name
  for name in "${step_names[@]}"; do record "$name" skip "$1"; done
}
# Like common.sh's require_tools, with the steps written down as skipped.
desktop_requires() {
  local tool
  for tool in "$@"; do
    if ! command -v "$tool" >/dev/null; then
      echo "SKIP: $tool is not installed"
      skip_every_step "$tool is not installed"
      exit 77
    fi
  done
}

# Runs step $1 (the function $2 and its arguments). A failed step prints the logs; the steps after
# it still run (each sets up what it needs) unless $stop_after_failure is set.
run_step() {
  local name=$1
  shift
  if [ -n "${broken:-}" ]; then record "$name" skip "$broken"; return 0; fi
  failure=""
  echo "--- $desktop: $name ($(date +%T))"
  if "$@"; then
    record "$name" pass
  else
    record "$name" FAIL "${failure:-step failed}"
    failures=$((failures + 1))
    print_logs
    [ -z "${stop_after_failure:-}" ] || broken="after $name failed"
  fi
  stop_after_failure=""
}
# Says why the step fails; answers 1, so that `check || fail_step "why" || return` ends the step.
fail_step() {
  failure=$1
  echo "FAIL [$desktop]: $1"
  return 1
}
print_logs() {
  local log
  for log in "$work"/*.log; do
    [ -s "$log" ] || continue
    echo "--- $(basename "$log") (last 80 lines)"
    tail -n 80 "$log"
  done
}

# --- the session ---------------------------------------------------------------------------------

# A scratch folder, $work, with HOME, the XDG folders and XDG_RUNTIME_DIR in it, and a session bus
# of the run's own started after them, so that whatever the bus starts writes there too. Every
# process the run starts carries QUORVEL_DESKTOP_RUN=$work; at exit each of them is ended.
begin_session() {
  work=$(mktemp -d /tmp/qrv-desktop.XXXXXX)
  chmod 700 "$work"
  results=${QUORVEL_DESKTOP_RESULTS:-$work/results.tsv}
  trap end_session EXIT
  export QUORVEL_DESKTOP_RUN=$work HOME="$work/home" XDG_RUNTIME_DIR="$work/run"
  export XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share" \
    XDG_CACHE_HOME="$HOME/.cache" XDG_STATE_HOME="$HOME/.local/state"
  export XDG_DATA_DIRS=/usr/local/share:/usr/share XDG_CONFIG_DIRS=/etc/xdg
  export LIBGL_ALWAYS_SOFTWARE=1 NO_AT_BRIDGE=1
  unset WAYLAND_DISPLAY DISPLAY XAUTHORITY XDG_SESSION_TYPE XDG_SESSION_ID DESKTOP_STARTUP_ID
  mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_STATE_HOME" "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
  start_session_bus
}

# A bus from a configuration of its own whose only service folder holds the services named in
# bus_services, copied from the machine's: nothing else installed can be activated.
start_session_bus() {
  local name
  mkdir -p "$work/bus/services"
  for name in "${bus_services[@]}"; do
    cp /usr/share/dbus-1/services/"$name".service "$work/bus/services/" 2>/dev/null || true
  done
  write_bus_config session "unix:path=$XDG_RUNTIME_DIR/bus" "$work/bus/services" >"$work/bus/session.conf"
  dbus-daemon --config-file="$work/bus/session.conf" --fork --print-pid=1 >"$work/bus/session.pid"
  pids+=("$(cat "$work/bus/session.pid")")
  export DBUS_SESSION_BUS_ADDRESS="unix:path=$XDG_RUNTIME_DIR/bus"
}
# A system bus of the run's own (gnome-shell will not start without one); no services.
start_private_system_bus() {
  mkdir -p "$work/bus/none"
  write_bus_config system "unix:path=$work/bus/system" "$work/bus/none" >"$work/bus/system.conf"
  dbus-daemon --config-file="$work/bus/system.conf" --fork --print-pid=1 >"$work/bus/system.pid"
  pids+=("$(cat "$work/bus/system.pid")")
  export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/bus/system"
}
write_bus_config() {
  cat <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>$1</type>
  <listen>$2</listen>
  <servicedir>$3</servicedir>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
  </policy>
</busconfig>
CONF
}

# Ends what the run started, newest first (the display and the buses last), then whatever else
# carries the run's mark (what the buses and the launcher started), by process id.
end_session() {
  local i pid
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  for pid in $(marked_processes); do kill "$pid" 2>/dev/null || true; done
  for _ in $(seq 30); do [ -z "$(marked_processes)" ] && break; sleep 0.1; done
  for pid in $(marked_processes); do kill -KILL "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
# The run's marked processes but this shell and what it runs for the asking.
marked_processes() {
  local environ pid parent
  for environ in /proc/[0-9]*/environ; do
    pid=${environ#/proc/}
    pid=${pid%/environ}
    [ "$pid" != $$ ] && [ "$pid" != "$BASHPID" ] || continue
    grep -qzxF "QUORVEL_DESKTOP_RUN=$work" "$environ" 2>/dev/null || continue
    parent=$(cut -d' ' -f2 <<<"$(sed 's/.*) //' "/proc/$pid/stat" 2>/dev/null)")
    [ "$parent" != "$BASHPID" ] && echo "$pid"
  done
  return 0
}

# A virtual X display (1280x800 unless $1 says otherwise) on a free number, exported as DISPLAY.
start_xvfb() {
  exec 3>"$work/display"
  Xvfb -displayfd 3 -screen 0 "${1:-1280x800x24}" -nolisten tcp -noreset +extension GLX \
    >"$work/xvfb.log" 2>&1 &
  pids+=($!)
  exec 3>&-
  await test -s "$work/display" || fail_step "the virtual display did not start" || return
  export DISPLAY=":$(head -1 "$work/display")"
  await xdotool getmouselocation || fail_step "the virtual display does not answer" || return
}

# --- windows (X11; a desktop without X11 clients redefines these) -------------------------------

# The visible window whose title matches the pattern $1, and which is no dialog. A window that goes
# away during the search makes xdotool fail with an X error: then it asks again, so that "none"
# is only answered when the search saw none.
window_named() {
  local window found
  for _ in 1 2 3 4 5; do
    found=$(xdotool search --onlyvisible --name "$1" 2>"$work/search.err") || true
    [ -s "$work/search.err" ] || break
    sleep 0.05
  done
  for window in $found; do
    xprop -id "$window" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q DIALOG || { echo "$window"; return 0; }
  done
  return 1
}
focused_window() { xdotool getwindowfocus 2>/dev/null; }
# x y width height of a window, of the screen.
window_geometry() {
  xwininfo -id "$1" 2>/dev/null | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
    /^ *Width/ {w=$NF} /^ *Height/ {h=$NF} END {if (w) print x, y, w, h; else exit 1}'
}
screen_geometry() { echo "0 0 $(xdotool getdisplaygeometry)"; }
# The window manager's stacking order, bottom first, as decimal window ids. A window manager that
# has not written its stacking list yet (xfwm4 with a single client) is read from the server's own
# stacking of top-level windows, each standing for the clients it holds.
stacking_order() {
  local listed
  listed=$(xprop -root _NET_CLIENT_LIST_STACKING 2>/dev/null | grep -o '0x[0-9a-f]*') || true
  [ -n "$listed" ] || listed=$(server_stacking_order)
  for id in $listed; do echo $((id)); done
}
server_stacking_order() {
  local clients top
  clients=" $(xprop -root _NET_CLIENT_LIST 2>/dev/null | grep -o '0x[0-9a-f]*' | tr '\n' ' ')"
  for top in $(xwininfo -root -children 2>/dev/null | awk '/^ +0x/ {print $1}' | tac); do
    for id in "$top" $(xwininfo -tree -id "$top" 2>/dev/null | grep -o '^ *0x[0-9a-f]*'); do
      [[ $clients != *" $id "* ]] || echo "$id"
    done
  done
}
# Gives window $1 the focus the way a user does: a click into it.
click_into() { xdotool mousemove --window "$1" 40 30 click 1 2>/dev/null; }
press_key() { xdotool key "$@" 2>/dev/null; }
type_text() { xdotool type --delay 50 "$1" 2>/dev/null; }
# A small picture of the whole screen.
take_screenshot() { import -window root png:- 2>/dev/null | convert - -resize 50% -colors 128 PNG8:"$1" 2>/dev/null; }
