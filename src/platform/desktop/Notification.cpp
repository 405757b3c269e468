#include "platform/desktop/Notification.h"

#include "platform/core/Log.h"
#include "platform/core/PlatformLog.h"
#include "platform/core/ReplaceableInstance.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace quorvel {

namespace {

ReplaceableInstance<Notification> shared;

const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString objectPath = QStringLiteral("/org/freedesktop/Notifications");

QDBusMessage notificationCall(const QString& method)
{
    return QDBusMessage::createMethodCall(service, objectPath, service, method);
}

void sendNotify(QDBusConnection bus, const QString& summary, const QString& body)
{
    QDBusMessage notify = notificationCall(QStringLiteral("Notify"));
    const QString applicationName = QCoreApplication::applicationName();
    notify << applicationName << 0u // replaces no earlier notification
           << QString() // no icon of its own
           << summary << body << QStringList() // no actions: nothing to answer
           << QVariantMap { { QStringLiteral("urgency"), QVariant::fromValue<uchar>(1) } }
           << -1; // the server's own expiry
    notify.setAutoStartService(false);
    bus.asyncCall(notify);
}

} // namespace

Notification& Notification::sharedNotification()
{
    return shared.get();
}

void Notification::setSharedNotification(Notification* notification)
{
    shared.replace(notification);
}

void Notification::post(const QString& summary, const QString& body)
{
    Log::line(platformLog(), body.isEmpty() ? summary : QStringLiteral("%1: %2").arg(summary, body));
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    // Asking for the server's capabilities finds out at once whether the session has a server at
    // all (a name without an owner answers an error; a server started on demand is started), and
    // whether the body may hold markup: then the body's own angle brackets and ampersands must
    // be escaped, or a file name could be taken for markup.
    auto* watcher
        = new QDBusPendingCallWatcher(bus.asyncCall(notificationCall(QStringLiteral("GetCapabilities"))));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
        [bus, summary, body](QDBusPendingCallWatcher* call) {
            call->deleteLater();
            const QDBusPendingReply<QStringList> capabilities = *call;
            if (capabilities.isError())
                return; // no notification server: the log line is all
            const bool markup = capabilities.value().contains(QStringLiteral("body-markup"));
            sendNotify(bus, summary, markup ? body.toHtmlEscaped() : body);
        });
}

} // namespace quorvel
