#include "components/hotkey/PortalRequest.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace quorvel {

namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");

} // namespace

PortalRequest::PortalRequest(
    const QDBusMessage& call, const QString& token, std::chrono::milliseconds patience)
{
    // Listening before the call goes out: a quick portal may answer before the call returns.
    listenAt(expectedPath(token));
    patienceTimer.setSingleShot(true);
    patienceTimer.setInterval(patience);
    connect(&patienceTimer, &QTimer::timeout, this, &PortalRequest::silent);
    patienceTimer.start();
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &PortalRequest::callReturned);
}

PortalRequest::~PortalRequest()
{
    stopListening();
}

QString PortalRequest::expectedPath(const QString& token)
{
    QString sender = QDBusConnection::sessionBus().baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
}

void PortalRequest::listenAt(const QString& path)
{
    if (listenedPaths.contains(path))
        return;
    // The whole message: a Response of another form is then seen, and reported, not dropped.
    QDBusConnection::sessionBus().connect(portalService, path, requestInterface, QStringLiteral("Response"),
        this, SLOT(responded(QDBusMessage)));
    listenedPaths.append(path);
}

void PortalRequest::stopListening()
{
    for (const QString& path : std::as_const(listenedPaths))
        QDBusConnection::sessionBus().disconnect(portalService, path, requestInterface,
            QStringLiteral("Response"), this, SLOT(responded(QDBusMessage)));
    listenedPaths.clear();
}

void PortalRequest::callReturned(QDBusPendingCallWatcher* watcher)
{
    watcher->deleteLater();
    const QDBusPendingReply<QDBusObjectPath> reply = *watcher;
    if (finished)
        return;
    if (reply.isError()) {
        finish();
        Q_EMIT failed(QStringLiteral("%1: %2").arg(reply.error().name(), reply.error().message()));
        return;
    }
    // Portals older than the handle_token convention answer on a path of their own choosing.
    listenAt(reply.value().path());
}

void PortalRequest::responded(const QDBusMessage& response)
{
    if (finished)
        return;
    finish();
    if (response.signature() != QLatin1String("ua{sv}")) {
        Q_EMIT failed(QStringLiteral("an answer of type (%1) instead of (ua{sv})").arg(response.signature()));
        return;
    }
    const QList<QVariant> arguments = response.arguments();
    Q_EMIT answered(arguments.at(0).toUInt(), qdbus_cast<QVariantMap>(arguments.at(1)));
}

void PortalRequest::finish()
{
    finished = true;
    patienceTimer.stop();
    stopListening();
}

} // namespace quorvel
