// The status item of the menu-bar-only mode, switching the interface mode (which restarts the
// application), the product's web pages and the two hand-overs to the companion preference pane.

#include "app/AppController.h"

#include "install/QRVLInstallationManager.h"
#include "platform/desktop/Bundle.h"
#include "platform/desktop/Workspace.h"
#include "platform/files/FileManager.h"
#include "platform/files/Folders.h"
#include "platform/settings/SettingsKeys.h"
#include "platform/settings/UserDefaults.h"
#include "platform/widgets/Alert.h"
#include "platform/widgets/Application.h"
#include "platform/widgets/StatusItem.h"

#include <QUrl>

namespace quorvel {

namespace {

void openProductPage(const QString& path)
{
    Workspace::sharedWorkspace().openURL(QUrl(QStringLiteral("https://quorvel.org") + path));
}

// The information file the application starts with, and its two prepared versions.
struct InformationFiles {
    QString active;
    QString normalMode;
    QString menuBarOnlyMode;

    static InformationFiles ofMainBundle()
    {
        const QString resources = Bundle::mainBundle().resourcePath();
        const QString contents = resources.section(QLatin1Char('/'), 0, -2);
        return { Folders::joinPath(contents, QStringLiteral("Info.plist")),
            Folders::joinPath(resources, QStringLiteral("info_ui_on.plist")),
            Folders::joinPath(resources, QStringLiteral("info_ui_off.plist")) };
    }

    bool allExist() const
    {
        return FileManager::fileExistsAtPath(active) && FileManager::fileExistsAtPath(normalMode)
            && FileManager::fileExistsAtPath(menuBarOnlyMode);
    }
};

} // namespace

void AppController::showStatusItem()
{
    const bool shown = UserDefaults::standardUserDefaults().boolForKey(SettingsKey::showMenuBar);
    hideStatusItem();
    if (shown)
        return;
    statusItem = StatusItem::statusItemWithVariableLength();
    statusItem->setMenu(outlets.dockMenu);
    statusItem->setTitle(QStringLiteral("Quorvel Launcher"));
}

void AppController::hideStatusItem()
{
    statusItem.reset();
}

void AppController::toggleUIMode()
{
    const InformationFiles files = InformationFiles::ofMainBundle();
    hideDialog();
    Application& application = Application::sharedApplication();
    application.activateIgnoringOtherApps(true);
    if (!files.allExist())
        return;

    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    const bool shown = defaults.boolForKey(SettingsKey::showMenuBar);
    const QString restart = QStringLiteral("\n\nQuorvel Launcher will now automatically restart.");
    const Alert::Answer answer = shown
        ? Alert::sharedAlert().run(Alert::Style::Informational,
            QStringLiteral("You are about to hide the Quorvel Launcher menu bar and dock icon."),
            QStringLiteral("Only the menu bar item will remain visible and some menu options will not be "
                           "available in this mode.\n\nYou can re-show the menu bar and dock icon at any "
                           "moment by using the 'Toggle User Interface Mode' item in the menu bar item.\n\n"
                           "Mac OS X can only hide an application's menu bar and dock icon after it has been "
                           "restarted.")
                + restart,
            { QStringLiteral("OK"), QStringLiteral("Cancel") })
        : Alert::sharedAlert().run(Alert::Style::Informational,
            QStringLiteral("You are about to show the Quorvel Launcher menu bar and dock icon."),
            QStringLiteral("Mac OS X can only re-show an application's menu bar and dock icon after it has "
                           "been restarted.")
                + restart,
            { QStringLiteral("OK"), QStringLiteral("Cancel") });
    if (answer != 0)
        return;

    defaults.setBool(SettingsKey::showMenuBar, !shown);
    defaults.synchronize();
    FileManager::removeItemAtPath(files.active);
    FileManager::copyItemAtPathToPath(shown ? files.menuBarOnlyMode : files.normalMode, files.active);
    FileManager::touchModificationDateAtPath(Bundle::mainBundle().bundlePath());
    saveSettings();
    defaults.synchronize();

    // The new process must find the single-instance name free, or it would only ask this one,
    // which is ending, to come forward.
    application.releaseSingleInstance();
    Workspace::sharedWorkspace().launchApplication(Bundle::mainBundle().executablePath());
    application.terminate();
}

void AppController::visitWebSite()
{
    openProductPage(QStringLiteral("/QuorvelLauncher/"));
}

void AppController::showManual()
{
    openProductPage(QStringLiteral("/QuorvelLauncher/Manual.html"));
}

void AppController::showUninstallationHelp()
{
    openProductPage(QStringLiteral("/QuorvelLauncher/Manual_Installation.html"));
}

void AppController::changeHotKey()
{
    const QString library = Folders::libraryFolder();
    const QString pane
        = Folders::joinPath(library, QStringLiteral("PreferencePanes/Quorvel Preferences.prefPane"));
    if (!library.isEmpty() && Workspace::sharedWorkspace().openFile(pane))
        return;
    disappear();
    Alert::sharedAlert().run(Alert::Style::Warning, QStringLiteral("Quorvel Preference Pane not found!"),
        QStringLiteral(
            "The hot key for Quorvel Launcher is set in 'Quorvel' System Preferences preference pane, "
            "but seems to have been manually uninstalled. Please re-run the installer"),
        { QStringLiteral("Cancel") });
}

void AppController::uninstallPrefPane()
{
    if (firstLaunchInstallationManager)
        firstLaunchInstallationManager->uninstallPrefPane();
}

} // namespace quorvel
