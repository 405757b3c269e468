#pragma once
// What a press of the hot key does: activates the launcher by its bus name
// (org.freedesktop.Application.Activate on "org.quorvel.launcher", a method call the bus may start
// the launcher for through its D-Bus service file), so that the key also starts a launcher that
// does not run. Where the bus cannot deliver the call (no service file, an old launcher without
// the interface), the wake-up notification is posted as before.

#include <QObject>

namespace quorvel {

class LauncherSummons final : public QObject {
    Q_OBJECT
public:
    void summon();

Q_SIGNALS:
    // The launcher has gone since the program started (LauncherPresence): nothing to summon.
    void launcherGone();

private:
    void fallBackToTheWakeUp(const QString& why);

    bool fallbackLogged = false;
};

} // namespace quorvel
