#include "platform/desktop/DistributedNotificationCenter.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <functional>

using namespace quorvel;

namespace {

void sendWithDbusSend(const QStringList& arguments)
{
    QStringList command = { "--session", "--type=signal", DistributedNotificationCenter::objectPath(),
        DistributedNotificationCenter::interfaceName() + "." + DistributedNotificationCenter::signalName() };
    command += arguments;
    QProcess process;
    process.start("dbus-send", command);
    ASSERT_TRUE(process.waitForFinished(5000));
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().constData();
}

class DistributedNotificationCenterTest : public testing::Test {
protected:
    void SetUp() override
    {
        if (!QDBusConnection::sessionBus().isConnected())
            GTEST_SKIP() << "no session bus (run the tests under dbus-run-session)";
    }
    void TearDown() override
    {
        for (const int* observer : { &first, &second })
            center.removeObserver(observer, {}, {});
    }

    DistributedNotificationCenter& center = DistributedNotificationCenter::defaultCenter();
    const int first = 0;
    const int second = 0;
};

} // namespace

TEST_F(DistributedNotificationCenterTest, AnObserverHearsExactlyItsNameAndObject)
{
    int wakeUps = 0;
    int others = 0;
    center.addObserver(&first, "wake up", "org.quorvel.launcher", [&] { ++wakeUps; });
    center.addObserver(&second, "wake up", "org.other.app", [&] { ++others; });

    // Signals of one sender arrive in order: when the last one is seen, the others were handled.
    EXPECT_TRUE(center.postNotification("wake up", "org.quorvel.launcher.extra"));
    EXPECT_TRUE(center.postNotification("wake", "org.quorvel.launcher"));
    EXPECT_TRUE(center.postNotification("", ""));
    EXPECT_TRUE(center.postNotification("wake up", "org.quorvel.launcher"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return wakeUps == 1; }));
    EXPECT_EQ(others, 0);

    EXPECT_TRUE(center.postNotification("wake up", "org.other.app"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return others == 1; }));
    EXPECT_EQ(wakeUps, 1);
}

TEST_F(DistributedNotificationCenterTest, AnotherProcessCanSummonWithDbusSendAndMalformedSignalsAreIgnored)
{
    int wakeUps = 0;
    center.addObserver(&first, "wake up", "org.quorvel.launcher", [&] { ++wakeUps; });

    sendWithDbusSend({ "string:wake up" });
    sendWithDbusSend({ "int32:5", "string:org.quorvel.launcher" });
    sendWithDbusSend({ "string:wake up", "string:org.quorvel.launcher", "string:extra" });
    sendWithDbusSend({ "string:wake up", "int32:1" });
    sendWithDbusSend({ "string:wake up", "string:org.quorvel.launcher" });
    ASSERT_TRUE(QTest::qWaitFor([&] { return wakeUps >= 1; }));
    // The well-formed signal was the last one sent; anything sent after it arrives after it, so
    // once a later signal is heard, no straggler can still be on its way.
    int later = 0;
    center.addObserver(&second, "delivered", "test", [&] { ++later; });
    sendWithDbusSend({ "string:delivered", "string:test" });
    ASSERT_TRUE(QTest::qWaitFor([&] { return later == 1; }));
    EXPECT_EQ(wakeUps, 1);
}

TEST_F(DistributedNotificationCenterTest, RemovedObserversHearNothingEvenWhenRemovedDuringDelivery)
{
    int firstCalls = 0;
    int secondCalls = 0;
    center.addObserver(&first, "wake up", "id", [&] {
        ++firstCalls;
        center.removeObserver(&second, "wake up", "id"); // the later observer must not run now
        center.removeObserver(&first, "wake up", "id");
    });
    center.addObserver(&second, "wake up", "id", [&] { ++secondCalls; });

    center.postNotification("wake up", "id");
    ASSERT_TRUE(QTest::qWaitFor([&] { return firstCalls == 1; }));
    center.postNotification("wake up", "id");
    int sentinel = 0;
    center.addObserver(&second, "done", "id", [&] { ++sentinel; });
    center.postNotification("done", "id");
    ASSERT_TRUE(QTest::qWaitFor([&] { return sentinel == 1; }));
    EXPECT_EQ(firstCalls, 1);
    EXPECT_EQ(secondCalls, 0);
}
