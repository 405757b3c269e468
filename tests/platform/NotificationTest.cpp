#include "platform/desktop/Notification.h"

#include "support/LogCapture.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QTest>
#include <gtest/gtest.h>

using namespace quorvel;
using quorvel::test::LogCapture;

namespace {

// A notification server on a second connection to the test's private bus, as the desktop's own
// would be: it answers its capabilities and records each Notify.
class FakeNotificationServer final : public QDBusVirtualObject {
public:
    explicit FakeNotificationServer(QStringList capabilities)
        : capabilities(std::move(capabilities))
        , bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, "notification-server"))
    {
        bus.registerVirtualObject("/org/freedesktop/Notifications", this);
        registered = bus.interface()->registerService("org.freedesktop.Notifications").value()
            == QDBusConnectionInterface::ServiceRegistered;
    }
    ~FakeNotificationServer() override
    {
        bus.interface()->unregisterService("org.freedesktop.Notifications");
        bus.unregisterObject("/org/freedesktop/Notifications");
        QDBusConnection::disconnectFromBus("notification-server");
    }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (message.member() == "GetCapabilities") {
            connection.send(message.createReply(QVariant(capabilities)));
            return true;
        }
        if (message.member() == "Notify") {
            notified.append(message.arguments());
            connection.send(message.createReply(QVariant(42u)));
            return true;
        }
        return false;
    }
    QString introspect(const QString&) const override { return {}; }

    QStringList capabilities;
    QDBusConnection bus;
    bool registered = false;
    QList<QVariantList> notified;
};

} // namespace

TEST(Notification, APostReachesTheDesktopsServerAsPlainOrEscapedTextAndTheLog)
{
    if (!QDBusConnection::sessionBus().isConnected())
        GTEST_SKIP() << "no session bus (run the tests under dbus-run-session)";
    LogCapture log;
    const QString summary = "Could not open \u201cR&D <draft>\u201d";
    {
        FakeNotificationServer server({ "body", "body-markup" });
        ASSERT_TRUE(server.registered);
        Notification::sharedNotification().post(summary, "No application handles <b> files & more.");
        ASSERT_TRUE(QTest::qWaitFor([&] { return !server.notified.isEmpty(); }, 5000));
        const QVariantList arguments = server.notified.first();
        ASSERT_EQ(arguments.size(), 8);
        EXPECT_EQ(arguments[3].toString(), summary) << "the summary is never markup";
        EXPECT_EQ(arguments[4].toString(), "No application handles &lt;b&gt; files &amp; more.");
    }
    {
        FakeNotificationServer server({ "body" });
        ASSERT_TRUE(server.registered);
        Notification::sharedNotification().post(summary, "It is <gone>.");
        ASSERT_TRUE(QTest::qWaitFor([&] { return !server.notified.isEmpty(); }, 5000));
        EXPECT_EQ(server.notified.first()[4].toString(), "It is <gone>.") << "a server without markup";
    }
    EXPECT_EQ(log.count(summary + ": It is <gone>."), 1);

    // Without a server the log line is all, and nothing waits.
    Notification::sharedNotification().post("Could not open \u201cX\u201d", "The file no longer exists.");
    EXPECT_EQ(log.count("Could not open \u201cX\u201d: The file no longer exists."), 1);
}
