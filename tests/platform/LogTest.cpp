// The log: one line per message, failures with their operation and file; a subsystem's lines
// print as they always did, its debug lines only when a logging rule turns them on for it.

#include "platform/core/Log.h"
#include "platform/core/PlatformLog.h"

#include "support/LogCapture.h"

#include <QLoggingCategory>
#include <gtest/gtest.h>

using namespace quorvel;

namespace {

Q_LOGGING_CATEGORY(neighbourLog, "quorvel.neighbour", QtInfoMsg)

// The rules a test sets hold only while it runs.
struct LoggingRules final {
    explicit LoggingRules(const QString& rules) { QLoggingCategory::setFilterRules(rules); }
    ~LoggingRules() { QLoggingCategory::setFilterRules(QString()); }
};

} // namespace

TEST(Log, WritesOneLinePerMessageAndNamesTheFailingOperation)
{
    test::LogCapture log;
    Log::line("two\nlines");
    Log::failure("could not find any defaults!", "load", "DocumentTypes.cpp");
    const QStringList logged = log.lines();
    ASSERT_EQ(logged.size(), 2);
    EXPECT_EQ(logged[0], "two lines");
    EXPECT_EQ(logged[1], "could not find any defaults! (in load, DocumentTypes.cpp)");
}

TEST(Log, ASubsystemsLineIsPrintedAsBeforeAndItsDebugLinesOnlyWhenItsRuleIsOn)
{
    test::LogCapture log;
    Log::line(platformLog(), "Settings not synchronised:\n/home/u/x stays locked");
    Log::debug(platformLog(), "off by default");
    EXPECT_EQ(log.lines(), QStringList({ "Settings not synchronised: /home/u/x stays locked" }));
    {
        const LoggingRules rules("quorvel.platform.debug=true");
        Log::debug(platformLog(), "watching\nthe folder");
        Log::debug(neighbourLog(), "another subsystem's stays off");
    }
    Log::debug(platformLog(), "off again");
    EXPECT_EQ(log.lines(),
        QStringList({ "Settings not synchronised: /home/u/x stays locked",
            "quorvel.platform: watching the folder" }));
}

TEST(Log, ARuleCanSilenceOneSubsystemsLines)
{
    test::LogCapture log;
    const LoggingRules rules("quorvel.neighbour.info=false");
    Log::line(neighbourLog(), "silenced");
    Log::line(platformLog(), "still printed");
    EXPECT_EQ(log.lines(), QStringList({ "still printed" }));
}
