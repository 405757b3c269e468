// The scan timer and the status line that follows the scanner's reports.

#include "PanelFixture.h"

#include "index/FileList.h"

#include "ui_MainInterface.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

using namespace quorvel;
using quorvel::test::PanelFixture;

namespace {

class ScanSchedule : public PanelFixture {
protected:
    void SetUp() override
    {
        PanelFixture::SetUp();
        writeIndex({ { "Mail", "app", "/Applications/Mail.app" } });
        QFile index(_combinedListPath());
        ASSERT_TRUE(index.open(QIODevice::ReadWrite));
        ASSERT_TRUE(index.setFileTime(indexWritten, QFileDevice::FileModificationTime));
        index.close();
        start();
        // Once the index has been read (a damaged one was not made by a scan), the status line
        // tells of the scan that made it; the tests' own scans come after that.
        ASSERT_TRUE(QTest::qWaitFor([this] { return !controls().statusField->text().isEmpty(); }, 10000));
    }

    // When the last scan of an earlier run wrote the index.
    const QDateTime indexWritten { QDate(2024, 5, 1), QTime(13, 45, 7) };
};

} // namespace

TEST_F(ScanSchedule, TheTimerFollowsTheFlagOnlyAtTheNextInterval)
{
    EXPECT_FALSE(controller().hasScanTimer());
    controller().setAutomaticScanning(1);
    EXPECT_FALSE(controller().hasScanTimer()) << "the flag alone creates no timer";
    controller().setDiskScanningInterval(1800);
    EXPECT_TRUE(controller().hasScanTimer());
    EXPECT_EQ(controller().scanInterval(), 1800.0f);
    controller().setAutomaticScanning(0);
    EXPECT_TRUE(controller().hasScanTimer());
    controller().setDiskScanningInterval(600);
    EXPECT_FALSE(controller().hasScanTimer());
    EXPECT_EQ(controller().scanInterval(), 600.0f);
}

TEST_F(ScanSchedule, WithAnIndexAndNoScanTheStatusLineSaysWhenTheIndexWasWrittenAndTheScanButtonShown)
{
    EXPECT_TRUE(
        controls().statusField->text().startsWith("Last disk scan was completed at 2024-05-01 13:45:07 "))
        << controls().statusField->text().toStdString();
    EXPECT_FALSE(controls().startScanButton->isHidden());
    EXPECT_TRUE(controls().progressIndicator->isHidden());
}

TEST_F(ScanSchedule, TheScannersReportsReachTheStatusLineInTheOrderMade)
{
    QStringList shown;
    QObject::connect(
        &controller(), &AppController::statusLineChanged, [&shown](const QString& text) { shown << text; });
    controller().scanNow();
    ASSERT_TRUE(QTest::qWaitFor(
        [&shown] { return !shown.isEmpty() && shown.last().startsWith("Last disk scan"); }, 60000));
    ASSERT_GE(shown.size(), 3);
    EXPECT_EQ(shown.first(), "Starting scan...");
    for (qsizetype i = 1; i + 1 < shown.size(); ++i)
        EXPECT_TRUE(shown[i].startsWith("Indexing ") && shown[i].endsWith("..")) << shown[i].toStdString();
    EXPECT_TRUE(
        QRegularExpression(R"(^Last disk scan was completed at \d{4}-\d\d-\d\d \d\d:\d\d:\d\d [+-]\d{4}$)")
            .match(shown.last())
            .hasMatch())
        << shown.last().toStdString();
}

TEST_F(ScanSchedule, AScanNowRunsTheScanAndTheStatusLineEndsWithTheCompletionTime)
{
    // The end of this scan: a completion after a line of the scan itself.
    bool scanning = false, completed = false;
    QObject::connect(&controller(), &AppController::statusLineChanged, [&](const QString& text) {
        scanning = scanning || !text.startsWith("Last disk scan");
        completed = scanning && text.startsWith("Last disk scan was completed at ");
    });
    controller().scanNow();
    EXPECT_TRUE(QTest::qWaitFor([&completed] { return completed; }, 60000));
    EXPECT_FALSE(controls().statusField->text().contains("2024-05-01")) << "the new scan's time";
    EXPECT_FALSE(controls().startScanButton->isHidden());
    EXPECT_TRUE(controls().progressIndicator->isHidden());
    EXPECT_FALSE(controller().scanner()->showProgressIndicator());
}
