#include "install/HotKeyAutostart.h"

#include "install/InstallLog.h"
#include "platform/core/Log.h"
#include "platform/files/Folders.h"
#include "platform/settings/LoginItemAutostart.h"

#include <QFile>

namespace quorvel {

namespace {

const QString markLine = QStringLiteral("X-Quorvel-HotKey=true");

} // namespace

QString HotKeyAutostart::entryPath()
{
    return Folders::joinPath(LoginItemAutostart::autostartFolder(), QStringLiteral("quorvel-hotkey.desktop"));
}

bool HotKeyAutostart::write(const QString& componentBundlePath)
{
    const QString text = LoginItemAutostart::entryText(QStringLiteral("QRV HotKey"),
        LoginItemAutostart::executableOfBundle(componentBundlePath), {}, markLine);
    return LoginItemAutostart::writeEntry(entryPath(), text);
}

bool HotKeyAutostart::remove()
{
    const QString path = entryPath();
    if (!QFile::exists(path))
        return true;
    // A file of that name that someone else wrote is theirs to keep.
    if (!LoginItemAutostart::isMarkedEntry(path, markLine)) {
        Log::line(installLog(),
            QStringLiteral("%1 was not written by the hot-key component; left in place").arg(path));
        return true;
    }
    if (QFile::remove(path))
        return true;
    Log::line(installLog(),
        QStringLiteral("Could not remove the hot-key component's autostart entry %1").arg(path));
    return false;
}

} // namespace quorvel
