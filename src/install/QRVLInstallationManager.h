#pragma once
// The installation manager of this application: its three installation components (an old
// release of the launcher to remove, the companion preference pane and the hot-key component).

#include "install/InstallationManager.h"

#include <memory>

namespace quorvel {

class InstallationComponent;

class QRVLInstallationManager : public InstallationManager {
public:
    QRVLInstallationManager();
    ~QRVLInstallationManager() override;

    virtual bool isPrefPaneInstalled();
    virtual bool installPrefPane();
    virtual bool uninstallPrefPane();
    virtual bool shouldUpdatePrefPane();
    virtual bool updatePrefPane();

    virtual bool isOldApplicationInstalled();
    virtual void quitOldApplication();
    virtual bool uninstallOldApplication();

    virtual bool shouldUpdateHotKey();
    virtual bool updateHotKey();
    virtual bool quitHotKey();

private:
    void removePrefPaneDesktopShortcut();

    std::unique_ptr<InstallationComponent> oldApplicationComponent;
    std::unique_ptr<InstallationComponent> prefPaneComponent;
    std::unique_ptr<InstallationComponent> hotKeyComponent;
};

} // namespace quorvel
