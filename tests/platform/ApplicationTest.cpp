#include "platform/widgets/Application.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <functional>

using namespace quorvel;

namespace {

class RecordingDelegate final : public ApplicationDelegate {
public:
    void applicationWillFinishLaunching() override { events << "will"; }
    void applicationDidFinishLaunching() override
    {
        events << (QThread::currentThread()->loopLevel() > 0 ? "did (in loop)" : "did");
        if (onDidFinish)
            onDidFinish();
    }
    void applicationDidBecomeActive() override { events << "active"; }
    void applicationDidResignActive() override { events << "resign"; }
    bool applicationShouldTerminate() override
    {
        events << "should terminate";
        return allowTermination;
    }
    bool applicationShouldHandleReopen(bool hasVisibleWindows) override
    {
        events << (hasVisibleWindows ? "reopen visible" : "reopen");
        return true;
    }

    QStringList events;
    bool allowTermination = false;
    std::function<void()> onDidFinish;
};

// The shared application outlives every test: each starts inactive, shown and without a delegate.
class ApplicationTest : public testing::Test {
protected:
    void SetUp() override
    {
        application.setDelegate(nullptr);
        application.unhide();
        application.hide();
        application.unhide();
        application.setDelegate(&delegate);
    }
    void TearDown() override { application.setDelegate(nullptr); }

    Application& application = Application::sharedApplication();
    RecordingDelegate delegate;
};

// Answers Reopen on a second bus connection, from its own thread, as another process would.
class RunningInstance final : public QDBusVirtualObject {
public:
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (message.member() == "Reopen")
            ++reopens;
        connection.send(message.createReply());
        return true;
    }
    QString introspect(const QString&) const override { return {}; }
    std::atomic<int> reopens { 0 };
};

} // namespace

TEST_F(ApplicationTest, EachChangeOfTheActiveStateReachesTheDelegateAndTheSignalsOnce)
{
    int became = 0;
    int resigned = 0;
    QObject receiver;
    QObject::connect(&application, &Application::didBecomeActive, &receiver, [&] { ++became; });
    QObject::connect(&application, &Application::didResignActive, &receiver, [&] { ++resigned; });
    application.activateIgnoringOtherApps(true);
    application.activateIgnoringOtherApps(true);
    EXPECT_TRUE(application.isActive());
    application.hide();
    application.hide();
    EXPECT_FALSE(application.isActive());
    application.activateIgnoringOtherApps(true);
    EXPECT_EQ(delegate.events, QStringList({ "active", "resign", "active" }));
    EXPECT_EQ(became, 2);
    EXPECT_EQ(resigned, 1);
}

TEST_F(ApplicationTest, ReportsOvertakenByARequestDoNotUndoIt)
{
    QWidget window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window)); // the window system's own reports are in
    application.hide();
    const auto report = [](Qt::ApplicationState state) { Q_EMIT qApp->applicationStateChanged(state); };

    // Hiding wins over an "active" queued before it, and is announced even when already inactive.
    int hides = 0;
    QObject receiver;
    QObject::connect(&application, &Application::didHide, &receiver, [&] { ++hides; });
    report(Qt::ApplicationActive);
    EXPECT_FALSE(application.isActive());
    application.hide();
    EXPECT_EQ(hides, 1);

    // Bringing a window to the front activates at once. An "inactive" that may have been queued
    // before the request (nothing has confirmed the activation since) waits for the window system,
    // however long it takes; after the confirmation a lost focus is a lost focus.
    application.unhide();
    application.bringWindowToFront(&window);
    EXPECT_TRUE(application.isActive());
    report(Qt::ApplicationInactive);
    QTest::qWait(600);
    EXPECT_TRUE(application.isActive());
    report(Qt::ApplicationActive);
    EXPECT_TRUE(application.isActive());
    report(Qt::ApplicationInactive);
    EXPECT_FALSE(application.isActive());

    // With its last window ordered out the application is not active any more, and an "active"
    // queued before does not bring it back.
    application.bringWindowToFront(&window);
    window.hide();
    report(Qt::ApplicationInactive);
    EXPECT_FALSE(application.isActive());
    report(Qt::ApplicationActive);
    EXPECT_FALSE(application.isActive());
}

