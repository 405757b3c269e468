// The first-launch assistant inside start-up: an incomplete application quits cleanly, a hidden
// login item starts without the panel, and the controller lends out the installation manager.

#include "PanelFixture.h"

#include "app/CustomWindow.h"
#include "install/QRVLInstallationManager.h"
#include "platform/desktop/Bundle.h"
#include "platform/files/Folders.h"
#include "platform/settings/LoginItemAutostart.h"
#include "platform/widgets/Application.h"
#include "support/LogCapture.h"
#include "support/TemporaryHome.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace quorvel;
using quorvel::test::PanelFixture;

namespace {

class FirstLaunchAtStartup : public PanelFixture {
protected:
    static QString installedPane()
    {
        return Folders::homeFolder() + "/Library/PreferencePanes/Quorvel Preferences.prefPane";
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
