#include "components/hotkey/PortalGlobalShortcut.h"
#include "components/hotkey/PortalAppIdentity.h"
#include "support/TemporaryHome.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>
#include <optional>

using namespace quorvel;
using namespace std::chrono_literals;

namespace {

const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString shortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");

// A shortcut list as a desktop answers it, from id and trigger description.
QVariant listOf(const QList<std::pair<QString, QString>>& shortcuts)
{
    PortalShortcutList::registerTypes();
    QList<PortalShortcut> list;
    for (const auto& [id, trigger] : shortcuts)
        list.append({ id,
            { { QStringLiteral("description"), QStringLiteral("Bring up Quorvel Launcher") },
                { QStringLiteral("trigger_description"), trigger } } });
    QDBusArgument argument;
    argument << list;
    return QVariant::fromValue(argument);
}

// How the fake desktop answers.
struct Desktop {
    // Plasma 5: binds the shortcuts given with CreateSession and lists them in its answer.
    bool bindsWithSession = false;
    // The trigger it gives what it binds, whatever was asked for.
    QString trigger = QStringLiteral("Meta+F9");
    uint bindResponse = 0;
    // What BindShortcuts answers instead of the list of what it bound.
    std::optional<QVariantMap> bindResults {};
    bool answersBind = true;
    bool answersOfAnotherForm = false;
};

// A desktop portal with GlobalShortcuts (and the host registry) on a connection and a thread of
// its own, as the code under test blocks on some of its calls. Keeps what it was sent.
class FakePortal final : public QDBusVirtualObject {
public:
    explicit FakePortal(Desktop desktop)
        : desktop(std::move(desktop))
        , bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake-portal")))
    {
        PortalShortcutList::registerTypes();
        bus.registerVirtualObject(portalPath, this);
        ownPortalName();
        moveToThread(&thread);
        thread.start();
    }
    ~FakePortal() override
    {
        thread.quit();
        thread.wait();
        QDBusConnection::disconnectFromBus(QStringLiteral("fake-portal"));
    }

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (message.member() == QLatin1String("Get")) {
            connection.send(message.createReply(QVariant::fromValue(QDBusVariant(uint(1)))));
            return true;
        }
        if (message.member() == QLatin1String("Register")) {
            registeredId = message.arguments().at(0).toString();
            connection.send(message.createReply());
            return true;
        }
        if (message.member() == QLatin1String("CreateSession"))
            return createSession(message);
        if (message.member() == QLatin1String("BindShortcuts"))
            return bindShortcuts(message);
        return false;
    }

    // Sends the answer a silent BindShortcuts never sent.
    void answerLate() { bus.send(lateAnswer); }

    void activate(const QString& id)
    {
        QDBusMessage signal
            = QDBusMessage::createSignal(portalPath, shortcutsInterface, QStringLiteral("Activated"));
        signal << QVariant::fromValue(QDBusObjectPath(session)) << id << qulonglong(0) << QVariantMap();
        bus.send(signal);
    }

    void changeTrigger(const QString& trigger)
    {
        QDBusMessage signal
            = QDBusMessage::createSignal(portalPath, shortcutsInterface, QStringLiteral("ShortcutsChanged"));
        signal << QVariant::fromValue(QDBusObjectPath(session))
               << listOf({ { QStringLiteral("wake-up"), trigger } });
        bus.send(signal);
    }

    Desktop desktop;
    QString session;
    QString sessionShortcutsSignature; // of the "shortcuts" option of CreateSession
    QString bindSignature; // of the BindShortcuts call
    QMap<QString, QString> asked; // shortcut id to preferred trigger
    QString registeredId;

private:
    // The fake of the test before may not have left the bus yet: wait in the queue for the name.
    void ownPortalName()
    {
        const QString name = QStringLiteral("org.freedesktop.portal.Desktop");
        bus.interface()->registerService(
            name, QDBusConnectionInterface::QueueService, QDBusConnectionInterface::DontAllowReplacement);
        for (int tries = 0; tries < 500 && bus.interface()->serviceOwner(name).value() != bus.baseService();
             ++tries)
            QThread::msleep(10);
        ASSERT_EQ(bus.interface()->serviceOwner(name).value(), bus.baseService());
    }

