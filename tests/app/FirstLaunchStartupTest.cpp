// The first-launch assistant inside start-up: an incomplete application quits cleanly, a hidden
// login item starts without the panel, and the controller lends out the installation manager.

#include "PanelFixture.h"

#include "app/CustomWindow.h"
#include "install/QRVLInstallationManager.h"
#include "platform/desktop/Bundle.h"
#include "platform/files/Folders.h"
#include "platform/plist/PropertyList.h"
#include "platform/settings/LoginItemAutostart.h"
#include "platform/settings/UserDefaults.h"
#include "platform/widgets/Application.h"
#include "support/LogCapture.h"
#include "support/TemporaryHome.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace quorvel;
using quorvel::test::PanelFixture;

namespace {

class FirstLaunchAtStartup : public PanelFixture {
protected:
    static QString installedPane()
    {
        return Folders::homeFolder() + "/Library/PreferencePanes/Quorvel Preferences.prefPane";
    }
    static QString loginItemsFile() { return Folders::pathInPreferencesFolder("loginwindow.plist"); }
    static QVariantList loginItems()
    {
        return PropertyList::readDictionaryFile(loginItemsFile())
            .value_or(QVariantMap())
            .value("AutoLaunchedApplicationDictionary")
            .toList();
    }
    static QVariantMap loginItem(const QString& path) { return { { "Hide", 1 }, { "Path", path } }; }
    // As after a first start of an earlier copy: the marker stored, the shipped pane installed and
    // a login item for the application where it was.
    static void settleAsALaterStart()
    {
        UserDefaults stored(Bundle::mainBundle().bundleIdentifier());
        stored.setInteger("firstLaunchVersion", 2001);
        stored.synchronize();
        UserDefaults::resetStandardUserDefaults();
        ASSERT_TRUE(QDir().mkpath(installedPane() + "/Contents"));
        QFile::remove(installedPane() + "/Contents/Info.plist");
        ASSERT_TRUE(QFile::copy(test::builtBundlePath()
                + "/Contents/Resources/Components/Quorvel Preferences.prefPane/Contents/Info.plist",
            installedPane() + "/Contents/Info.plist"));
        PropertyList::writeFile(loginItemsFile(),
            QVariantMap { { "AutoLaunchedApplicationDictionary",
                QVariantList { loginItem("/Applications/Quorvel Launcher 2.app") } } });
    }
    void launch()
    {
        interface = MainInterface::load();
        ASSERT_TRUE(interface);
        controller().applicationWillFinishLaunching();
        controller().applicationDidFinishLaunching();
    }
};

} // namespace

TEST_F(FirstLaunchAtStartup, AComponentMissingFromTheApplicationEndsStartUpCleanly)
{
    // The application without its Components folder, and a pane installed earlier.
    QTemporaryDir incomplete;
    test::makeBundleWithOnlyItsDefaults(incomplete.filePath("Quorvel Launcher 2.app"));
    Bundle::setMainBundlePath(incomplete.filePath("Quorvel Launcher 2.app"));
    ASSERT_TRUE(QDir().mkpath(installedPane() + "/Contents"));
    writeIndex({ { "Mail", "app", "/Applications/Mail.app" } });

    test::LogCapture log;
    start();
    Bundle::setMainBundlePath(test::builtBundlePath());
    EXPECT_EQ(
        log.count("Installation component cannot find the installed component bundle! (in needsUpgrading, "
                  "InstallationComponent)"),
        1);
    EXPECT_EQ(log.linesContaining("Start-up abandoned").size(), 1);
    EXPECT_TRUE(Application::sharedApplication().terminationRequested());
    EXPECT_FALSE(interface->window().isVisible());
    ASSERT_EQ(startAlerts.size(), 2u) << "no freeware notice after the failure";
    EXPECT_EQ(startAlerts[1].title, "Quorvel Launcher 2 was added to your login items.");
    EXPECT_EQ(storedSettings()["firstLaunchVersion"].toLongLong(), 2001) << "quitting saved the settings";
}

