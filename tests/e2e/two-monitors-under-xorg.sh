#!/usr/bin/env bash
# The panel on the right monitor, for real: an X server with two monitors side by side (Xorg's
# dummy driver with two RandR outputs of 1280x800; Xvfb's Xinerama would put both heads at 0,0),
# a window manager, a private session bus and a home of its own, not a first start. The panel
# must come up centred on the monitor that holds the mouse pointer, and move, centred, onto the
# remaining monitor when the one it is on is switched off.
#
# Usage: two-monitors-under-xorg.sh BUNDLE
set -euo pipefail

bundle=$1
executable="$bundle/Contents/MacOS/Quorvel Launcher 2"
. "$(dirname "$0")/common.sh"
use_private_bus "$@"
require_tools xrandr openbox xdotool xprop dbus-send
# The server itself, not Debian's wrapper, which starts it only for a console user.
xorg=/usr/lib/xorg/Xorg
[ -x "$xorg" ] || xorg=$(command -v Xorg) || { echo "SKIP: Xorg is not installed"; exit 77; }
{ compgen -G '/usr/lib/xorg/modules/drivers/dummy_drv.so' || compgen -G '/usr/lib/*/xorg/modules/drivers/dummy_drv.so'; } >/dev/null \
  || { echo "SKIP: Xorg's dummy video driver (xserver-xorg-video-dummy) is not installed"; exit 77; }

start_in_scratch_home
export XDG_DATA_DIRS="$work/share"
unset XDG_SESSION_TYPE WAYLAND_DISPLAY
mkdir -p "$XDG_DATA_DIRS"
settle_as_a_later_start

fail() {
  echo "FAIL: $*"
  echo "--- monitors"; xrandr --listmonitors 2>&1 || true
  echo "--- launcher log"; cat "$work/launcher.log" 2>/dev/null
  exit 1
}

# A server of the run's own: its configuration, an empty snippet folder (so that none of the
# machine's is read), its log in the scratch folder, no input devices but the core ones (xdotool
# types through XTEST), sharing the current terminal instead of taking a virtual one when run as
# root. -noreset: it must not reset each time its last client, such as xdotool, leaves.
start_xorg() {
  mkdir -p "$work/xorg/snippets"
  echo '# none of the machine'"'"'s snippets' > "$work/xorg/snippets/00-empty.conf"
  cat > "$work/xorg/xorg.conf" <<'CONF'
Section "ServerFlags"
  Option "AutoAddDevices" "false"
  Option "AutoEnableDevices" "false"
  Option "DontVTSwitch" "true"
EndSection
Section "Device"
  Identifier "card"
  Driver "dummy"
  VideoRam 65536
EndSection
Section "Monitor"
  Identifier "monitor"
  HorizSync 5.0-1000.0
  VertRefresh 5.0-200.0
EndSection
Section "Screen"
  Identifier "screen"
  Device "card"
  Monitor "monitor"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Virtual 2560 800
  EndSubSection
EndSection
CONF
  exec 3>"$work/display"
  (cd "$work/xorg" && exec "$xorg" -displayfd 3 -config xorg.conf -configdir "$work/xorg/snippets" \
    -logfile "$work/xorg/Xorg.log" -noreset -nolisten tcp -novtswitch -sharevts -keeptty) >/dev/null 2>&1 &
  pids+=($!)
  exec 3>&-
  await_start test -s "$work/display" || { echo "FAIL: Xorg did not start"; tail -20 "$work/xorg/Xorg.log"; exit 1; }
  export DISPLAY=":$(head -1 "$work/display")"
  await xdotool getmouselocation || { echo "FAIL: Xorg does not answer"; exit 1; }
}

# DUMMY0 on the left, DUMMY1 on the right; the second output has no modes until it is given one.
set_up_two_monitors() {
  xrandr --output DUMMY0 --mode 1280x800 --pos 0x0 \
    && xrandr --addmode DUMMY1 1280x800 \
    && xrandr --output DUMMY1 --mode 1280x800 --right-of DUMMY0 \
    || fail "the dummy driver gave no second output"
  [ "$(xrandr --listmonitors | head -1)" = "Monitors: 2" ] || fail "not two monitors"
}

panel() { find_window '^Quorvel Launcher$'; }
panel_gone() { ! panel_shown; }
panel_focused() { local shown; shown=$(panel) && [ -n "$shown" ] && [ "$(xdotool getwindowfocus 2>/dev/null)" = "$shown" ]; }
# Where the panel's centre is, "x,y".
panel_centre() {
  local X Y WIDTH HEIGHT SCREEN WINDOW
  eval "$(xdotool getwindowgeometry --shell "$(panel)" 2>/dev/null)" || return 1
  echo "$((X + WIDTH / 2)),$((Y + HEIGHT / 2))"
}
# Whether the panel is up and centred, within a pixel, on the 1280x800 monitor whose left edge is $1.
centred_on() {
  local centre x y
  centre=$(panel_centre) || return 1
  x=${centre%,*} y=${centre#*,}
  [ $((x - $1 - 640)) -ge -1 ] && [ $((x - $1 - 640)) -le 1 ] && [ $((y - 400)) -ge -1 ] && [ $((y - 400)) -le 1 ]
}
pointer_to() { xdotool mousemove "$1" "$2" && [ "$(xdotool getmouselocation | cut -d' ' -f1-2)" = "x:$1 y:$2" ]; }
dismiss() {
  await panel_focused || fail "the panel has no keyboard focus (focus: $(xdotool getwindowfocus getwindowname 2>&1))"
  xdotool key Escape
  await panel_gone || fail "Escape left the panel up"
}

start_xorg
set_up_two_monitors
XDG_DATA_DIRS=/usr/local/share:/usr/share openbox >/dev/null 2>&1 &
pids+=($!)
await window_manager_runs || fail "the window manager did not start"

await pointer_to 1920 400 || fail "the pointer did not move onto the right monitor"
start_launcher
await_start panel_shown || fail "no panel at start"
await centred_on 1280 || fail "with the pointer on the right, the panel came up centred at $(panel_centre)"
dismiss

await pointer_to 640 400 || fail "the pointer did not move onto the left monitor"
wake_up
await centred_on 0 || fail "with the pointer on the left, the panel came up centred at $(panel_centre)"
dismiss

await pointer_to 1920 400 || fail "the pointer did not move back onto the right monitor"
wake_up
await centred_on 1280 || fail "with the pointer back on the right, the panel came up centred at $(panel_centre)"
xrandr --output DUMMY1 --off || fail "the right output did not switch off"
await centred_on 0 || fail "with the right monitor off, the panel stayed centred at $(panel_centre)"

stop_launcher
echo "PASS: the panel comes up on the pointer's monitor and leaves a monitor switched off"
