#pragma once
// One bundle that ships in the application's resources and is copied into a folder of the
// user's home: whether it is installed and older than the shipped one; installing, upgrading,
// removing, opening and quitting that copy. Copies and folders are made by "/bin/cp" and
// "/bin/mkdir" as child processes, waited for.

#include "platform/desktop/Bundle.h"

#include <QString>

namespace quorvel {

class InstallationComponent final {
public:
    // init: the shipped bundle lies in the application's own main bundle.
    InstallationComponent();

    // The folder that receives the component; a leading "~" is expanded now.
    void setInstallationLocation(const QString& location);
    // The shipped bundle's path relative to myBundle's resource folder.
    void setLocationWithinResourceBundle(const QString& relativePath);
    // Must precede setLocationWithinResourceBundle to take effect.
    void setBundle(const Bundle& bundle);

    bool install();
    // Something (file or folder) exists at the installed path.
    bool isAlreadyInstalled() const;
    // Installed, and its version number is lower than the shipped bundle's. Raises
    // InternalInconsistency when the shipped bundle is missing from the application.
    bool needsUpgrading() const;
    bool performUpgrade();
    bool uninstall();
    bool launch();
    // Asks the running application of the component's name to quit; errors are ignored.
    void quitIfRunning();

    QString getActualComponentName() const;
    QString getInstalledPath() const;

private:
    // Creates the folder (and missing parents) when nothing exists at the path; answers the
    // folder process's exit status, 0 when none ran.
    int createDirectoryPath(const QString& path);

    QString installationLocation;
    QString sourcePath;
    Bundle myBundle;
};

} // namespace quorvel