    bool createSession(const QDBusMessage& message)
    {
        const QVariantMap options = qdbus_cast<QVariantMap>(message.arguments().last());
        session = portalPath + QStringLiteral("/session/x/")
            + options.value(QStringLiteral("session_handle_token")).toString();
        QVariantMap results { { QStringLiteral("session_handle"), session } };
        const QVariant shortcuts = options.value(QStringLiteral("shortcuts"));
        if (shortcuts.canConvert<QDBusArgument>()) {
            sessionShortcutsSignature = shortcuts.value<QDBusArgument>().currentSignature();
            if (desktop.bindsWithSession)
                results.insert(QStringLiteral("shortcuts"), keep(shortcuts.value<QDBusArgument>()));
        }
        respond(message, options, 0, results);
        return true;
    }

    bool bindShortcuts(const QDBusMessage& message)
    {
        bindSignature = message.signature();
        const QVariantMap options = qdbus_cast<QVariantMap>(message.arguments().last());
        const QVariant list = keep(message.arguments().at(1).value<QDBusArgument>());
        const QVariantMap results
            = desktop.bindResults.value_or(QVariantMap { { QStringLiteral("shortcuts"), list } });
        respond(message, options, desktop.bindResponse, results, desktop.answersBind);
        return true;
    }

    // Takes the shortcuts asked for and answers them with the desktop's own trigger.
    QVariant keep(const QDBusArgument& shortcuts)
    {
        QList<std::pair<QString, QString>> bound;
        shortcuts.beginArray();
        while (!shortcuts.atEnd()) {
            QString id;
            QVariantMap properties;
            shortcuts.beginStructure();
            shortcuts >> id >> properties;
            shortcuts.endStructure();
            asked.insert(id, properties.value(QStringLiteral("preferred_trigger")).toString());
            bound.append({ id, desktop.trigger });
        }
        shortcuts.endArray();
        return listOf(bound);
    }

    void respond(const QDBusMessage& message, const QVariantMap& options, uint response,
        const QVariantMap& results, bool now = true)
    {
        QString sender = message.service().mid(1);
        sender.replace(QLatin1Char('.'), QLatin1Char('_'));
        const QString request = portalPath + QStringLiteral("/request/") + sender + QLatin1Char('/')
            + options.value(QStringLiteral("handle_token")).toString();
        bus.send(message.createReply(QVariant::fromValue(QDBusObjectPath(request))));
        QDBusMessage answer = QDBusMessage::createSignal(
            request, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
        if (desktop.answersOfAnotherForm)
            answer << QStringLiteral("done");
        else
            answer << response << results;
        if (now)
            bus.send(answer);
        else
            lateAnswer = answer;
    }

    QThread thread;
    QDBusConnection bus;
    QDBusMessage lateAnswer;
};

HotKeyStatus lastStatus(const QSignalSpy& spy)
{
    return spy.last().at(0).value<HotKeyStatus>();
}

// What the watcher reports once the desktop has answered a request for F1.
HotKeyStatus answerTo(const Desktop& desktop)
{
    FakePortal portal(desktop);
    PortalGlobalShortcut watcher;
    QSignalSpy statusChanges(&watcher, &KeyWatcher::statusChanged);
    EXPECT_EQ(watcher.watch(HotKeySettings("F1", 0, true)).state, "pending");
    if (!statusChanges.wait(5000))
        return { QStringLiteral("no report"), {} };
    return lastStatus(statusChanges);
}

} // namespace

