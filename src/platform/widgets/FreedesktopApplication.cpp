#include "platform/widgets/FreedesktopApplication.h"

#include "platform/core/Log.h"
#include "platform/core/PlatformLog.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QMetaObject>
#include <QObject>

#include <utility>

namespace quorvel {

FreedesktopApplication::FreedesktopApplication(QObject* context, std::function<void()> activate)
    : context(context)
    , activate(std::move(activate))
{
}

QString FreedesktopApplication::interfaceName()
{
    return QStringLiteral("org.freedesktop.Application");
}

QString FreedesktopApplication::introspection()
{
    return QStringLiteral(
        "<interface name=\"org.freedesktop.Application\">"
        "<method name=\"Activate\"><arg type=\"a{sv}\" name=\"platform_data\" direction=\"in\"/></method>"
        "<method name=\"Open\"><arg type=\"as\" name=\"uris\" direction=\"in\"/>"
        "<arg type=\"a{sv}\" name=\"platform_data\" direction=\"in\"/></method>"
        "<method name=\"ActivateAction\"><arg type=\"s\" name=\"action_name\" direction=\"in\"/>"
        "<arg type=\"av\" name=\"parameter\" direction=\"in\"/>"
        "<arg type=\"a{sv}\" name=\"platform_data\" direction=\"in\"/></method>"
        "</interface>");
}

bool FreedesktopApplication::handleMessage(
    const QDBusMessage& message, const QDBusConnection& connection) const
{
    const QString member = message.member();
    const QString signature = message.signature();
    if (member == QLatin1String("Activate") && signature == QLatin1String("a{sv}")) {
        connection.send(message.createReply());
        // Answer the caller first: the panel may come up behind a modal alert that blocks.
        QMetaObject::invokeMethod(
            context, [activate = activate] { activate(); }, Qt::QueuedConnection);
        return true;
    }
    if (member == QLatin1String("Open") && signature == QLatin1String("asa{sv}")) {
        Log::line(
            platformLog(), QStringLiteral("Asked over D-Bus to open files: this application opens none"));
        connection.send(message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.NotSupported"),
            QStringLiteral("This application opens no files; Activate brings it up")));
        return true;
    }
    if (member == QLatin1String("ActivateAction") && signature == QLatin1String("sava{sv}")) {
        const QString action = message.arguments().value(0).toString();
        connection.send(message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"),
            QStringLiteral("This application has no action named \"%1\"").arg(action)));
        return true;
    }
    return false; // the bus library answers "unknown method"
}

} // namespace quorvel
