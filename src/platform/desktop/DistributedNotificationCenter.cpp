#include "platform/desktop/DistributedNotificationCenter.h"

#include "platform/core/Log.h"
#include "platform/core/PlatformLog.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>

#include <algorithm>

namespace quorvel {

DistributedNotificationCenter& DistributedNotificationCenter::defaultCenter()
{
    static DistributedNotificationCenter* center = new DistributedNotificationCenter;
    return *center;
}

DistributedNotificationCenter::DistributedNotificationCenter()
{
    // Signals are delivered in the receiver's thread: handlers run on the main thread even when
    // the centre was first asked for elsewhere.
    if (QCoreApplication* application = QCoreApplication::instance())
        moveToThread(application->thread());
}

QString DistributedNotificationCenter::interfaceName()
{
    return QStringLiteral("org.quorvel.DistributedNotification");
}

QString DistributedNotificationCenter::objectPath()
{
    return QStringLiteral("/org/quorvel/DistributedNotification");
}

QString DistributedNotificationCenter::signalName()
{
    return QStringLiteral("Notification");
}

// One match rule for every observer: from any sender (posters own no bus name), any arguments;
// receive() checks the arguments itself so that malformed signals can be ignored.
bool DistributedNotificationCenter::listen()
{
    if (listening)
        return true;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        Log::line(
            platformLog(), QStringLiteral("No session bus: distributed notifications will not be received"));
        return false;
    }
    listening = bus.connect(
        QString(), objectPath(), interfaceName(), signalName(), this, SLOT(receive(QDBusMessage)));
    if (!listening)
        Log::line(platformLog(),
            QStringLiteral("Could not listen for distributed notifications: %1")
                .arg(bus.lastError().message()));
    return listening;
}

void DistributedNotificationCenter::addObserver(
    const void* observer, const QString& name, const QString& object, Handler handler)
{
    if (!handler || !listen())
        return;
    registrations.push_back({ nextId++, observer, name, object, std::move(handler) });
}

void DistributedNotificationCenter::removeObserver(
    const void* observer, const QString& name, const QString& object)
{
    std::erase_if(registrations, [&](const Registration& registration) {
        return registration.observer == observer && (name.isEmpty() || registration.name == name)
            && (object.isEmpty() || registration.object == object);
    });
}

bool DistributedNotificationCenter::postNotification(const QString& name, const QString& object)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage signal = QDBusMessage::createSignal(objectPath(), interfaceName(), signalName());
    signal << name << object;
    return bus.send(signal);
}

void DistributedNotificationCenter::receive(const QDBusMessage& message)
{
    if (message.signature() != QLatin1String("ss"))
        return;
    const QList<QVariant> arguments = message.arguments();
    const QString name = arguments.at(0).toString();
    const QString object = arguments.at(1).toString();

    // A handler may add or remove observers: walk a snapshot of the ids and skip the ones that
    // were removed meanwhile.
    std::vector<quint64> matching;
    for (const Registration& registration : registrations)
        if (registration.name == name && registration.object == object)
            matching.push_back(registration.id);
    for (quint64 id : matching) {
        const auto found = std::find_if(
            registrations.begin(), registrations.end(), [id](const Registration& r) { return r.id == id; });
        if (found == registrations.end())
            continue;
        const Handler handler = found->handler; // the registration may go away during the call
        handler();
    }
}

} // namespace quorvel