// Plasma 5 binds what CreateSession carries and does nothing useful on BindShortcuts.
TEST(PortalGlobalShortcut, ADesktopThatBindsWithTheSessionHoldsTheKeyOnTheTriggerItReports)
{
    FakePortal portal({ .bindsWithSession = true });
    PortalGlobalShortcut watcher;
    QSignalSpy statusChanges(&watcher, &KeyWatcher::statusChanged);
    QSignalSpy presses(&watcher, &KeyWatcher::pressed);
    EXPECT_EQ(watcher.watch(*HotKeySettings::fromText("Control+Alt+Q")).state, "pending");
    ASSERT_TRUE(statusChanges.wait(5000));
    EXPECT_EQ(lastStatus(statusChanges).state, "held");
    EXPECT_TRUE(lastStatus(statusChanges).message.contains("Meta+F9"));
    EXPECT_TRUE(portal.session.endsWith("/quorvel_hotkey"));
    EXPECT_EQ(portal.sessionShortcutsSignature, "a(sa{sv})");
    EXPECT_EQ(portal.asked.value("wake-up"), "CTRL+ALT+q");
    EXPECT_TRUE(portal.bindSignature.isEmpty());

    portal.activate(QStringLiteral("something-else"));
    portal.activate(QStringLiteral("wake-up"));
    ASSERT_TRUE(presses.wait(5000));
    QTest::qWait(100);
    EXPECT_EQ(presses.size(), 1);

    // The user takes the key away in the desktop's settings, then gives it another.
    portal.changeTrigger(QString());
    ASSERT_TRUE(statusChanges.wait(5000));
    EXPECT_EQ(lastStatus(statusChanges).state, "taken");
    portal.changeTrigger(QStringLiteral("Meta+Space"));
    ASSERT_TRUE(statusChanges.wait(5000));
    EXPECT_TRUE(lastStatus(statusChanges).isHeld());

    // Switched off, an activation is no press.
    EXPECT_EQ(watcher.watch(HotKeySettings("F1", 0, false)).state, "off");
    portal.activate(QStringLiteral("wake-up"));
    QTest::qWait(200);
    EXPECT_EQ(presses.size(), 1);
}

TEST(PortalGlobalShortcut, ADesktopThatBindsOnRequestIsAskedInTheStandardForm)
{
    FakePortal portal({});
    PortalGlobalShortcut watcher;
    QSignalSpy statusChanges(&watcher, &KeyWatcher::statusChanged);
    watcher.watch(HotKeySettings("F1", 0, true));
    ASSERT_TRUE(statusChanges.wait(5000));
    EXPECT_EQ(portal.bindSignature, "oa(sa{sv})sa{sv}");
    EXPECT_EQ(portal.asked.value("wake-up"), "F1");
    EXPECT_TRUE(lastStatus(statusChanges).isHeld()) << lastStatus(statusChanges).message.toStdString();
}

TEST(PortalGlobalShortcut, TriggersNameTheKeyByItsKeySymbol)
{
    EXPECT_EQ(
        PortalGlobalShortcut::triggerOf(*HotKeySettings::fromText("Control+Alt+Space")), "CTRL+ALT+space");
    EXPECT_EQ(PortalGlobalShortcut::triggerOf(*HotKeySettings::fromText("Super+Shift+Page Up")),
        "SHIFT+LOGO+Page_Up");
    EXPECT_EQ(PortalGlobalShortcut::triggerOf(*HotKeySettings::fromText("Alt+Enter")), "ALT+KP_Enter");
}

