#include "platform/widgets/SingleInstance.h"

#include "platform/core/Log.h"
#include "platform/core/PlatformLog.h"
#include "platform/widgets/FreedesktopApplication.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVirtualObject>
#include <QObject>

#include <utility>

namespace quorvel {

namespace {

QString reopenInterface()
{
    return QStringLiteral("org.quorvel.Application");
}

// "org.quorvel.launcher" -> "/org/quorvel/launcher"; characters an object path cannot hold
// become underscores.
QString reopenObjectPath(const QString& identifier)
{
    QString path = QStringLiteral("/");
    for (const QChar c : identifier) {
        if (c == QLatin1Char('.'))
            path += QLatin1Char('/');
        else if (c.isLetterOrNumber() && c.unicode() < 128)
            path += c;
        else
            path += QLatin1Char('_');
    }
    return path;
}

} // namespace

// The object a running instance exports on the bus; a second start calls its Reopen method, the
// desktop its org.freedesktop.Application methods.
class SingleInstance::ReopenObject final : public QDBusVirtualObject {
public:
    explicit ReopenObject(SingleInstance& instance)
        : instance(instance)
    {
    }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (message.interface() == FreedesktopApplication::interfaceName())
            return instance.freedesktopApplication->handleMessage(message, connection);
        if (message.member() != QLatin1String("Reopen")
            || (!message.interface().isEmpty() && message.interface() != reopenInterface()))
            return false; // the bus library answers "unknown method"
        connection.send(message.createReply());
        // Answer the caller first: reopening may show a modal alert before it returns.
        QMetaObject::invokeMethod(
            instance.context, [reopen = instance.reopen] { reopen(); }, Qt::QueuedConnection);
        return true;
    }

    QString introspect(const QString&) const override
    {
        return QStringLiteral("<interface name=\"%1\"><method name=\"Reopen\"/></interface>")
                   .arg(reopenInterface())
            + FreedesktopApplication::introspection();
    }

private:
    SingleInstance& instance;
};

SingleInstance::SingleInstance(QObject* context, std::function<void()> reopen, std::function<void()> activate)
    : context(context)
    , reopen(std::move(reopen))
    , freedesktopApplication(std::make_unique<FreedesktopApplication>(context, std::move(activate)))
{
}

SingleInstance::~SingleInstance() = default;

void SingleInstance::release()
{
    if (identifier.isEmpty())
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (reopenObject) {
        bus.unregisterObject(reopenObjectPath(identifier));
        reopenObject.reset();
    }
    if (bus.interface())
        bus.interface()->unregisterService(identifier);
    identifier.clear();
}

bool SingleInstance::become(const QString& applicationIdentifier)
{
    if (applicationIdentifier == identifier)
        return true; // this process already is that instance
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return true; // no bus: nobody to ask, run alone

    const QString path = reopenObjectPath(applicationIdentifier);
    auto object = std::make_unique<ReopenObject>(*this);
    const bool exported = bus.registerVirtualObject(path, object.get());

    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply
        = bus.interface()->registerService(applicationIdentifier, QDBusConnectionInterface::DontQueueService,
            QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid()) {
        Log::line(platformLog(),
            QStringLiteral("Could not claim the bus name %1: %2")
                .arg(applicationIdentifier, reply.error().message()));
        if (exported)
            bus.unregisterObject(path);
        return true;
    }
    if (reply.value() == QDBusConnectionInterface::ServiceRegistered) {
        identifier = applicationIdentifier;
        if (exported)
            reopenObject = std::move(object);
        return true;
    }

    // Another instance owns the name: ask it to come forward; this process then exits.
    if (exported)
        bus.unregisterObject(path);
    const QDBusMessage call = QDBusMessage::createMethodCall(
        applicationIdentifier, path, reopenInterface(), QStringLiteral("Reopen"));
    const QDBusMessage answer = bus.call(call, QDBus::Block, 5000);
    if (answer.type() == QDBusMessage::ErrorMessage)
        Log::line(platformLog(),
            QStringLiteral("The running instance did not answer: %1").arg(answer.errorMessage()));
    return false;
}

} // namespace quorvel
