// The preferences window's rules: the interval and its unit, the invalid-interval alert, the
// login item, the example file of a document type, the exclusion and location actions, and the
// companion preference pane.

#include "PreferencesFixture.h"

#include "platform/desktop/Bundle.h"
#include "platform/files/Folders.h"
#include "prefs/EntryTableModel.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

#include <sys/xattr.h>

namespace quorvel::test {

namespace {

constexpr int secondsRow = 0;
constexpr int minutesRow = 1;
constexpr int hoursRow = 2;

QString makeFile(const QString& name)
{
    const QString path = Folders::joinPath(Folders::homeFolder(), name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    return path;
}

// The Finder information of a file: its type and creator codes.
bool setCodes(const QString& path, const char type[5], const char creator[5])
{
    char info[32] = {};
    std::memcpy(info, type, 4);
    std::memcpy(info + 4, creator, 4);
    return ::setxattr(QFile::encodeName(path).constData(), "user.com.apple.FinderInfo", info, sizeof info, 0)
        == 0;
}

} // namespace

using Preferences = PreferencesFixture;

TEST_F(Preferences, ShowsTheIntervalInItsLargestWholeUnit)
{
    const struct {
        int seconds;
        const char* shown;
        int row;
    } cases[] = { { 7200, "2", hoursRow }, { 90, "90", secondsRow }, { 120, "2", minutesRow },
        { 3600, "1", hoursRow }, { 0, "0", hoursRow } };
    for (const auto& interval : cases) {
        preferences->setScanningIntervalInSeconds(interval.seconds);
        runWhile([&] {
            EXPECT_EQ(controls().timeUnitTextField->text(), QString::fromLatin1(interval.shown))
                << interval.seconds;
            EXPECT_EQ(controls().timeUnitMatrix->checkedId(), interval.row) << interval.seconds;
            controls().timeUnitTextField->setText("5");
            preferences->ok();
        });
    }
}

TEST_F(Preferences, OkStoresTheIntervalInSecondsAndHandsItOverBeforeSaving)
{
    runWhile([&] {
        controls().timeUnitTextField->setText("3");
        controls().minutesRadioButton->setChecked(true);
        controls().automaticScanCheckBox->setChecked(true);
        preferences->ok();
    });
    EXPECT_EQ(preferences->scanningIntervalInSeconds(), 180);
    EXPECT_EQ(preferences->performAutomaticScanning(), 1);
    EXPECT_EQ(appController.calls,
        QStringList({ "hideDialog", "setAutomaticScanning 1", "setDiskScanningInterval 180", "saveSettings",
            "showDialog" }));

    // The next opening shows what this OK accepted.
    runWhile([&] {
        EXPECT_EQ(controls().timeUnitTextField->text(), "3");
        EXPECT_EQ(controls().timeUnitMatrix->checkedId(), minutesRow);
        EXPECT_TRUE(controls().automaticScanCheckBox->isChecked());
        preferences->ok();
    });

    // A number too large for the settings becomes the longest interval they hold.
    runWhile([&] {
        controls().timeUnitTextField->setText("99999999999999999999");
        controls().hoursRadioButton->setChecked(true);
        preferences->ok();
    });
    EXPECT_EQ(preferences->scanningIntervalInSeconds(), (std::numeric_limits<int>::max() / 3600) * 3600);
}

TEST_F(Preferences, AnIntervalBelowOneAsksToChangeItOrKeepThePreviousOne)
{
    preferences->setScanningIntervalInSeconds(600);
    runWhile([&] {
        controls().tabView->setCurrentIndex(0);
        controls().timeUnitTextField->setText("0");
        alert.answer = 0; // "Change"
        preferences->ok();
        ASSERT_EQ(alert.shown.size(), 1u);
        EXPECT_EQ(alert.shown[0].title,
            "The value that you have entered in the \"Scanning every:\" field is not valid.");
        EXPECT_EQ(alert.shown[0].message, "Do you wish to change it or keep the previous value?");
        EXPECT_EQ(alert.shown[0].buttons, QStringList({ "Change", "Ignore" }));
        EXPECT_TRUE(preferences->window()->isVisible());
        EXPECT_EQ(controls().tabView->currentIndex(), 4);
        EXPECT_FALSE(appController.calls.contains("saveSettings"));

        controls().timeUnitTextField->setText("");
        controls().automaticScanCheckBox->setChecked(true);
        alert.answer = 1; // "Ignore"
        preferences->ok();
        EXPECT_EQ(alert.shown.size(), 2u);
    });
    EXPECT_EQ(preferences->scanningIntervalInSeconds(), 600);
    EXPECT_EQ(appController.calls,
        QStringList({ "hideDialog", "setAutomaticScanning 1", "setDiskScanningInterval 600", "saveSettings",
            "showDialog" }));
}

TEST_F(Preferences, TheLoginItemChangesOnlyWhenTheCheckBoxDisagreesWithIt)
{
    const auto okWith = [&](bool registered, bool checked) {
        installationManager.loginItemRegistered = registered;
        installationManager.calls.clear();
        runWhile([&] {
            EXPECT_EQ(controls().launchAsLoginItem->isChecked(), registered);
            controls().launchAsLoginItem->setChecked(checked);
            preferences->ok();
        });
        return installationManager.calls;
    };
    EXPECT_EQ(okWith(true, true), QStringList());
    EXPECT_EQ(okWith(false, false), QStringList());
    EXPECT_EQ(okWith(true, false), QStringList({ "unregister Quorvel Launcher 2.app" }));
    EXPECT_EQ(
        okWith(false, true), QStringList({ "register " + Bundle::mainBundle().bundlePath() + " hidden" }));
}

TEST_F(Preferences, AnExampleFileFillsTheSelectedRuleAndSetsTheModeByWhatItHas)
{
    EntryTableModel& rules = *preferences->documentTypesController();
    const int row = rules.addEntry({ { "identificationMode", 3 }, { "note", "kept" } });
    const auto fillFrom = [&](const QString& path) {
        openPanel.answer = path;
        preferences->browseForDocumentTypeExample();
        return rules.entryAtRow(row);
    };

    // Nothing selected: the panel's answer goes nowhere.
    fillFrom(makeFile("report.pdf"));
    EXPECT_EQ(rules.entryAtRow(row).value("identificationMode").toInt(), 3);

    selectRow(controls().documentTypesTable, row);
    QVariantMap rule = fillFrom(makeFile("report.pdf"));
    EXPECT_EQ(openPanel.asked.back(), OpenPanel::Choose::Files);
    EXPECT_EQ(rule.value("fileExtension"), "pdf");
    EXPECT_EQ(rule.value("identificationMode").toInt(), 0);
    EXPECT_EQ(rule.value("typeCode"), "");
    EXPECT_EQ(rule.value("creatorCode"), "");
    EXPECT_EQ(rule.value("useTypeCode"), false);
    EXPECT_EQ(rule.value("useCreatorCode"), false);
    EXPECT_EQ(rule.value("note"), "kept");

    rules.setValueForKeyAtRow("identificationMode", 3, row);
    rule = fillFrom(makeFile("plain"));
    EXPECT_EQ(rule.value("fileExtension"), "");
    EXPECT_EQ(rule.value("identificationMode").toInt(), 3) << "neither extension nor codes: left as it was";

    const QString coded = makeFile("ReadMe");
    if (!setCodes(coded, "TEXT", "ttxt"))
        GTEST_SKIP() << "the temporary folder keeps no extended attributes";
    rule = fillFrom(coded);
    EXPECT_EQ(rule.value("identificationMode").toInt(), 1);
    EXPECT_EQ(rule.value("typeCode"), "TEXT");
    EXPECT_EQ(rule.value("creatorCode"), "ttxt");
    EXPECT_EQ(rule.value("useTypeCode"), true);
    EXPECT_EQ(rule.value("useCreatorCode"), true);

    const QString both = makeFile("letter.txt");
    ASSERT_TRUE(setCodes(both, "TEXT", "\0\0\0\0"));
    rule = fillFrom(both);
    EXPECT_EQ(rule.value("identificationMode").toInt(), 2);
    EXPECT_EQ(rule.value("creatorCode"), "");
    EXPECT_EQ(rule.value("useCreatorCode"), false);
}

TEST_F(Preferences, BothFolderExclusionActionsAddTheSameEntry)
{
    const int before = folderExclusionList->count();
    openPanel.answer = "~/Music/Loops";
    preferences->createExclusionFolder();
    preferences->createExclusionFolderHierarchy();
    ASSERT_EQ(folderExclusionList->count(), before + 2);
    const QVariantMap expected { { "enabled", true },
        { "expression", Folders::homeFolder() + "/Music/Loops" } };
    EXPECT_EQ(folderExclusionList->copyOfContents().at(before).toMap(), expected);
    EXPECT_EQ(folderExclusionList->copyOfContents().at(before + 1).toMap(), expected);
    EXPECT_EQ(openPanel.asked, std::vector({ OpenPanel::Choose::Folders, OpenPanel::Choose::Folders }));

    openPanel.answer = "/srv/cache/item.bin";
    preferences->createExclusionFile();
    EXPECT_EQ(openPanel.asked.back(), OpenPanel::Choose::Files);
    EXPECT_EQ(fileExclusionList->copyOfContents().last().toMap(),
        QVariantMap({ { "enabled", true }, { "expression", "/srv/cache/item.bin" } }));

    // A cancelled panel changes nothing.
    openPanel.answer.clear();
    const int files = fileExclusionList->count();
    preferences->createExclusionFolder();
    preferences->createExclusionFile();
    EXPECT_EQ(folderExclusionList->count(), before + 2);
    EXPECT_EQ(fileExclusionList->count(), files);
}

TEST_F(Preferences, ABrowsedFolderBecomesThePathOfTheSelectedLocation)
{
    EntryTableModel& locations = *preferences->searchLocationController();
    const int row = locations.addEntry({ { "comment", "mine" } });
    selectRow(controls().searchLocationsTable, row);
    openPanel.answer = "/data/projects";
    preferences->browseSearchLocation();
    EXPECT_EQ(controls().locationTextField->text(), "/data/projects");
    const QVariantMap entry = searchLocations->copyOfContents().at(row).toMap();
    EXPECT_EQ(entry.value("path"), "/data/projects");
    EXPECT_EQ(entry.value("comment"), "mine");
    EXPECT_EQ(openPanel.asked.back(), OpenPanel::Choose::Folders);
}

TEST_F(Preferences, TheCompanionPaneIsOpenedOrItsAbsenceShown)
{
    preferences->changeHotKey();
    ASSERT_EQ(workspace.opened().size(), 1u);
    EXPECT_EQ(workspace.opened()[0].operation, "openFile");
    EXPECT_EQ(workspace.opened()[0].path,
        Folders::libraryFolder() + "/PreferencePanes/Quorvel Preferences.prefPane");
    EXPECT_TRUE(alert.shown.empty());

    workspace.succeed = false; // the pane was removed
    preferences->changeHotKey();
    ASSERT_EQ(alert.shown.size(), 1u);
    EXPECT_EQ(alert.shown[0].title, "Quorvel Preference Pane is not installed.");
    EXPECT_EQ(
        alert.shown[0].message, "Please quit and re-launch the application to reinstall the preference pane");
    EXPECT_EQ(alert.shown[0].buttons, QStringList({ "Cancel" }));
}

TEST_F(Preferences, RemovingThePaneDisablesItsButtonOrShowsTheFailure)
{
    installationManager.uninstallSucceeds = false;
    runWhile([&] {
        EXPECT_TRUE(controls().uninstallPrefPaneButton->isEnabled());
        controls().uninstallPrefPaneButton->click();
        ASSERT_EQ(alert.shown.size(), 1u);
        EXPECT_EQ(alert.shown[0].title, "Could not uninstall Preferences Pane");
        EXPECT_EQ(
            alert.shown[0].message, "An unknown error occured while trying to remove the preference pane");
        EXPECT_TRUE(controls().uninstallPrefPaneButton->isEnabled());

        installationManager.uninstallSucceeds = true;
        controls().uninstallPrefPaneButton->click();
        EXPECT_EQ(alert.shown.size(), 1u);
        EXPECT_FALSE(controls().uninstallPrefPaneButton->isEnabled());
        EXPECT_EQ(appController.calls.count("uninstallPrefPane"), 2);
        preferences->ok();
    });
    runWhile([&] {
        EXPECT_FALSE(controls().uninstallPrefPaneButton->isEnabled());
        preferences->ok();
    });
}

TEST_F(Preferences, ClosingTheWindowIsItsOk)
{
    runWhile([&] {
        controls().timeUnitTextField->setText("2");
        controls().secondsRadioButton->setChecked(true);
        preferences->window()->close();
    });
    EXPECT_EQ(preferences->scanningIntervalInSeconds(), 2);
    EXPECT_TRUE(appController.calls.contains("showDialog"));
}

} // namespace quorvel::test
