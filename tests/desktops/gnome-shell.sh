# What the GNOME desktops share, on X11 and on Wayland: sourced by their desktop files, never run.

# The shell starts in the overview, which holds the keyboard: one Escape, as a user would press,
# once the shell says the overview is up; the shell's own property says when it has gone.
overview_active() {
  dbus-send --session --print-reply --dest=org.gnome.Shell /org/gnome/Shell \
    org.freedesktop.DBus.Properties.Get string:org.gnome.Shell string:OverviewActive 2>/dev/null | grep -q "boolean $1"
}
leave_the_overview() {
  await_start overview_active true || overview_active false || fail_step "the shell never said where its overview is" || return
  for _ in 1 2 3 4 5; do
    overview_active false && return 0
    press_key Escape
    await overview_active false && return 0
  done
  fail_step "Escape did not leave the overview"
}
