#pragma once
// The application's org.freedesktop.Application object, at the path of its bus name
// ("org.quorvel.launcher" -> "/org/quorvel/launcher"): what desktops, `gio launch` of a
// DBusActivatable desktop entry and the hot-key program call, starting the application through
// its D-Bus service file when it does not run.
//   Activate(a{sv} platform-data)                     runs the activate handler
//   Open(as uris, a{sv} platform-data)                answered with NotSupported: this application
//                                                     opens no files of its own
//   ActivateAction(s name, av parameter, a{sv} ...)   answered with InvalidArgs: it has no actions
// SingleInstance hands it the messages of its interface that arrive at the instance's object.

#include <QString>

#include <functional>

class QDBusConnection;
class QDBusMessage;
class QObject;

namespace quorvel {

class FreedesktopApplication final {
public:
    // activate runs on context's thread, after the caller has had its answer.
    FreedesktopApplication(QObject* context, std::function<void()> activate);

    static QString interfaceName(); // "org.freedesktop.Application"
    // The interface's introspection data, for the object that exports it.
    static QString introspection();

    // Answers a message of this interface (any thread); false for a method it does not have.
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) const;

private:
    QObject* context;
    std::function<void()> activate;
};

} // namespace quorvel
