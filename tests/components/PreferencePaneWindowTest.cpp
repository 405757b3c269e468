#include "components/pane/PreferencePaneWindow.h"
#include "components/shared/ComponentContract.h"
#include "support/TemporaryHome.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QLabel>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>
#include <mutex>

using namespace quorvel;
using namespace std::chrono_literals;

namespace {

// A hot-key component on the bus, on a connection and a thread of its own (the pane's calls
// block): answers Status with whatever the test last set.
class FakeComponent final : public QDBusVirtualObject {
public:
    FakeComponent()
        : bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake-component")))
    {
        bus.registerVirtualObject(ComponentContract::hotKeyObjectPath(), this);
        bus.registerService(ComponentContract::hotKeyBusName());
        moveToThread(&thread);
        thread.start();
    }
    ~FakeComponent() override
    {
        thread.quit();
        thread.wait();
        QDBusConnection::disconnectFromBus(QStringLiteral("fake-component"));
    }

    void say(const QString& state, const QString& message)
    {
        const std::lock_guard lock(mutex);
        answer = { state, message };
    }

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (message.member() != QLatin1String("Status"))
            return false;
        const std::lock_guard lock(mutex);
        connection.send(message.createReply({ answer.first, answer.second }));
        return true;
    }

private:
    QThread thread;
    QDBusConnection bus;
    std::mutex mutex;
    std::pair<QString, QString> answer;
};

QString shownStatus(const PreferencePaneWindow& pane)
{
    return pane.findChild<QLabel*>(QStringLiteral("hotKeyStatus"))->text();
}

} // namespace

// While the desktop is still asked, the pane follows the component's answer; with none by its
// limit it says so itself, and a component that never answers does not hold the pane up.
TEST(PreferencePane, AKeyTheDesktopIsStillAskedAboutIsFollowedUntilTheAnswerOrTheLimit)
{
    const test::TemporaryHome home;
    FakeComponent component;
    component.say(QStringLiteral("pending"), QStringLiteral("The desktop was asked for F1."));
    PreferencePaneWindow answered(QStringLiteral("/nowhere/QRV HotKey.app"), 10s);
    answered.load();
    EXPECT_EQ(shownStatus(answered), "The desktop was asked for F1.");
    component.say(QStringLiteral("held"), QStringLiteral("The desktop's shortcut is set to F1."));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return shownStatus(answered) == "The desktop's shortcut is set to F1."; }, 5000));

    component.say(QStringLiteral("pending"), QStringLiteral("The desktop was asked for F2."));
    PreferencePaneWindow silent(QStringLiteral("/nowhere/QRV HotKey.app"), 1500ms);
    silent.load();
    EXPECT_TRUE(QTest::qWaitFor([&] { return shownStatus(silent).contains("has not answered"); }, 6000))
        << shownStatus(silent).toStdString();
    // The pane stops asking once it has said so.
    component.say(QStringLiteral("held"), QStringLiteral("Late."));
    QTest::qWait(1200);
    EXPECT_TRUE(shownStatus(silent).contains("has not answered"));
}
