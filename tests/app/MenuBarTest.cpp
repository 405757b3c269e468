// The status item of the menu-bar-only mode, switching the interface mode, the menu of every
// command, the help links and the preferences window opened from the panel.

#include "PanelFixture.h"

#include "app/CustomWindow.h"
#include "platform/desktop/Bundle.h"
#include "platform/files/Folders.h"
#include "platform/settings/UserDefaults.h"
#include "platform/widgets/Application.h"
#include "prefs/NewPreferencesController.h"
#include "support/FakeStatusItem.h"
#include "support/TemporaryHome.h"

#include "ui_MainInterface.h"
#include "ui_NewPreferences.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDialog>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <sys/stat.h>
#include <utime.h>

namespace quorvel::test {

namespace {

QByteArray contentsOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A copy of the built bundle that a test may rewrite.
QString copyOfBuiltBundle()
{
    const QString source = builtBundlePath();
    const QString copy = Folders::joinPath(Folders::homeFolder(), "Quorvel Launcher 2.app");
    QDirIterator files(source, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString file = files.next();
        const QString target = copy + file.mid(source.size());
        QDir().mkpath(QFileInfo(target).path());
        EXPECT_TRUE(QFile::copy(file, target)) << file.toStdString();
    }
    return copy;
}

} // namespace

class MenuBar : public PanelFixture {
protected:
    void TearDown() override
    {
        PanelFixture::TearDown();
        Bundle::setMainBundlePath(builtBundlePath());
    }

    // Starts the launcher from a copy of the bundle, with the information file's modification
    // date set in the past.
    void startFromCopiedBundle()
    {
        bundle = copyOfBuiltBundle();
        Bundle::setMainBundlePath(bundle);
        const struct utimbuf past {
            1000000000, 1000000000
        };
        ASSERT_EQ(::utime(QFile::encodeName(bundle).constData(), &past), 0);
        writeIndex({});
        start();
    }

    QString infoFile() const { return bundle + "/Contents/Info.plist"; }
    QString resource(const char* name) const { return bundle + "/Contents/Resources/" + name; }

