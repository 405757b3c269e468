// Start-up, the registered defaults and the settings that saving writes.

#include "PanelFixture.h"

#include "app/CustomWindow.h"
#include "platform/core/SystemInfo.h"
#include "platform/desktop/Bundle.h"
#include "platform/files/Folders.h"
#include "platform/plist/PropertyList.h"
#include "platform/settings/UserDefaults.h"
#include "platform/settings/ValueTransformer.h"
#include "support/TemporaryHome.h"

#include "ui_MainInterface.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
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

TEST_F(Startup, RegistersTheDefaultsTableWithItsTypesAndTheTransformer)
{
    writeIndex({});
    start();
    const QVariantMap defaults = UserDefaults::standardUserDefaults().registeredDefaults();
    EXPECT_EQ(defaults.keys(),
        (QStringList { "automaticScanning", "combinedLastSearchTerm", "combinedMatchingMode",
            "combinedPathOfLastMatch", "firstLaunchVersion", "instantOn", "launchAtLogin", "listItemSize",
            "mainWindowTransparency", "qrvl", "showMenuBar", "tab", "updateIntervalInSeconds" }));
    EXPECT_EQ(defaults["launchAtLogin"].typeId(), QMetaType::QString);
    EXPECT_EQ(defaults["launchAtLogin"].toString(), "YES");
    EXPECT_EQ(defaults["updateIntervalInSeconds"].typeId(), QMetaType::Float);
    EXPECT_EQ(defaults["updateIntervalInSeconds"].toFloat(), 1800.0f);
    EXPECT_EQ(defaults["mainWindowTransparency"].typeId(), QMetaType::Float);
    EXPECT_EQ(defaults["listItemSize"].toLongLong(), 11);
    EXPECT_EQ(defaults["showMenuBar"].typeId(), QMetaType::Bool);
    EXPECT_TRUE(defaults["instantOn"].toBool());
    const QVariantMap hotKey = defaults["qrvl"].toMap();
    EXPECT_EQ(hotKey.size(), 4);
    EXPECT_EQ(hotKey["keyCode"].toUInt(), 122u);
    EXPECT_EQ(hotKey["keyModifier"].toLongLong(), 0);
    EXPECT_EQ(hotKey["switchedOn"].toString(), "YES");
    EXPECT_EQ(hotKey["keyString"].toString(), "F1");
    EXPECT_TRUE(UserDefaults::standardUserDefaults().boolForKey("launchAtLogin"));

    ValueTransformer* transformer = ValueTransformer::valueTransformerForName("TableRowCellValueTransformer");
    ASSERT_NE(transformer, nullptr);
    EXPECT_EQ(transformer->transformedValue(3).toLongLong(), 7);
    EXPECT_FALSE(transformer->transformedValue(QVariant()).isValid());
    EXPECT_FALSE(transformer->allowsReverseTransformation());
}

TEST_F(Startup, AFreshUserSeesAnEmptySearchTabInPrefixModeWithNoMatchAndNoScanTimer)
{
    start();
    EXPECT_TRUE(interface->window().isVisible());
    EXPECT_EQ(controls().tabView->currentIndex(), 0);
    EXPECT_EQ(controls().combinedMatchingModePopUp->currentIndex(), 0);
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
        EXPECT_EQ(controls().combinedMatchingModePopUp->currentIndex(), 0);
        EXPECT_EQ(controller().scanInterval(), 1800.0f);
        interface.reset();
    }
}

TEST_F(Startup, DamagedIndexFilesGiveAnEmptyList)
{
    const QString indexPath = Folders::pathInPreferencesFolder("Quorvel Launcher Index");
    // A damaged index starts a scan; it walks an empty folder, so the list stays empty.
    ASSERT_TRUE(QDir().mkpath(QDir::homePath() + "/Empty"));
    ASSERT_TRUE(
        PropertyList::writeFile(Folders::pathInPreferencesFolder("Quorvel Launcher Search Locations List"),
            QVariantList { QVariantMap { { "path", QDir::homePath() + "/Empty/" },
                { "includeSubFolders", true }, { "enabled", true } } }));
    const QByteArray damaged[] = { "", "bplist00\x00\x01",
        "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><dict><key>name</key>",
        "<plist version=\"1.0\"><dict><key>name</key><string>Mail</string></dict></plist>" };
    for (const QByteArray& content : damaged) {
        QFile file(indexPath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
        file.close();
        start();
        type("M");
        EXPECT_EQ(controls().combinedResultsCountTextField->text(), "No Match.");
        EXPECT_EQ(controls().combinedOutputTextField->text(), "No match.");
        interface.reset();
    }
}

TEST_F(Startup, AnUnreadableIndexIsSetAsideAndStartsAScanAtOnceWhileTheStatusLineSaysWhy)
{
    const QString indexPath = Folders::pathInPreferencesFolder("Quorvel Launcher Index");
    const QString emptyFolder = QDir::homePath() + "/Empty/";
    ASSERT_TRUE(QDir().mkpath(emptyFolder));
    ASSERT_TRUE(
        PropertyList::writeFile(Folders::pathInPreferencesFolder("Quorvel Launcher Search Locations List"),
            QVariantList { QVariantMap {
                { "path", emptyFolder }, { "includeSubFolders", true }, { "enabled", true } } }));
    QFile file(indexPath);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<plist><array><dict>");
    file.close();

    interface = MainInterface::load();
    ASSERT_TRUE(interface);
    QSignalSpy shown(&controller(), &AppController::statusLineChanged);
    controller().applicationWillFinishLaunching();
    controller().applicationDidFinishLaunching();
    // The reason while the scan runs, then the scanner's own completion line.
    const auto texts = [&shown] {
        QStringList all;
        for (const QList<QVariant>& arguments : shown)
            all << arguments.at(0).toString();
        return all;
    };
    const auto explainedThenCompleted = [&texts] {
        const QStringList all = texts();
        const qsizetype reason = all.indexOf("The index could not be read; scanning again...");
        return reason >= 0 && all.last().startsWith("Last disk scan was completed at ")
            && all.size() > reason + 1;
    };
    QTRY_VERIFY_WITH_TIMEOUT(explainedThenCompleted(), 10000);
    EXPECT_EQ(PropertyList::readArrayFile(indexPath)->size(), 1) << "the scan wrote the empty folder";
    QFile copy(indexPath + ".unreadable");
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), "<plist><array><dict>");
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
