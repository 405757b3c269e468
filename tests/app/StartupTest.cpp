// Start-up, the system version check, the settings that saving writes and damaged settings.

#include "PanelFixture.h"

#include "app/CustomWindow.h"
#include "platform/core/SystemInfo.h"
#include "platform/desktop/Bundle.h"
#include "platform/files/Folders.h"
#include "platform/settings/UserDefaults.h"
#include "search/InteractiveList.h"
#include "support/TemporaryHome.h"

#include "ui_MainInterface.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace quorvel;
using quorvel::test::PanelFixture;

namespace {

class Startup : public PanelFixture { };

} // namespace

TEST_F(Startup, ASystemOlderThanTheMinimumGetsTheQuitAlertAndNothingElseRuns)
{
    SystemInfo::setSystemVersionForTesting(0x1028);
    EXPECT_FALSE(MainInterface::load());
    ASSERT_EQ(alert.shown.size(), 1u);
    EXPECT_EQ(alert.shown[0].style, Alert::Style::Critical);
    EXPECT_EQ(alert.shown[0].title, "Quorvel Launcher requires Mac OS X 10.3 or later.");
    EXPECT_EQ(alert.shown[0].message, "The application is now quitting.");
    EXPECT_EQ(alert.shown[0].buttons, QStringList { "Quit" });
    EXPECT_TRUE(UserDefaults::standardUserDefaults().registeredDefaults().isEmpty());

    SystemInfo::setSystemVersionForTesting(0x1030);
    writeIndex({});
    EXPECT_TRUE(MainInterface::load());
    EXPECT_EQ(alert.shown.size(), 1u);
    SystemInfo::setSystemVersionForTesting(std::nullopt);
}

TEST_F(Startup, AFreshUserSeesAnEmptySearchTabInPrefixModeWithNoMatchAndNoScanTimer)
{
    start();
    EXPECT_TRUE(interface->window().isVisible());
    EXPECT_EQ(controls().tabView->currentIndex(), 0);
    EXPECT_EQ(controls().combinedMatchingModePopUp->currentIndex(), InteractiveList::PrefixMode);
    EXPECT_EQ(controls().combinedInputTextField->text(), "");
    EXPECT_EQ(controls().combinedOutputTextField->text(), "No match.");
    EXPECT_EQ(controls().combinedResultsCountTextField->text(), "No Match.");
    EXPECT_EQ(controls().combinedPathNameTextField->text(), "");
    EXPECT_FALSE(controller().hasScanTimer());
    EXPECT_EQ(controller().scanInterval(), 1800.0f);
    EXPECT_TRUE(controller().isActiveFlag());
    EXPECT_GE(interface->window().level(), 27);
}

TEST_F(Startup, SavingWritesOnlyTheKeysItOwnsAndTheIntervalAsAnInteger)
{
    writeIndex({ { "Mail", "app", "/Applications/Mail.app" } });
    {
        UserDefaults stored("org.quorvel.launcher");
        stored.setObject("updateIntervalInSeconds", 90.7);
        ASSERT_TRUE(stored.synchronize());
    }
    start();
    EXPECT_EQ(controller().scanInterval(), 90.0f);
    type("zzz");
    controller().saveSettings();

    const QVariantMap settings = storedSettings();
    for (const char* key : { "tab", "combinedMatchingMode", "combinedLastSearchTerm",
             "combinedPathOfLastMatch", "updateIntervalInSeconds", "automaticScanning" })
        EXPECT_TRUE(settings.contains(key)) << key;
    for (const char* key :
        { "qrvl", "launchAtLogin", "mainWindowTransparency", "listItemSize", "showMenuBar", "instantOn" })
        EXPECT_FALSE(settings.contains(key)) << key;
    EXPECT_EQ(settings["updateIntervalInSeconds"].typeId(), QMetaType::LongLong);
    EXPECT_EQ(settings["updateIntervalInSeconds"].toLongLong(), 90);
    EXPECT_EQ(settings["combinedLastSearchTerm"].toString(), "zzz");
    EXPECT_EQ(settings["combinedPathOfLastMatch"].toString(), "") << "no match saves the empty path";

    for (const char* list : { "Quorvel Launcher Search Locations List",
             "Quorvel Launcher Document Types List", "Quorvel Launcher Folder Exclusion List",
             "Quorvel Launcher File Exclusion List", "Quorvel Launcher History" })
        EXPECT_TRUE(QFile::exists(Folders::pathInPreferencesFolder(list))) << list;
}

TEST_F(Startup, DamagedSettingsFilesGiveTheRegisteredDefaults)
{
    writeIndex({ { "Mail", "app", "/Applications/Mail.app" } });
    const QString settingsPath = Folders::pathInPreferencesFolder("org.quorvel.launcher.plist");
    const QByteArray damaged[]
        = { "", "bplist00\x01\x02garbage", "<?xml version=\"1.0\"?><plist><dict><key>tab</key>",
              "<plist version=\"1.0\"><array><string>x</string></array></plist>" };
    for (const QByteArray& content : damaged) {
        QFile file(settingsPath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
        file.close();
        UserDefaults::resetStandardUserDefaults();
        start();
        EXPECT_EQ(controls().tabView->currentIndex(), 0);
        EXPECT_EQ(controls().combinedMatchingModePopUp->currentIndex(), InteractiveList::PrefixMode);
        EXPECT_EQ(controller().scanInterval(), 1800.0f);
        interface.reset();
    }
}

TEST_F(Startup, QuittingSavesTheSettingsAsDismissingDoes)
{
    writeIndex({ { "Mail", "app", "/Applications/Mail.app" }, { "Maps", "app", "/Applications/Maps.app" } });
    start();
    type("Map");
    EXPECT_TRUE(controller().applicationShouldTerminate());
    EXPECT_EQ(storedSettings()["combinedLastSearchTerm"].toString(), "Map");
    EXPECT_EQ(storedSettings()["combinedPathOfLastMatch"].toString(), "/Applications/Maps.app");
}

TEST_F(Startup, APanelWithoutItsImagesStillSearchesAndLaunches)
{
    // A bundle with its Info.plist and defaults but no badges, no background and no style.
    QTemporaryDir bare;
    test::makeBundleWithOnlyItsDefaults(bare.filePath("Bare.app"));
    Bundle::setMainBundlePath(bare.filePath("Bare.app"));
    writeIndex({ { "Mail", "app", "/Applications/Mail.app" } });
    start();
    interface->window().repaint();
    type("ma");
    EXPECT_EQ(controls().combinedOutputTextField->text(), "Mail");
    EXPECT_TRUE(controls().combinedFileTypeImageView->pixmap().isNull());
    controller().launch();
    ASSERT_EQ(workspace.opened().size(), 1u);
    EXPECT_EQ(workspace.opened()[0].path, "/Applications/Mail.app");
    interface.reset();
    Bundle::setMainBundlePath(test::builtBundlePath());
}

TEST_F(Startup, AnIntervalEditedBeyondRangeIsBroughtIntoRange)
{
    writeIndex({});
    {
        UserDefaults stored("org.quorvel.launcher");
        stored.setObject("updateIntervalInSeconds", 1e30);
        ASSERT_TRUE(stored.synchronize());
    }
    start();
    EXPECT_EQ(controller().scanInterval(), float(std::numeric_limits<int>::max()));
    controller().saveSettings();
    EXPECT_EQ(storedSettings()["updateIntervalInSeconds"].toLongLong(), std::numeric_limits<int>::max());
}
