# The one scenario every desktop runs: sourced by tests/desktops/<desktop>.sh, which defines how
# its desktop starts and then calls run_scenario BUNDLE (see driver.sh for what it must define).
#
# Steps, in order: the start (not a first start) shows the panel centred with the focus; after
# another window took the focus, the wake-up brings the panel in front with the focus; a typed
# term filters the list; Escape takes the panel away; after bursts of wake-ups and Escapes the
# last request holds; Return on a desktop entry brings that program's window in front with the
# focus; the hot key, pressed for real, brings the panel.

. "$(dirname "${BASH_SOURCE[0]}")/driver.sh"

step_names=(desktop start wake_up filter escape burst launch hot_key)

run_scenario() {
  bundle=$1
  shots=${QUORVEL_DESKTOP_SHOTS:-}
  executable="$bundle/Contents/MacOS/Quorvel Launcher 2"
  component="$bundle/Contents/Resources/Components/Quorvel Preferences.prefPane/Contents/Resources/QRV HotKey.app/Contents/MacOS/QRV HotKey"
  begin_session
  desktop_requires Xvfb xdotool xprop xwininfo xmessage dbus-daemon dbus-send
  [ -x "$executable" ] || { skip_every_step "no launcher at $executable"; exit 77; }
  prepare_home
  stop_after_failure=1 run_step desktop start_the_desktop
  stop_after_failure=1 run_step start step_start
  run_step wake_up step_wake_up
  run_step filter step_filter
  run_step escape step_escape
  run_step burst step_burst
  run_step launch step_launch
  run_step hot_key step_hot_key
  [ -z "${launcher:-}" ] || stop_launcher
  echo "--- $desktop: $failures failed step(s):" $(awk -F'\t' -v d="$desktop" '$1 == d { printf "%s=%s ", $2, $3 }' "$results")
  [ "$failures" -eq 0 ]
}

# The desktop's own start is a step of its own, so that a desktop that cannot come up says so.
start_the_desktop() {
  start_desktop || return
  window_manager_runs || await_start window_manager_runs || fail_step "no window manager on $DISPLAY" || return
}

# Not a first start; a few desktop entries worth finding, among them Zorblet, a tiny X program.
prepare_home() {
  settle_as_a_later_start
  mkdir -p "$XDG_DATA_HOME/applications" "$work/bin" "$work/share/applications" "$HOME/Documents"
  cat >"$work/bin/zorblet" <<PROGRAM
#!/bin/sh
exec xmessage -buttons '' -title Zorblet -geometry 460x160+720+460 "Zorblet, started from the panel"
PROGRAM
  chmod +x "$work/bin/zorblet"
  write_entry zorblet Zorblet "$work/bin/zorblet"
  write_entry mail Mail /bin/true
  write_entry maps Maps /bin/true
  write_entry music "Music Player" /bin/true
  # The launcher's index holds what this run put there, not the machine's applications.
  launcher_env+=("XDG_DATA_DIRS=$work/share")
}
write_entry() {
  printf '[Desktop Entry]\nType=Application\nName=%s\nExec=%s\n' "$2" "$3" >"$XDG_DATA_HOME/applications/$1.desktop"
}

# --- what the steps look at ----------------------------------------------------------------------

panel() { window_named '^Quorvel Launcher$'; }
panel_shown() { [ -n "$(panel)" ]; }
panel_gone() { ! panel_shown; }
panel_focused() { local shown; shown=$(panel) && [ "$(focused_window)" = "$shown" ]; }
window_focused() { [ "$(focused_window)" = "$1" ]; }
# Whether window $1 lies above each of the other windows named, in the window manager's stacking
# order (a window it does not list is not in the way).
in_front_of() {
  local front=$1 other order=() i position=()
  shift
  mapfile -t order < <(stacking_order)
  for i in "${!order[@]}"; do position[order[i]]=$i; done
  [ -n "${position[front]:-}" ] || return 1
  for other in "$@"; do
    [ -z "${position[other]:-}" ] || [ "${position[other]}" -lt "${position[front]}" ] || return 1
  done
}
panel_in_front_of() { local shown; shown=$(panel) && in_front_of "$shown" "$@"; }
# Whether window $1 is centred on the screen, to within a pixel either way.
centred() {
  local wx wy ww wh sx sy sw sh
  read -r wx wy ww wh < <(window_geometry "$1") || return 1
  read -r sx sy sw sh < <(screen_geometry) || return 1
  near $((2 * wx + ww)) $((2 * sx + sw)) && near $((2 * wy + wh)) $((2 * sy + sh))
}
panel_centred() { local shown; shown=$(panel) && centred "$shown"; }
near() { [ $(($1 - $2)) -le 2 ] && [ $(($2 - $1)) -le 2 ]; }
where() { echo "panel at $(window_geometry "$1" || echo '?'), screen $(screen_geometry)"; }
focus_name() { xdotool getwindowname "$(focused_window)" 2>/dev/null || echo "window $(focused_window)"; }
# What is to be seen instead of a panel with the focus.
seen() { echo "$(panel_shown && echo "a panel without the focus" || echo "no panel"), the focus on $(focus_name)"; }

settings_hold() { tr -d '\n\t ' <"$HOME/Library/Preferences/org.quorvel.launcher.plist" | grep -qF "$1"; }

