#include "install/InstallationComponent.h"

#include "platform/core/InternalInconsistency.h"
#include "platform/desktop/ScriptRunner.h"
#include "platform/desktop/Task.h"
#include "platform/desktop/Workspace.h"
#include "platform/files/FileManager.h"
#include "platform/files/Folders.h"

#include <QFileInfo>

namespace quorvel {

namespace {

// The folders made here later hold code that runs at login: others may read and enter them,
// never write to them.
const QString folderMode = QStringLiteral("u=rwx,go=rx");

QString lastPathComponent(const QString& path)
{
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    return trimmed.section(QLatin1Char('/'), -1);
}

} // namespace

InstallationComponent::InstallationComponent()
    : myBundle(Bundle::mainBundle())
{
}

void InstallationComponent::setInstallationLocation(const QString& location)
{
    installationLocation = Folders::expandTilde(location);
}

void InstallationComponent::setLocationWithinResourceBundle(const QString& relativePath)
{
    sourcePath = Folders::joinPath(myBundle.resourcePath(), relativePath);
}

void InstallationComponent::setBundle(const Bundle& bundle)
{
    myBundle = bundle;
}

QString InstallationComponent::getActualComponentName() const
{
    return lastPathComponent(sourcePath);
}

QString InstallationComponent::getInstalledPath() const
{
    return Folders::joinPath(installationLocation, getActualComponentName());
}

int InstallationComponent::createDirectoryPath(const QString& path)
{
    if (FileManager::fileExistsAtPath(path))
        return 0;
    // mkdir -p makes the folders above the last as open as the umask lets (all of them under a
    // umask of 000); those are the user's own (~/Library), private like the rest of it.
    Folders::createPrivateFolders(QFileInfo(Folders::withoutTrailingSlashes(path)).path());
    return Task::sharedRunner().launchAndWait(
        QStringLiteral("/bin/mkdir"), { QStringLiteral("-p"), QStringLiteral("-m"), folderMode, path });
}

bool InstallationComponent::install()
{
    createDirectoryPath(installationLocation);
    return Task::sharedRunner().launchAndWait(
               QStringLiteral("/bin/cp"), { QStringLiteral("-R"), sourcePath, installationLocation })
        == 0;
}

bool InstallationComponent::isAlreadyInstalled() const
{
    return FileManager::fileExistsAtPath(getInstalledPath());
}

bool InstallationComponent::needsUpgrading() const
{
    if (!isAlreadyInstalled())
        return false;
    // An installed path that is no bundle has no version: 0, older than any release.
    const std::uint32_t installed = Bundle(getInstalledPath()).versionNumber();
    if (sourcePath.isEmpty())
        throw InternalInconsistency(QStringLiteral("Installation component bundle location not found!"),
            "needsUpgrading", "InstallationComponent");
    const std::optional<Bundle> shipped = Bundle::bundleWithPath(sourcePath);
    if (!shipped)
        throw InternalInconsistency(
            QStringLiteral("Installation component cannot find the installed component bundle!"),
            "needsUpgrading", "InstallationComponent");
    return installed < shipped->versionNumber();
}

bool InstallationComponent::performUpgrade()
{
    if (!uninstall())
        return false;
    return install();
}

bool InstallationComponent::uninstall()
{
    if (!isAlreadyInstalled())
        return true;
    return FileManager::removeItemAtPath(getInstalledPath());
}

bool InstallationComponent::launch()
{
    return Workspace::sharedWorkspace().openFile(getInstalledPath());
}

void InstallationComponent::quitIfRunning()
{
    ScriptRunner::sharedScriptRunner().executeSource(
        QStringLiteral("tell application \"%1\" to quit").arg(getActualComponentName()));
}

} // namespace quorvel
