#include "components/hotkey/LauncherSummons.h"

#include "components/hotkey/LauncherPresence.h"
#include "components/shared/ComponentContract.h"
#include "components/shared/HotKeyLog.h"
#include "platform/core/Log.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace quorvel {

namespace {

// Long enough for the bus to start the launcher (its own limit for a start is 25 s).
constexpr int activationTimeoutMilliseconds = 30000;

} // namespace

void LauncherSummons::summon()
{
    if (LauncherPresence::isGone()) {
        Q_EMIT launcherGone();
        return;
    }
    QDBusMessage activate = QDBusMessage::createMethodCall(ComponentContract::applicationIdentifier(),
        ComponentContract::launcherObjectPath(), QStringLiteral("org.freedesktop.Application"),
        QStringLiteral("Activate"));
    activate.setAutoStartService(true);
    activate << QVariantMap();
    // Asynchronous: the key must keep working while a launcher starts.
    auto* watcher = new QDBusPendingCallWatcher(
        QDBusConnection::sessionBus().asyncCall(activate, activationTimeoutMilliseconds), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusPendingReply<> reply = *call;
        if (reply.isError())
            fallBackToTheWakeUp(reply.error().message());
    });
}

void LauncherSummons::fallBackToTheWakeUp(const QString& why)
{
    // Said once: without a service file every press comes this way.
    if (!fallbackLogged)
        Log::line(hotKeyLog(),
            QStringLiteral(
                "The launcher could not be activated (%1): posting the wake-up notification instead")
                .arg(why));
    fallbackLogged = true;
    if (!ComponentContract::postWakeUp())
        Log::line(hotKeyLog(), QStringLiteral("The wake-up notification could not be sent"));
}

} // namespace quorvel