# The other application's window, focused by a click; the panel must leave.
focus_other_window() {
  if [ -z "${other:-}" ] || ! window_geometry "$other" >/dev/null; then
    xmessage -buttons '' -title "Other Window" -geometry 500x200+40+80 "Another application" &
    pids+=($!)
    await_start window_named '^Other Window$' || fail_step "the other window did not appear" || return
    other=$(window_named '^Other Window$')
  fi
  click_and_check() { click_into "$other"; await window_focused "$other"; }
  for _ in 1 2 3; do click_and_check && break; done
  window_focused "$other" || fail_step "a click gave the other window no focus (focus: $(focus_name))" || return
  await panel_gone || fail_step "the panel stayed up after the other window took the focus" || return
}
# The panel away, whatever a failed step left.
put_panel_away() {
  panel_shown || return 0
  panel_focused && press_key Escape
  await panel_gone || focus_other_window
}
# Panel up, in front of the other window, with the focus.
expect_panel_in_front() {
  await panel_focused || fail_step "$1 brought no panel with the focus ($(seen))" || return
  await panel_in_front_of ${other:-} || fail_step "$1: the panel is not in front (stacking $(stacking_order | tr '\n' ' '))" || return
}

# --- the steps -----------------------------------------------------------------------------------

step_start() {
  start_launcher "${launcher_env[@]}"
  await_start panel_shown || fail_step "no panel at start" || return
  await panel_focused || fail_step "the panel came up without the focus ($(seen))" || return
  await panel_centred || fail_step "the panel is not centred: $(where "$(panel)")" || return
  # The start-up scan must be done before the list is searched.
  await_start test -f "$HOME/Library/Preferences/Quorvel Launcher Index" || fail_step "no index written" || return
}

step_wake_up() {
  put_panel_away
  focus_other_window || return
  wake_up
  expect_panel_in_front "the wake-up" || return
  await panel_centred || fail_step "the panel is not centred: $(where "$(panel)")" || return
}

# A term only Zorblet matches, typed over the restored one, among entries it does not match: the
# panel saves the term and the path of its selection (the first match) when Escape takes it away.
step_filter() {
  panel_focused || { wake_up; await panel_focused; } || fail_step "no panel to type into" || return
  press_key ctrl+a
  type_text "zorbl"
  [ -z "$shots" ] || take_screenshot "$shots/desktop-$desktop.png"
  press_key Escape
  await panel_gone || fail_step "Escape after typing left the panel up" || return
  await settings_hold "<key>combinedLastSearchTerm</key><string>zorbl</string>" \
    || fail_step "the panel did not keep the typed term" || return
  await settings_hold "<key>combinedPathOfLastMatch</key><string>$XDG_DATA_HOME/applications/zorblet.desktop</string>" \
    || fail_step "the list did not filter down to Zorblet: $(grep -A1 combinedPathOfLastMatch "$HOME/Library/Preferences/org.quorvel.launcher.plist" | tail -1)" || return
}

step_escape() {
  put_panel_away
  wake_up
  await panel_focused || fail_step "the wake-up brought no panel with the focus ($(seen))" || return
  press_key Escape
  await panel_gone || fail_step "Escape left the panel up" || return
}

# Wake-ups and Escapes as fast as they come, ending with a wake-up: the panel must be up with the
# focus. Each Escape has reached the display server before the next wake-up is sent (xdotool
# waits for the server as it leaves), though the two come to the launcher on different channels,
# the display and the bus. Then a wake-up the moment the panel has gone: the window system's
# report of that dismissal may come later, but must not cancel the wake-up. Then an Escape
# pressed in the panel: it must be gone and stay gone.
step_burst() {
  put_panel_away
  for _ in 1 2 3 4 5; do wake_up; press_key Escape; done
  wake_up
  expect_panel_in_front "a burst ending with a wake-up" || return
  for _ in 1 2 3; do
    press_key Escape
    await panel_gone || fail_step "Escape left the panel up after a burst" || return
    wake_up
    expect_panel_in_front "a wake-up right after the panel went" || return
  done
  press_key Escape
  await panel_gone || fail_step "the last Escape of a burst left the panel up" || return
  for _ in $(seq 20); do
    panel_gone || fail_step "the panel came back after the last Escape of a burst" || return
    sleep 0.1
  done
}

step_launch() {
  put_panel_away
  focus_other_window || return
  wake_up
  await panel_focused || fail_step "the wake-up brought no panel with the focus ($(seen))" || return
  press_key ctrl+a
  type_text "zorbl"
  press_key Return
  await panel_gone || fail_step "Return left the panel up" || return
  await_start window_named '^Zorblet$' || fail_step "Return did not start Zorblet" || return
  local zorblet
  zorblet=$(window_named '^Zorblet$')
  await window_focused "$zorblet" || fail_step "Zorblet's window came up without the focus (focus: $(focus_name))" || return
  await in_front_of "$zorblet" "$other" || fail_step "Zorblet's window is not in front" || return
}

step_hot_key() {
  put_panel_away
  start_hot_key_component
  await_start hot_key_ready || fail_step "the hot-key component did not take its key" || return
  focus_other_window || return
  press_hot_key
  expect_panel_in_front "the hot key" || return
  press_key Escape
  await panel_gone || fail_step "Escape left the panel up after the hot key" || return
}
# The hot-key component, its output in hotkey.log (a desktop may start it otherwise).
start_hot_key_component() {
  "$component" >"$work/hotkey.log" 2>&1 &
  pids+=($!)
}
# The component has its key (a desktop where it binds the key otherwise redefines this).
hot_key_ready() { grep -q "Watching F1" "$work/hotkey.log"; }
