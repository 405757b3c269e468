#!/usr/bin/python3
# Real key presses on GNOME on Wayland: one session of mutter's RemoteDesktop D-Bus API, held for
# as long as this program runs (mutter ends a session when its client leaves). Reads one request a
# line from the FIFO $1 and answers each on the FIFO $2 once mutter has taken it ("done" or
# "error ..."):
#   key CHORD...   chords in xdotool's notation: Escape, ctrl+a, Return, F1
#   type TEXT      the text, one key per character
import sys
import time

import dbus
import gi

gi.require_version("Gdk", "3.0")
from gi.repository import Gdk  # noqa: E402

SERVICE = "org.gnome.Mutter.RemoteDesktop"
MODIFIERS = {"ctrl": "Control_L", "alt": "Alt_L", "shift": "Shift_L", "super": "Super_L"}


def start_session():
    bus = dbus.SessionBus()
    desktop = dbus.Interface(bus.get_object(SERVICE, "/org/gnome/Mutter/RemoteDesktop"), SERVICE)
    path = desktop.CreateSession()
    session = dbus.Interface(bus.get_object(SERVICE, path), SERVICE + ".Session")
    session.Start()
    return session


def keysym(name):
    value = Gdk.keyval_from_name(MODIFIERS.get(name, name))
    if value in (0, 0xFFFFFF):
        raise ValueError("no key named " + name)
    return value


def press(session, keysyms):
    for value in keysyms:
        session.NotifyKeyboardKeysym(dbus.UInt32(value), True)
    for value in reversed(keysyms):
        session.NotifyKeyboardKeysym(dbus.UInt32(value), False)


def serve(session, requests, answers):
    for line in requests:
        verb, _, argument = line.rstrip("\n").partition(" ")
        try:
            if verb == "key":
                for chord in argument.split():
                    press(session, [keysym(part) for part in chord.split("+")])
            elif verb == "type":
                for character in argument:
                    press(session, [Gdk.unicode_to_keyval(ord(character))])
                    time.sleep(0.03)  # a typist's pace, as xdotool's --delay gives on X11
            else:
                raise ValueError("no request " + verb)
            answers.write("done\n")
        except (ValueError, dbus.DBusException) as error:
            answers.write("error %s\n" % error)
        answers.flush()


def main():
    session = start_session()
    with open(sys.argv[1]) as requests, open(sys.argv[2], "w") as answers:
        serve(session, requests, answers)


if __name__ == "__main__":
    main()