TEST_F(FirstLaunchAtStartup, AHiddenLoginItemStartsWithoutThePanelUntilTheHotKey)
{
    qputenv("QUORVEL_LOGIN_HIDDEN", "1");
    EXPECT_TRUE(LoginItemAutostart::takeStartedHidden());
    EXPECT_FALSE(qEnvironmentVariableIsSet("QUORVEL_LOGIN_HIDDEN"))
        << "what the launcher starts must not inherit it";
    EXPECT_FALSE(LoginItemAutostart::takeStartedHidden());

    writeIndex({ { "Mail", "app", "/Applications/Mail.app" } });
    interface = MainInterface::load();
    ASSERT_TRUE(interface);
    controller().setStartsHidden(true);
    controller().applicationWillFinishLaunching();
    controller().applicationDidFinishLaunching();
    EXPECT_FALSE(interface->window().isVisible());
    controller().callbackWithNotification();
    EXPECT_TRUE(interface->window().isVisible()) << "the first wake-up is not ignored";
}

TEST_F(FirstLaunchAtStartup, TheControllerRemovesThePaneThroughTheAssistantsInstallationManager)
{
    writeIndex({});
    start();
    ASSERT_EQ(startAlerts.size(), 4u) << "a fresh home is a first start";
    QRVLInstallationManager* manager = controller().installationManager();
    ASSERT_NE(manager, nullptr);
    ASSERT_TRUE(QDir().mkpath(installedPane() + "/Contents"));
    EXPECT_TRUE(manager->isPrefPaneInstalled());
    controller().uninstallPrefPane();
    EXPECT_FALSE(manager->isPrefPaneInstalled());
}

// A later start with nothing to tell the user shows the panel first and then records where the
// application lives; one that ends before the panel was drawn records it all the same.
TEST_F(FirstLaunchAtStartup, ALaterStartRecordsWhereItLivesOnceThePanelIsDrawn)
{
    settleAsALaterStart();
    writeIndex({ { "Mail", "app", "/Applications/Mail.app" } });
    launch();
    EXPECT_TRUE(interface->window().isVisible());
    EXPECT_FALSE(storedSettings().contains("location")) << "the panel's first frame comes first";
    EXPECT_TRUE(QTest::qWaitFor([] { return storedSettings().contains("location"); }, 10000));
    EXPECT_EQ(storedSettings()["location"].toString(), Bundle::mainBundle().bundlePath());
    EXPECT_EQ(loginItems(), QVariantList { loginItem(Bundle::mainBundle().bundlePath()) });
    EXPECT_TRUE(alert.shown.empty());
    EXPECT_TRUE(workspace.calls.empty());

    interface.reset();
    QFile::remove(Folders::pathInPreferencesFolder("org.quorvel.launcher.plist"));
    settleAsALaterStart();
    launch();
    controller().applicationShouldTerminate(); // before any event: the panel was never drawn
    EXPECT_EQ(loginItems(), QVariantList { loginItem(Bundle::mainBundle().bundlePath()) });
    EXPECT_EQ(storedSettings()["location"].toString(), Bundle::mainBundle().bundlePath());
    EXPECT_TRUE(storedSettings().contains("tab")) << "and the settings were saved";
}

TEST_F(FirstLaunchAtStartup, ALaterStartOfAnIncompleteApplicationRecordsItsLocationAndEnds)
{
    QTemporaryDir incomplete;
    test::makeBundleWithOnlyItsDefaults(incomplete.filePath("Quorvel Launcher 2.app"));
    settleAsALaterStart();
    Bundle::setMainBundlePath(incomplete.filePath("Quorvel Launcher 2.app"));
    writeIndex({});
    test::LogCapture log;
    launch();
    Bundle::setMainBundlePath(test::builtBundlePath());
    EXPECT_EQ(log.linesContaining("Start-up abandoned").size(), 1);
    EXPECT_TRUE(Application::sharedApplication().terminationRequested());
    EXPECT_FALSE(interface->window().isVisible());
    EXPECT_EQ(storedSettings()["location"].toString(), incomplete.filePath("Quorvel Launcher 2.app"));
}
