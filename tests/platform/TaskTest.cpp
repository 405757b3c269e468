// Child processes: the argument vector reaches the child unsplit, and its status comes back.

#include "platform/desktop/Task.h"

#include "support/LogCapture.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace quorvel;

TEST(Task, ArgumentsReachTheChildAsTheyStandAndItsExitStatusComesBack)
{
    QTemporaryDir dir;
    const QString output = dir.filePath("out");
    const QString tricky = "two words; $(echo no) `no` 'q' \"q\" *";
    EXPECT_EQ(Task::sharedRunner().launchAndWait(
                  "/bin/sh", { "-c", "printf %s \"$1\" > \"$2\"; exit 3", "sh", tricky, output }),
        3);
    QFile file(output);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(file.readAll()), tricky);

    test::LogCapture log;
    EXPECT_EQ(Task::sharedRunner().launchAndWait(dir.filePath("missing"), {}), Task::failedStatus);
    EXPECT_EQ(Task::sharedRunner().launchAndWait("/bin/sh", { "-c", "kill -9 $$" }), Task::failedStatus);
    EXPECT_EQ(log.lines().size(), 2);
}
