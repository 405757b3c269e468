#include "install/QRVLInstallationManager.h"

#include "install/HotKeyAutostart.h"
#include "install/InstallLog.h"
#include "install/InstallationComponent.h"
#include "platform/core/Log.h"
#include "platform/desktop/Bundle.h"
#include "platform/desktop/Task.h"
#include "platform/files/Folders.h"

namespace quorvel {

namespace {

std::unique_ptr<InstallationComponent> component(const QString& location, const QString& withinResources)
{
    auto made = std::make_unique<InstallationComponent>();
    made->setInstallationLocation(location);
    made->setLocationWithinResourceBundle(withinResources);
    return made;
}

} // namespace

QRVLInstallationManager::QRVLInstallationManager()
    : oldApplicationComponent(component(
        QStringLiteral("~/Library/Application Support/"), QStringLiteral("Components/Quorvel Launcher.app")))
    , prefPaneComponent(component(QStringLiteral("~/Library/PreferencePanes/"),
          QStringLiteral("Components/Quorvel Preferences.prefPane")))
    , hotKeyComponent(component(QStringLiteral("~/Library/Application Support/Quorvel Suite/"),
          QStringLiteral("Components/Quorvel Preferences.prefPane/Contents/Resources/QRV HotKey.app")))
{
}

QRVLInstallationManager::~QRVLInstallationManager() = default;

bool QRVLInstallationManager::isPrefPaneInstalled()
{
    return prefPaneComponent->isAlreadyInstalled();
}

bool QRVLInstallationManager::installPrefPane()
{
    return prefPaneComponent->install();
}

// The pane sets up more than its folder: the running component with its key, the component's
// autostart entry and perhaps a shortcut in the desktop's own settings. All of it goes with the
// pane, else the key would keep summoning the launcher, or start a component that is gone at
// the next login. Only the removal of the folder decides the answer.
bool QRVLInstallationManager::uninstallPrefPane()
{
    quitHotKey();
    removePrefPaneDesktopShortcut();
    HotKeyAutostart::remove();
    return prefPaneComponent->uninstall();
}

// Only the pane's own program knows the desktop's settings it wrote; the installed copy is
// asked before it goes.
void QRVLInstallationManager::removePrefPaneDesktopShortcut()
{
    const QString executable = Bundle(prefPaneComponent->getInstalledPath()).executablePath();
    if (executable.isEmpty())
        return;
    const int status
        = Task::sharedRunner().launchAndWait(executable, { QStringLiteral("--remove-desktop-shortcut") });
    if (status != 0)
        Log::line(installLog(),
            QStringLiteral("The preference pane could not remove its desktop shortcut (status %1)")
                .arg(status));
}

bool QRVLInstallationManager::shouldUpdatePrefPane()
{
    return prefPaneComponent->isAlreadyInstalled() && prefPaneComponent->needsUpgrading();
}

bool QRVLInstallationManager::updatePrefPane()
{
    return prefPaneComponent->performUpgrade();
}

bool QRVLInstallationManager::isOldApplicationInstalled()
{
    return oldApplicationComponent->isAlreadyInstalled();
}

void QRVLInstallationManager::quitOldApplication()
{
    oldApplicationComponent->quitIfRunning();
}

bool QRVLInstallationManager::uninstallOldApplication()
{
    return oldApplicationComponent->uninstall();
}

bool QRVLInstallationManager::shouldUpdateHotKey()
{
    return hotKeyComponent->isAlreadyInstalled() && hotKeyComponent->needsUpgrading();
}

bool QRVLInstallationManager::updateHotKey()
{
    quitHotKey();
    if (!hotKeyComponent->performUpgrade())
        return false;
    hotKeyComponent->launch();
    return true;
}

bool QRVLInstallationManager::quitHotKey()
{
    const QString script = Folders::joinPath(
        Bundle::mainBundle().bundlePath(), QStringLiteral("Contents/Resources/quitHotKey.sh"));
    return Task::sharedRunner().launchAndWait(QStringLiteral("/bin/sh"), { script }) == 0;
}

} // namespace quorvel
