#include "components/shared/ComponentContract.h"

#include "platform/desktop/DistributedNotificationCenter.h"
#include "platform/files/Folders.h"

#include <QFileInfo>

namespace quorvel {

QString ComponentContract::applicationIdentifier()
{
    return QStringLiteral("org.quorvel.launcher");
}

QString ComponentContract::launcherObjectPath()
{
    return QStringLiteral("/org/quorvel/launcher");
}

QString ComponentContract::wakeUpName()
{
    return QStringLiteral("wake up");
}

bool ComponentContract::postWakeUp()
{
    return DistributedNotificationCenter::defaultCenter().postNotification(
        wakeUpName(), applicationIdentifier());
}

// dbus-send rather than a path to this program: the command stays right when the component is
// moved, upgraded or not installed at all.
QStringList ComponentContract::wakeUpCommand()
{
    return { QStringLiteral("dbus-send"), QStringLiteral("--session"), QStringLiteral("--type=signal"),
        DistributedNotificationCenter::objectPath(),
        DistributedNotificationCenter::interfaceName() + QLatin1Char('.')
            + DistributedNotificationCenter::signalName(),
        QStringLiteral("string:") + wakeUpName(), QStringLiteral("string:") + applicationIdentifier() };
}

QString ComponentContract::wakeUpCommandLine()
{
    QStringList quoted;
    for (const QString& argument : wakeUpCommand())
        quoted.append(argument.contains(QLatin1Char(' ')) ? QLatin1Char('\'') + argument + QLatin1Char('\'')
                                                          : argument);
    return quoted.join(QLatin1Char(' '));
}

QString ComponentContract::hotKeyBusName()
{
    return QStringLiteral("org.quorvel.HotKey");
}

QString ComponentContract::hotKeyObjectPath()
{
    return QStringLiteral("/org/quorvel/HotKey");
}

QString ComponentContract::hotKeyInterface()
{
    return QStringLiteral("org.quorvel.HotKey");
}

QString ComponentContract::hotKeyPidFilePath()
{
    return Folders::joinPath(
        Folders::libraryFolder(), QStringLiteral("Application Support/Quorvel Suite/QRV HotKey.pid"));
}

QString ComponentContract::installedHotKeyPath()
{
    return Folders::joinPath(
        Folders::libraryFolder(), QStringLiteral("Application Support/Quorvel Suite/QRV HotKey.app"));
}

QString ComponentContract::installedPanePath()
{
    return Folders::joinPath(
        Folders::libraryFolder(), QStringLiteral("PreferencePanes/Quorvel Preferences.prefPane"));
}

QString ComponentContract::componentToStart(const QString& paneBundlePath)
{
    const QString installed = installedHotKeyPath();
    if (QFileInfo(installed).isDir())
        return installed;
    return Folders::joinPath(paneBundlePath, QStringLiteral("Contents/Resources/QRV HotKey.app"));
}

QString ComponentContract::componentToStartAtLogin()
{
    const QString component = componentToStart(installedPanePath());
    return QFileInfo(component).isDir() ? component : QString();
}

} // namespace quorvel
