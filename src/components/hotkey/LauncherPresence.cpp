#include "components/hotkey/LauncherPresence.h"

#include "components/shared/ComponentContract.h"
#include "components/shared/HotKeyLog.h"
#include "install/HotKeyAutostart.h"
#include "platform/core/Log.h"
#include "platform/settings/SettingsKeys.h"
#include "platform/settings/UserDefaults.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFileInfo>

namespace quorvel {

namespace {

// Running, or startable by the bus through a service file (the package's or a user install's).
bool busAnswersForTheLauncher()
{
    QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    if (!bus)
        return false;
    const QString name = ComponentContract::applicationIdentifier();
    if (bus->isServiceRegistered(name).value())
        return true;
    const QDBusReply<QStringList> activatable = bus->activatableServiceNames();
    return activatable.isValid() && activatable.value().contains(name);
}

} // namespace

QString LauncherPresence::lastBundlePath()
{
    const UserDefaults defaults(ComponentContract::applicationIdentifier());
    return defaults.stringForKey(SettingsKey::location);
}

bool LauncherPresence::isGone()
{
    const QString bundle = lastBundlePath();
    if (bundle.isEmpty() || QFileInfo(bundle + QStringLiteral("/Contents/Info.plist")).isFile())
        return false;
    return !busAnswersForTheLauncher();
}

void LauncherPresence::leave()
{
    Log::line(hotKeyLog(),
        QStringLiteral("QRV HotKey: the launcher at %1 is gone, so the hot key is given up and its autostart "
                       "entry %2 removed")
            .arg(lastBundlePath(), HotKeyAutostart::entryPath()));
    HotKeyAutostart::remove();
}

} // namespace quorvel
