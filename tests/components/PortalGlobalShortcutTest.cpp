#include "components/hotkey/PortalGlobalShortcut.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

using namespace quorvel;

namespace {

const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString shortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");

// A desktop portal with GlobalShortcuts on a connection and a thread of its own (the code under
// test blocks on its calls): answers each request at once with success and keeps what was bound.
class FakePortal final : public QDBusVirtualObject {
public:
    FakePortal()
        : bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake-portal")))
    {
        bus.registerVirtualObject(portalPath, this);
        bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop"));
    }
    ~FakePortal() override { QDBusConnection::disconnectFromBus(QStringLiteral("fake-portal")); }

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        const QList<QVariant> arguments = message.arguments();
        if (message.member() == QLatin1String("Get")) {
            connection.send(message.createReply(QVariant::fromValue(QDBusVariant(uint(1)))));
            return true;
        }
        const QVariantMap options = qdbus_cast<QVariantMap>(arguments.last());
        if (message.member() == QLatin1String("CreateSession")) {
            session = portalPath + QStringLiteral("/session/x/")
                + options.value(QStringLiteral("session_handle_token")).toString();
            respond(message, options, { { QStringLiteral("session_handle"), session } });
            return true;
        }
        if (message.member() == QLatin1String("BindShortcuts")) {
            boundSession = arguments.at(0).value<QDBusObjectPath>().path();
            const QDBusArgument shortcuts = arguments.at(1).value<QDBusArgument>();
            shortcuts.beginArray();
            while (!shortcuts.atEnd()) {
                QString id;
                QVariantMap properties;
                shortcuts.beginStructure();
                shortcuts >> id >> properties;
                shortcuts.endStructure();
                bound.insert(id, properties.value(QStringLiteral("preferred_trigger")).toString());
            }
            shortcuts.endArray();
            respond(message, options, {});
            return true;
        }
        return false;
    }

    void activate(const QString& id)
    {
        QDBusMessage signal
            = QDBusMessage::createSignal(portalPath, shortcutsInterface, QStringLiteral("Activated"));
        signal << QVariant::fromValue(QDBusObjectPath(session)) << id << qulonglong(0) << QVariantMap();
        bus.send(signal);
    }

    QString session;
    QString boundSession;
    QMap<QString, QString> bound; // shortcut id to preferred trigger

private:
    void respond(const QDBusMessage& message, const QVariantMap& options, const QVariantMap& results)
    {
        QString sender = message.service().mid(1);
        sender.replace(QLatin1Char('.'), QLatin1Char('_'));
        const QString request = portalPath + QStringLiteral("/request/") + sender + QLatin1Char('/')
            + options.value(QStringLiteral("handle_token")).toString();
        bus.send(message.createReply(QVariant::fromValue(QDBusObjectPath(request))));
        QDBusMessage response = QDBusMessage::createSignal(
            request, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
        response << uint(0) << results;
        bus.send(response);
    }

    QDBusConnection bus;
};

} // namespace

TEST(PortalGlobalShortcut, TheKeyIsBoundInAFixedSessionAndItsActivationIsAPress)
{
    // A bus that can start the machine's own portal would answer with it, not with the fake.
    if (QDBusConnection::sessionBus().interface()->activatableServiceNames().value().contains(
            QStringLiteral("org.freedesktop.portal.Desktop")))
        GTEST_SKIP() << "this session bus starts the installed portal: run the test through CTest";
    EXPECT_FALSE(PortalGlobalShortcut::isOffered());
    FakePortal portal;
    QThread portalThread;
    portal.moveToThread(&portalThread);
    portalThread.start();
    const auto stopThread = qScopeGuard([&portalThread] {
        portalThread.quit();
        portalThread.wait();
    });
    ASSERT_TRUE(PortalGlobalShortcut::isOffered());

    PortalGlobalShortcut watcher;
    QSignalSpy statusChanges(&watcher, &KeyWatcher::statusChanged);
    QSignalSpy presses(&watcher, &KeyWatcher::pressed);
    EXPECT_EQ(watcher.watch(*HotKeySettings::fromText("Control+Alt+Q")).state, "pending");
    ASSERT_TRUE(statusChanges.wait(5000));
    EXPECT_EQ(statusChanges.last().at(0).value<HotKeyStatus>().state, "held");
    EXPECT_TRUE(portal.session.endsWith("/quorvel_hotkey"));
    EXPECT_EQ(portal.boundSession, portal.session);
    EXPECT_EQ(portal.bound.value("wake-up"), "CTRL+ALT+q");

    portal.activate(QStringLiteral("something-else"));
    portal.activate(QStringLiteral("wake-up"));
    ASSERT_TRUE(presses.wait(5000));
    QTest::qWait(100);
    EXPECT_EQ(presses.size(), 1);

    // Switched off, an activation is no press.
    watcher.watch(HotKeySettings("F1", 0, false));
    portal.activate(QStringLiteral("wake-up"));
    QTest::qWait(200);
    EXPECT_EQ(presses.size(), 1);
}