    QString bundle;
};

TEST_F(MenuBar, TheStatusItemExistsExactlyWhileTheLauncherIsActiveInMenuBarOnlyMode)
{
    FakeStatusItems items;
    writeIndex({});
    start();
    controller().applicationDidBecomeActive();
    EXPECT_EQ(items.created, 0) << "the normal mode has no status item";

    UserDefaults::standardUserDefaults().setBool("showMenuBar", false);
    controller().applicationDidBecomeActive();
    EXPECT_EQ(items.living, 1);
    EXPECT_EQ(items.title, "Quorvel Launcher");
    EXPECT_EQ(items.menu, &interface->menu());
    controller().applicationDidBecomeActive();
    EXPECT_EQ(items.living, 1) << "activating twice never leaves two items";
    controller().applicationDidResignActive();
    EXPECT_EQ(items.living, 0);
    EXPECT_FALSE(controller().hasStatusItem());
}

TEST_F(MenuBar, CancellingTheModeSwitchLeavesSettingFilesAndProcessAsTheyWere)
{
    startFromCopiedBundle();
    const QByteArray info = contentsOf(infoFile());
    alert.answer = 1; // "Cancel"
    controller().toggleUIMode();

    ASSERT_EQ(alert.shown.size(), 1u);
    EXPECT_EQ(alert.shown[0].title, "You are about to hide the Quorvel Launcher menu bar and dock icon.");
    EXPECT_EQ(alert.shown[0].buttons, QStringList({ "OK", "Cancel" }));
    EXPECT_TRUE(UserDefaults::standardUserDefaults().boolForKey("showMenuBar"));
    EXPECT_EQ(contentsOf(infoFile()), info);
    EXPECT_EQ(QFileInfo(bundle).lastModified().toSecsSinceEpoch(), 1000000000);
    EXPECT_TRUE(workspace.opened().empty()) << "no new process";
    EXPECT_FALSE(Application::sharedApplication().terminationRequested());
    EXPECT_FALSE(controller().window()->isVisible()) << "the panel stays hidden";
}

TEST_F(MenuBar, ConfirmingTheModeSwitchSwapsTheInformationFileAndRestartsAfterGivingUpTheName)
{
    startFromCopiedBundle();
    const QString identifier = Bundle::mainBundle().bundleIdentifier();
    ASSERT_TRUE(Application::sharedApplication().becomeSingleInstance(identifier));
    bool nameFreeAtRestart = false;
    bool settingStoredAtRestart = false;
    workspace.onCall = [&](const FakeWorkspace::Call&) {
        nameFreeAtRestart = !QDBusConnection::sessionBus().interface()->isServiceRegistered(identifier);
        settingStoredAtRestart = storedSettings().value("showMenuBar") == false;
    };
    alert.answer = 0; // "OK"
    controller().toggleUIMode();

    ASSERT_EQ(alert.shown.size(), 1u);
    EXPECT_EQ(alert.shown[0].message,
        "Only the menu bar item will remain visible and some menu options will not be available in this "
        "mode.\n\n"
        "You can re-show the menu bar and dock icon at any moment by using the 'Toggle User Interface Mode' "
        "item "
        "in the menu bar item.\n\nMac OS X can only hide an application's menu bar and dock icon after it "
        "has "
        "been restarted.\n\nQuorvel Launcher will now automatically restart.");
    EXPECT_EQ(contentsOf(infoFile()), contentsOf(resource("info_ui_off.plist")));
    EXPECT_NE(contentsOf(infoFile()), contentsOf(resource("info_ui_on.plist")));
    EXPECT_GT(QFileInfo(bundle).lastModified().toSecsSinceEpoch(), 1000000000);
    ASSERT_EQ(workspace.opened().size(), 1u);
    EXPECT_EQ(workspace.opened()[0].operation, "launchApplication");
    EXPECT_EQ(workspace.opened()[0].path, bundle + "/Contents/MacOS/Quorvel Launcher 2");
    EXPECT_TRUE(nameFreeAtRestart) << "the new process must be able to become the instance";
    EXPECT_TRUE(settingStoredAtRestart);
    EXPECT_TRUE(Application::sharedApplication().terminationRequested());

    // And back to the normal mode.
    controller().toggleUIMode();
    ASSERT_EQ(alert.shown.size(), 2u);
    EXPECT_EQ(alert.shown[1].title, "You are about to show the Quorvel Launcher menu bar and dock icon.");
    EXPECT_EQ(alert.shown[1].message,
        "Mac OS X can only re-show an application's menu bar and dock icon after it has been restarted.\n\n"
        "Quorvel Launcher will now automatically restart.");
    EXPECT_EQ(contentsOf(infoFile()), contentsOf(resource("info_ui_on.plist")));
    EXPECT_TRUE(UserDefaults::standardUserDefaults().boolForKey("showMenuBar"));
}

TEST_F(MenuBar, WithoutItsInformationFilesTheSwitchDoesNothing)
{
    startFromCopiedBundle();
    ASSERT_TRUE(QFile::remove(resource("info_ui_off.plist")));
    controller().toggleUIMode();
    EXPECT_TRUE(alert.shown.empty());
    EXPECT_TRUE(UserDefaults::standardUserDefaults().boolForKey("showMenuBar"));
    EXPECT_TRUE(workspace.opened().empty());
}

TEST_F(MenuBar, TheHelpLinksOpenTheProductPagesAndAMissingPaneIsReported)
{
    writeIndex({});
    start();
    controller().visitWebSite();
    controller().showManual();
    controller().showUninstallationHelp();
    controller().changeHotKey();
    const auto opened = workspace.opened();
    ASSERT_EQ(opened.size(), 4u);
    EXPECT_EQ(opened[0].path, "https://quorvel.org/QuorvelLauncher/");
    EXPECT_EQ(opened[1].path, "https://quorvel.org/QuorvelLauncher/Manual.html");
    EXPECT_EQ(opened[2].path, "https://quorvel.org/QuorvelLauncher/Manual_Installation.html");
    EXPECT_EQ(opened[3].path, Folders::libraryFolder() + "/PreferencePanes/Quorvel Preferences.prefPane");
    EXPECT_TRUE(alert.shown.empty());
    EXPECT_TRUE(controller().window()->isVisible());

    workspace.succeed = false; // the pane was removed by hand
    controller().changeHotKey();
    ASSERT_EQ(alert.shown.size(), 1u);
    EXPECT_EQ(alert.shown[0].title, "Quorvel Preference Pane not found!");
    EXPECT_EQ(alert.shown[0].buttons, QStringList({ "Cancel" }));
    EXPECT_FALSE(controller().window()->isVisible()) << "the panel is dismissed first";
}

TEST_F(MenuBar, ThePanelReachesEveryCommandAndCtrlCommaOpensThePreferences)
{
    writeIndex({});
    start();
    QStringList commands;
    for (QAction* action : interface->menu().actions())
        if (!action->isSeparator())
            commands << action->text().section('\t', 0, 0);
    EXPECT_EQ(commands,
        QStringList(
            { "Preferences…", "Scan Now", "Quorvel Launcher Web Site", "Manual", "Installing and Removing",
                "Change Hot Key…", "Toggle User Interface Mode", "Quit Quorvel Launcher" }));
    EXPECT_EQ(controls().menuButton->menu(), &interface->menu());

    controller().setDiskScanningInterval(7200);
    bool shown = false;
    QTimer::singleShot(50, [&] {
        NewPreferencesController* preferences = controller().preferencesController();
        ASSERT_TRUE(preferences);
        shown = preferences->window()->isVisible();
        EXPECT_FALSE(controller().window()->isVisible()) << "the panel leaves while the preferences are open";
        EXPECT_EQ(preferences->controls().timeUnitTextField->text(), "2");
        preferences->controls().timeUnitTextField->setText("45");
        preferences->controls().minutesRadioButton->setChecked(true);
        preferences->ok();
    });
    press(Qt::Key_Comma, Qt::ControlModifier);
    // The key opens the window once the event loop runs; its OK above ends the modal run.
    EXPECT_TRUE(QTest::qWaitFor([&shown, this] { return shown && controller().window()->isVisible(); }));
    EXPECT_TRUE(shown);
    EXPECT_EQ(controller().scanInterval(), 2700.0f);
    EXPECT_EQ(storedSettings().value("updateIntervalInSeconds").toInt(), 2700);
    EXPECT_TRUE(controller().window()->isVisible()) << "and comes back after OK";
}

} // namespace quorvel::test
