// The installation manager's own implementation is not part of this tree yet; the tests' fake
// derives from it and needs its construction and operations to link. Every operation the fake
// does not answer itself fails the test that reached it. (CMake leaves this file out as soon
// as src/install/QRVLInstallationManager.cpp exists.)

#include "install/QRVLInstallationManager.h"

#include <gtest/gtest.h>

namespace quorvel {

class InstallationComponent { };

namespace {
bool unavailable(const char* operation)
{
    ADD_FAILURE() << operation << " is not implemented in this tree";
    return false;
}
} // namespace

QRVLInstallationManager::QRVLInstallationManager() = default;
QRVLInstallationManager::~QRVLInstallationManager() = default;
bool QRVLInstallationManager::isPrefPaneInstalled()
{
    return unavailable("isPrefPaneInstalled");
}
bool QRVLInstallationManager::installPrefPane()
{
    return unavailable("installPrefPane");
}
bool QRVLInstallationManager::uninstallPrefPane()
{
    return unavailable("uninstallPrefPane");
}
bool QRVLInstallationManager::shouldUpdatePrefPane()
{
    return unavailable("shouldUpdatePrefPane");
}
bool QRVLInstallationManager::updatePrefPane()
{
    return unavailable("updatePrefPane");
}
bool QRVLInstallationManager::isOldApplicationInstalled()
{
    return unavailable("isOldApplicationInstalled");
}
void QRVLInstallationManager::quitOldApplication()
{
    unavailable("quitOldApplication");
}
bool QRVLInstallationManager::uninstallOldApplication()
{
    return unavailable("uninstallOldApplication");
}
bool QRVLInstallationManager::shouldUpdateHotKey()
{
    return unavailable("shouldUpdateHotKey");
}
bool QRVLInstallationManager::updateHotKey()
{
    return unavailable("updateHotKey");
}
bool QRVLInstallationManager::quitHotKey()
{
    return unavailable("quitHotKey");
}

bool InstallationManager::isLoginItemWithPartialPathRegistered(const QString&)
{
    return unavailable("isLoginItemWithPartialPathRegistered");
}
void InstallationManager::registerLoginItemWithPathAndHidden(const QString&, bool)
{
    unavailable("registerLoginItemWithPathAndHidden");
}
void InstallationManager::unregisterLoginItemWithPartialPath(const QString&)
{
    unavailable("unregisterLoginItemWithPartialPath");
}
void InstallationManager::openPrefPane()
{
    unavailable("openPrefPane");
}
void InstallationManager::restartFinder()
{
    unavailable("restartFinder");
}
void InstallationManager::doInteractiveRestartFinder()
{
    unavailable("doInteractiveRestartFinder");
}

} // namespace quorvel