// Only a shortcut the desktop listed back with a key of its own is a held key.
TEST(PortalGlobalShortcut, AnAnswerWithoutOurShortcutAndItsKeyIsNeverHeld)
{
    const QList<std::pair<const char*, Desktop>> answers {
        { "no results", { .bindResults = QVariantMap() } },
        { "a list of text", { .bindResults = QVariantMap { { "shortcuts", QStringLiteral("F1") } } } },
        { "a list without ours",
            { .bindResults = QVariantMap { { "shortcuts", listOf({ { "other", "F1" } }) } } } },
        { "ours with no key",
            { .bindResults = QVariantMap { { "shortcuts", listOf({ { "wake-up", " " } }) } } } },
        { "declined", { .bindResponse = 1 } },
        { "failed", { .bindResponse = 2 } },
        { "an answer of another form", { .answersOfAnotherForm = true } },
    };
    for (const auto& [name, desktop] : answers) {
        const HotKeyStatus status = answerTo(desktop);
        EXPECT_NE(status.state, "held") << name;
        EXPECT_NE(status.state, "no report") << name;
        EXPECT_FALSE(status.message.isEmpty()) << name;
    }
    // The list itself is read: with our shortcut and a key it is held.
    EXPECT_TRUE(answerTo({ .bindResults = QVariantMap { { "shortcuts", listOf({ { "wake-up", "F1" } }) } } })
                    .isHeld());
}

TEST(PortalGlobalShortcut, APortalThatDoesNotAnswerIsReportedAndItsLateAnswerStillCounts)
{
    FakePortal portal({ .answersBind = false });
    PortalGlobalShortcut watcher(300ms);
    QSignalSpy statusChanges(&watcher, &KeyWatcher::statusChanged);
    QSignalSpy presses(&watcher, &KeyWatcher::pressed);
    watcher.watch(HotKeySettings("F1", 0, true));
    ASSERT_TRUE(statusChanges.wait(5000));
    EXPECT_EQ(lastStatus(statusChanges).state, "unavailable");
    EXPECT_TRUE(lastStatus(statusChanges).message.contains("not answered"));

    portal.answerLate();
    ASSERT_TRUE(statusChanges.wait(5000));
    EXPECT_TRUE(lastStatus(statusChanges).isHeld());
    portal.activate(QStringLiteral("wake-up"));
    EXPECT_TRUE(presses.wait(5000));
}

TEST(PortalAppIdentity, TheComponentIsNamedByItsDesktopEntryAndItsUnit)
{
    const test::TemporaryHome home;
    {
        FakePortal portal({});
        EXPECT_TRUE(
            PortalAppIdentity::claim(QStringLiteral("/opt/Q/QRV HotKey.app/Contents/MacOS/QRV HotKey")));
        EXPECT_EQ(portal.registeredId, PortalAppIdentity::applicationId());
    }
    QFile entry(PortalAppIdentity::desktopEntryPath());
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(entry.readAll());
    EXPECT_TRUE(entry.fileName().startsWith(home.path()));
    EXPECT_TRUE(text.contains("Exec=\"/opt/Q/QRV HotKey.app/Contents/MacOS/QRV HotKey\""))
        << text.toStdString();
    EXPECT_TRUE(text.contains("NoDisplay=true"));

    EXPECT_EQ(PortalAppIdentity::unitOf("1:name=systemd:/user.slice/user-1000.slice/session-2.scope\n"
                                        "0::/user.slice/user-1000.slice/user@1000.service/app.slice/"
                                        "app-quorvel-org.quorvel.hotkey-77.scope\n"),
        "app-quorvel-org.quorvel.hotkey-77.scope");
    EXPECT_EQ(PortalAppIdentity::unitOf("1:name=systemd:/user.slice/user-1000.slice/session-2.scope\n0::/\n"),
        "session-2.scope");
    EXPECT_EQ(PortalAppIdentity::unitOf("0::/\n"), "");
    EXPECT_TRUE(PortalAppIdentity::unitNamesUs(PortalAppIdentity::scopeName(77)));
    EXPECT_TRUE(PortalAppIdentity::unitNamesUs("app-org.quorvel.hotkey@autostart.service"));
    EXPECT_FALSE(PortalAppIdentity::unitNamesUs("app-quorvel\\x2dhotkey@autostart.service"));
    EXPECT_FALSE(PortalAppIdentity::unitNamesUs("app-gnome-org.quorvel.launcher-12.scope"));
}
