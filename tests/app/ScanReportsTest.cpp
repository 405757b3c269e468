// The scanner's reports reach the controller's handlers on the main thread, in the order made.

#include "app/ScanReports.h"

#include "index/FileList.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>
#include <thread>

using namespace quorvel;

namespace {

struct Recorded {
    QStringList reports;
    bool allOnTheMainThread = true;
};

std::unique_ptr<ScanReports> recordingReports(const FileList& scanner, Recorded& recorded)
{
    const auto note = [&recorded](const QString& report) {
        recorded.reports << report;
        recorded.allOnTheMainThread &= QThread::currentThread() == qApp->thread();
    };
    return std::make_unique<ScanReports>(
        scanner, [note](const QString& status, bool scanning) { note(status + (scanning ? "+" : "-")); },
        [note](const WrittenIndex& written) { note(QString::number(written.table->size())); });
}

} // namespace

TEST(ScanReports, ReportsFromTheScanningThreadReachTheMainThreadInTheirOrder)
{
    FileList scanner;
    Recorded recorded;
    const std::unique_ptr<ScanReports> reports = recordingReports(scanner, recorded);
    std::thread scanning([&reports] {
        reports->updateStatusBar();
        reports->fileListWasRefreshed(
            WrittenIndex { IndexFile::tableOfItems({ { "Maps", "app", "/Maps" } }), {} });
        reports->updateStatusBar();
    });
    scanning.join();
    EXPECT_TRUE(recorded.reports.isEmpty()) << "nothing runs on the scanning thread";
    ASSERT_TRUE(QTest::qWaitFor([&recorded] { return recorded.reports.size() == 3; }));
    EXPECT_EQ(recorded.reports, (QStringList { "-", "1", "-" }));
    EXPECT_TRUE(recorded.allOnTheMainThread);
}

TEST(ScanReports, ReportsStillQueuedWhenItGoesAreDropped)
{
    FileList scanner;
    Recorded recorded;
    std::unique_ptr<ScanReports> reports = recordingReports(scanner, recorded);
    std::thread scanning([&reports] { reports->updateStatusBar(); });
    scanning.join();
    reports.reset();
    QCoreApplication::processEvents();
    EXPECT_TRUE(recorded.reports.isEmpty());
}
