#include "components/shared/HotKeyClient.h"

#include "components/shared/ComponentContract.h"
#include "components/shared/GnomeCustomShortcut.h"
#include "components/shared/HotKeyLog.h"
#include "components/shared/HotKeySettings.h"
#include "platform/core/Log.h"
#include "platform/desktop/Workspace.h"
#include "platform/settings/UserDefaults.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QThread>

namespace quorvel {

namespace {

// A component that has not claimed its bus name by then did not start.
constexpr int startTimeoutMilliseconds = 5000;

HotKeyStatus unavailable(const QString& message)
{
    return { QStringLiteral("unavailable"), message };
}

} // namespace

HotKeyClient::HotKeyClient(const QString& componentBundlePath)
    : componentBundle(componentBundlePath)
{
}

bool HotKeyClient::isRunning() const
{
    QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    return bus && bus->isServiceRegistered(ComponentContract::hotKeyBusName()).value();
}

bool HotKeyClient::ensureRunning()
{
    if (isRunning())
        return true;
    if (!Workspace::sharedWorkspace().launchApplication(componentBundle))
        return false;
    const QDeadlineTimer deadline(startTimeoutMilliseconds);
    while (!deadline.hasExpired()) {
        if (isRunning())
            return true;
        QThread::msleep(50);
    }
    Log::line(hotKeyLog(), QStringLiteral("The hot-key component %1 did not come up").arg(componentBundle));
    return false;
}

HotKeyStatus HotKeyClient::status() const
{
    return call(QStringLiteral("Status"));
}

HotKeyStatus HotKeyClient::apply(const HotKeySettings& settings)
{
    UserDefaults defaults(ComponentContract::applicationIdentifier());
    if (!settings.writeTo(defaults))
        return unavailable(
            QStringLiteral("The settings could not be written to %1.").arg(defaults.domainFilePath()));
    // A component started now reads the new settings itself; a running one is told to.
    if (isRunning())
        return call(QStringLiteral("Reload"));
    if (!ensureRunning())
        return unavailable(
            QStringLiteral("The hot key was saved, but the hot-key component could not be started "
                           "(%1). Open this pane again to retry.")
                .arg(componentBundle));
    return status();
}

// A shortcut once added to the desktop's own settings takes the new key too, or goes when the key
// is switched off.
void HotKeyClient::followInDesktopShortcut(const HotKeySettings& settings)
{
    if (!GnomeCustomShortcut::isAdded())
        return;
    if (settings.isSwitchedOn())
        GnomeCustomShortcut::add(settings);
    else
        GnomeCustomShortcut::remove();
}

HotKeyStatus HotKeyClient::call(const QString& method) const
{
    QDBusMessage request = QDBusMessage::createMethodCall(ComponentContract::hotKeyBusName(),
        ComponentContract::hotKeyObjectPath(), ComponentContract::hotKeyInterface(), method);
    const QDBusMessage reply = QDBusConnection::sessionBus().call(request);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.signature() != QLatin1String("ss"))
        return unavailable(
            QStringLiteral("The hot-key component does not answer (%1).").arg(reply.errorMessage()));
    return { reply.arguments().at(0).toString(), reply.arguments().at(1).toString() };
}

} // namespace quorvel