TEST_F(ApplicationTest, HideLeavesWindowsThatMayNotHideAndUnhideShowsOnlyWhatItHid)
{
    QWidget panel;
    QWidget other;
    QWidget alreadyHidden;
    Application::setCanHide(&panel, false);
    panel.show();
    other.show();
    {
        QWidget destroyedWhileHidden;
        destroyedWhileHidden.show();
        application.hide();
        EXPECT_FALSE(destroyedWhileHidden.isVisible());
    }
    EXPECT_TRUE(application.isHidden());
    EXPECT_TRUE(panel.isVisible());
    EXPECT_FALSE(other.isVisible());

    application.unhide();
    EXPECT_FALSE(application.isHidden());
    EXPECT_TRUE(other.isVisible());
    EXPECT_FALSE(alreadyHidden.isVisible());
}

TEST_F(ApplicationTest, RunFinishesLaunchingInsideTheLoopAndEndsOnlyWhenTheDelegateAgrees)
{
    QTimer::singleShot(10000, [] { QCoreApplication::exit(99); }); // never hang the suite
    delegate.onDidFinish = [this] {
        application.terminate(); // refused: the loop goes on
        QTimer::singleShot(0, [this] {
            delegate.allowTermination = true;
            application.terminate();
        });
    };
    EXPECT_EQ(application.run(), 0);
    EXPECT_EQ(
        delegate.events, QStringList({ "will", "did (in loop)", "should terminate", "should terminate" }));
}

TEST_F(ApplicationTest, ATerminationAcceptedBeforeTheLoopSkipsTheLaunchSequence)
{
    delegate.allowTermination = true;
    application.terminate();
    EXPECT_TRUE(application.terminationRequested());
    EXPECT_EQ(application.run(), 0);
    EXPECT_EQ(delegate.events, QStringList({ "should terminate" }));
    EXPECT_FALSE(application.terminationRequested());
}

TEST_F(ApplicationTest, SigtermBecomesATerminationRequestOnTheMainThread)
{
    // The handlers were installed with the shared application (SetUp); refusing keeps us alive.
    ASSERT_EQ(std::raise(SIGTERM), 0);
    ASSERT_TRUE(QTest::qWaitFor([this] { return delegate.events.contains("should terminate"); }));
    EXPECT_FALSE(application.terminationRequested());
    ASSERT_EQ(std::raise(SIGHUP), 0);
    ASSERT_TRUE(QTest::qWaitFor([this] { return delegate.events.count("should terminate") == 2; }));
}

