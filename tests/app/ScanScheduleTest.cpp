// The scan timer and the status line that follows the scanner's reports.

#include "PanelFixture.h"

#include "index/FileList.h"

#include "ui_MainInterface.h"

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
        start();
    }
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

TEST_F(ScanSchedule, WithAnIndexAndNoScanTheStatusLineIsEmptyAndTheScanButtonShown)
{
    EXPECT_EQ(controls().statusField->text(), "");
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
    controller().scanNow();
    EXPECT_TRUE(QTest::qWaitFor(
        [this] { return controls().statusField->text().startsWith("Last disk scan was completed at "); },
        60000));
    EXPECT_FALSE(controls().startScanButton->isHidden());
    EXPECT_TRUE(controls().progressIndicator->isHidden());
    EXPECT_FALSE(controller().scanner()->showProgressIndicator());
}
