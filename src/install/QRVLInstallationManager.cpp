#include "install/QRVLInstallationManager.h"

#include "install/InstallationComponent.h"
#include "platform/Bundle.h"
#include "platform/Folders.h"
#include "platform/Task.h"

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

bool QRVLInstallationManager::uninstallPrefPane()
{
    return prefPaneComponent->uninstall();
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
