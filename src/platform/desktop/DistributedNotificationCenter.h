#pragma once
// Notifications between processes of the same user: a D-Bus signal on the session bus carrying
// (name, object), sent without owning a bus name. Observers filter on both. A notification sent
// while nobody listens is lost. Malformed signals are ignored.

#include <QObject>
#include <QString>
#include <functional>
#include <vector>

class QDBusMessage;

namespace quorvel {

class DistributedNotificationCenter final : public QObject {
    Q_OBJECT
public:
    static DistributedNotificationCenter& defaultCenter();

    using Handler = std::function<void()>;
    // Calls the handler on the main thread for each notification with exactly this name and object.
    // The observer token identifies the registration for removeObserver. Main thread only.
    // Without a session bus this logs one line and registers nothing.
    void addObserver(const void* observer, const QString& name, const QString& object, Handler handler);
    // An empty name or object removes the observer's registrations for any name or object.
    void removeObserver(const void* observer, const QString& name, const QString& object);
    // Sends the notification on the session bus; answers whether it could be sent.
    bool postNotification(const QString& name, const QString& object);

    // The D-Bus coordinates, for the README's dbus-send line.
    static QString interfaceName(); // e.g. "org.quorvel.DistributedNotification"
    static QString objectPath(); // e.g. "/org/quorvel/DistributedNotification"
    static QString signalName(); // e.g. "Notification", arguments (string name, string object)

private Q_SLOTS:
    void receive(const QDBusMessage& message);

private:
    DistributedNotificationCenter();
    bool listen();

    struct Registration {
        quint64 id;
        const void* observer;
        QString name;
        QString object;
        Handler handler;
    };
    std::vector<Registration> registrations;
    quint64 nextId = 1;
    bool listening = false;
};

} // namespace quorvel
