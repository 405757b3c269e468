// Quit signals reach the event loop: with the number of the signal, once for a burst, and only
// for the instance that has them; when it ends, the handling before it is back. A process whose
// event loop never comes to read the signal still ends by it.

#include "platform/core/QuitSignals.h"

#include <QCoreApplication>
#include <QTest>
#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>
#include <vector>

using namespace quorvel;

TEST(QuitSignals, SignalsRaisedBeforeTheLoopReadsThemArriveAsOneCallWithTheLast)
{
    std::vector<int> received;
    const QuitSignals quitSignals([&received](int signalNumber) { received.push_back(signalNumber); });
    ASSERT_TRUE(quitSignals.isCatching());
    ASSERT_EQ(std::raise(SIGTERM), 0);
    ASSERT_EQ(std::raise(SIGINT), 0);
    ASSERT_TRUE(QTest::qWaitFor([&received] { return !received.empty(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(received, std::vector<int>({ SIGINT }));
}

TEST(QuitSignals, AnInnerInstanceHasTheSignalsWhileItLivesAndTheOuterOneAfterwards)
{
    std::vector<int> outer;
    std::vector<int> inner;
    const QuitSignals outerSignals([&outer](int signalNumber) { outer.push_back(signalNumber); });
    {
        const QuitSignals innerSignals([&inner](int signalNumber) { inner.push_back(signalNumber); });
        ASSERT_EQ(std::raise(SIGHUP), 0);
        ASSERT_TRUE(QTest::qWaitFor([&inner] { return !inner.empty(); }));
    }
    ASSERT_EQ(std::raise(SIGTERM), 0);
    ASSERT_TRUE(QTest::qWaitFor([&outer] { return !outer.empty(); }));
    EXPECT_EQ(inner, std::vector<int>({ SIGHUP }));
    EXPECT_EQ(outer, std::vector<int>({ SIGTERM }));
}

TEST(QuitSignals, AProcessWhoseEventLoopNeverReadsTheSignalIsEndedByItAllTheSame)
{
    // In a process of its own (gtest starts the test binary again for it): the main thread
    // never returns to the event loop, as when a quit waits for a thread that never ends.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            QuitSignals quitSignals([](int) {});
            quitSignals.endProcessWithinGrace();
            // Should nothing end the process, SIGALRM does, which the expectation tells apart.
            ::alarm(20);
            ASSERT_EQ(std::raise(SIGTERM), 0);
            for (;;)
                ::pause();
        },
        testing::KilledBySignal(SIGTERM), "");
}
