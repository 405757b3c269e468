#pragma once
// The first-launch assistant. At every start it records where the application lives, keeps an
// existing login item pointing at the running copy, removes an old release and installs or
// upgrades the companion preference pane; on the first start of a release it also welcomes the
// user, registers the login item and shows the freeware notice. Everything it tells the user is
// a modal alert with one button; a pane installed or upgraded is opened after the last of them.
// It owns the installation manager and lends it out.

#include <memory>

namespace quorvel {

class AppController;
class QRVLInstallationManager;

class FirstLaunchManager final {
public:
    // init: creates the installation manager.
    FirstLaunchManager();
    // Tests: an installation manager of their own.
    explicit FirstLaunchManager(std::unique_ptr<QRVLInstallationManager> manager);
    ~FirstLaunchManager();

    // Runs the first-launch work to completion; the controller is handed to the notice it shows.
    // A component missing from the application raises InternalInconsistency and abandons the rest.
    void doIt(AppController* controller);
    // doIt in two halves, for a start whose panel need not wait for it. Answers true when doIt
    // would tell the user nothing (a later start of this release, no old release installed, the
    // pane current); then all that is left of it is finishQuietStart: recording where the
    // application lives (its location and login item), which may come after the panel's first
    // frame. Otherwise answers false, having registered the defaults only: doIt is to run now.
    // A component missing from the application raises InternalInconsistency, as doIt would: after
    // the location was recorded.
    bool beginQuietStart();
    void finishQuietStart();
    void showSharewareNotice(AppController* sender);
    void registerQRVLAsLoginItem();
    void uninstallPrefPane();
    // Shared, not copied; lives as long as the assistant.
    QRVLInstallationManager* getInstallationManager() const { return installationManager.get(); }

    // The value of "firstLaunchVersion" once this release has started.
    static constexpr int firstLaunchMarker = 2001;

private:
    void registerDefaults();
    void rememberLocation();
    bool isFirstLaunch();
    void openPrefPane();
    void removeOldApplication();
    // Answers whether the pane is to be opened to finish the installation.
    bool installOrUpdatePrefPane();

    std::unique_ptr<QRVLInstallationManager> installationManager;
};

} // namespace quorvel