TEST_F(ApplicationTest, ASecondStartReachesReopenOfTheRunningInstance)
{
    if (!QDBusConnection::sessionBus().isConnected())
        GTEST_SKIP() << "no session bus (run the tests under dbus-run-session)";

    // This process is the running instance; a second connection plays the second start.
    ASSERT_TRUE(application.becomeSingleInstance("org.quorvel.test.First"));
    ASSERT_TRUE(application.becomeSingleInstance("org.quorvel.test.First")); // asking again is harmless
    QDBusConnection secondStart = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "second-start");
    ASSERT_TRUE(secondStart.isConnected());
    EXPECT_FALSE(secondStart.interface()->registerService("org.quorvel.test.First").value()
        == QDBusConnectionInterface::ServiceRegistered);
    QWidget window;
    window.show();
    secondStart.asyncCall(QDBusMessage::createMethodCall(
        "org.quorvel.test.First", "/org/quorvel/test/First", "org.quorvel.Application", "Reopen"));
    ASSERT_TRUE(QTest::qWaitFor([this] { return delegate.events.contains("reopen visible"); }));

    // Reopen, which summons the panel, is all a caller on the bus can ask of the instance's own
    // interface. (The instance answers on this thread: the calls are waited for with the event
    // loop running.)
    const auto ask = [&secondStart](const QString& interface, const QString& member) {
        QDBusPendingCall call = secondStart.asyncCall(QDBusMessage::createMethodCall(
            "org.quorvel.test.First", "/org/quorvel/test/First", interface, member));
        EXPECT_TRUE(QTest::qWaitFor([&call] { return call.isFinished(); }, 10000)) << member.toStdString();
        return call.reply();
    };
    const int reopens = int(delegate.events.count("reopen visible"));
    for (const char* member : { "Quit", "Terminate", "reopen", "Activate" }) {
        const QDBusMessage answer = ask("org.quorvel.Application", member);
        EXPECT_EQ(answer.type(), QDBusMessage::ErrorMessage) << member;
        EXPECT_TRUE(answer.errorName().startsWith("org.freedesktop.DBus.Error.Unknown")) << member;
    }
    const QString introspection
        = ask("org.freedesktop.DBus.Introspectable", "Introspect").arguments().value(0).toString();
    // Besides the bus's own standard interfaces, one interface with one method.
    const QRegularExpression interfaces("<interface name=\"([^\"]+)\"");
    QStringList names;
    for (auto match = interfaces.globalMatch(introspection); match.hasNext();)
        names << match.next().captured(1);
    names.removeIf([](const QString& name) { return name.startsWith("org.freedesktop.DBus."); });
    EXPECT_EQ(names, QStringList({ "org.quorvel.Application", "org.freedesktop.Application" }))
        << introspection.toStdString();
    const QString ours = introspection.section("org.quorvel.Application", 1).section("</interface>", 0, 0);
    EXPECT_EQ(ours.count("<method "), 1) << introspection.toStdString();
    QTest::qWait(50);
    EXPECT_EQ(int(delegate.events.count("reopen visible")), reopens);
    EXPECT_FALSE(application.terminationRequested());

    // The other way round: another process already runs; this one asks it and must exit.
    QThread answering;
    RunningInstance running;
    running.moveToThread(&answering);
    answering.start();
    ASSERT_TRUE(secondStart.registerVirtualObject("/org/quorvel/test/Second", &running));
    ASSERT_EQ(secondStart.interface()->registerService("org.quorvel.test.Second").value(),
        QDBusConnectionInterface::ServiceRegistered);
    EXPECT_FALSE(application.becomeSingleInstance("org.quorvel.test.Second"));
    EXPECT_EQ(running.reopens.load(), 1);

    secondStart.unregisterObject("/org/quorvel/test/Second");
    secondStart.interface()->unregisterService("org.quorvel.test.Second");
    answering.quit();
    answering.wait();
    QDBusConnection::disconnectFromBus("second-start");
}

TEST_F(ApplicationTest, ActivateOverTheFreedesktopInterfaceIsAnsweredAndReported)
{
    if (!QDBusConnection::sessionBus().isConnected())
        GTEST_SKIP() << "no session bus (run the tests under dbus-run-session)";
    ASSERT_TRUE(application.becomeSingleInstance("org.quorvel.test.Activated"));
    int activations = 0;
    QObject::connect(&application, &Application::activationRequested, [&activations] { ++activations; });
    QDBusConnection desktop = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "desktop");
    const auto call = [&desktop](const QString& member, const QVariantList& arguments) {
        QDBusMessage message = QDBusMessage::createMethodCall("org.quorvel.test.Activated",
            "/org/quorvel/test/Activated", "org.freedesktop.Application", member);
        message.setArguments(arguments);
        QDBusPendingCall pending = desktop.asyncCall(message);
        EXPECT_TRUE(QTest::qWaitFor([&pending] { return pending.isFinished(); }, 10000))
            << member.toStdString();
        return pending.reply();
    };
    const QVariantMap platformData { { "desktop-startup-id", QString("_TIME0") } };

    EXPECT_EQ(call("Activate", { platformData }).type(), QDBusMessage::ReplyMessage);
    ASSERT_TRUE(QTest::qWaitFor([&activations] { return activations == 1; }));
    QDBusMessage answer = call("Open", { QStringList { "file:///etc/hostname" }, platformData });
    EXPECT_EQ(answer.errorName(), "org.freedesktop.DBus.Error.NotSupported");
    answer = call("ActivateAction", { QString("scan"), QVariant::fromValue(QVariantList()), platformData });
    EXPECT_EQ(answer.errorName(), "org.freedesktop.DBus.Error.InvalidArgs");
    EXPECT_TRUE(answer.errorMessage().contains("\"scan\"")) << answer.errorMessage().toStdString();
    answer = call("Activate", { QString("not a dictionary") });
    EXPECT_EQ(answer.type(), QDBusMessage::ErrorMessage) << "a call of the wrong signature";
    QTest::qWait(50);
    EXPECT_EQ(activations, 1) << "only Activate activates";
    EXPECT_TRUE(delegate.events.filter("reopen").isEmpty()) << "activation is not a second start";
    application.releaseSingleInstance();
    QDBusConnection::disconnectFromBus("desktop");
}
