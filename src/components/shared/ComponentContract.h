#pragma once
// What the launcher, the preference pane and the hot-key component agree on: the launcher's
// identifier (its settings domain and the wake-up notification's object), the hot-key component's
// bus name and object, and where the component records its process id.

#include <QString>
#include <QStringList>

namespace quorvel {

class ComponentContract final {
public:
    // The launcher's reverse-DNS identifier: its settings store is "<identifier>.plist".
    static QString applicationIdentifier();
    static QString wakeUpName(); // "wake up"
    // The launcher owns its identifier as a bus name while it runs, with this object answering
    // org.freedesktop.Application; its D-Bus service file lets the bus start it by that name.
    static QString launcherObjectPath(); // "/org/quorvel/launcher"
    // Posts the wake-up notification on the session bus; answers whether it could be sent.
    static bool postWakeUp();
    // The command that posts the wake-up notification from a desktop's own shortcut settings.
    static QStringList wakeUpCommand();
    static QString wakeUpCommandLine(); // the same, quoted for a shell or a desktop's command field

    // The hot-key component owns this name on the session bus while it runs (one per user) and
    // answers at the object below.
    static QString hotKeyBusName(); // "org.quorvel.HotKey"
    static QString hotKeyObjectPath(); // "/org/quorvel/HotKey"
    static QString hotKeyInterface(); // "org.quorvel.HotKey"

    // "~/Library/Application Support/Quorvel Suite/QRV HotKey.pid", read by quitHotKey.sh.
    static QString hotKeyPidFilePath();
    // Where the launcher installs the component.
    static QString installedHotKeyPath();
    // Where the launcher installs the preference pane (the component ships inside it).
    static QString installedPanePath();
    // The component the pane at paneBundlePath starts: the installed component when there is
    // one, else the copy inside the pane's resources.
    static QString componentToStart(const QString& paneBundlePath);
    // The component a login should start: the one the installed pane starts. Empty when neither
    // the pane nor the component is installed: a copy elsewhere (the launcher's own bundle, a
    // build folder) may be gone by then.
    static QString componentToStartAtLogin();
};

} // namespace quorvel
