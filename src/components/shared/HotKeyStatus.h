#pragma once
// What the hot-key component can say about its key: a state word for programs and a sentence
// for the user that says, where the key could not be taken, why and what to do.

#include <QString>

namespace quorvel {

struct HotKeyStatus {
    // "held": pressing the key summons the launcher. "taken": another program holds it.
    // "off": switched off. "pending": the desktop is still asked. "desktop-shortcut": the desktop
    // lets no program watch keys; a shortcut in its own settings must run the wake-up command.
    // "unavailable": anything else (no display, no such key on this keyboard, no component).
    QString state;
    QString message;

    bool isHeld() const { return state == QLatin1String("held"); }
};

} // namespace quorvel
