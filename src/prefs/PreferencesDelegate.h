#pragma once
// What the preferences window asks of the application controller: taking the search panel away
// and back, the scan settings, saving everything, and removing the companion preference pane.

namespace quorvel {

class PreferencesDelegate {
public:
    virtual ~PreferencesDelegate() = default;
    virtual void hideDialog() = 0;
    virtual void showDialog() = 0;
    virtual void setAutomaticScanning(int flag) = 0;
    virtual void setDiskScanningInterval(int seconds) = 0;
    // Writes the settings, the four list files and the history.
    virtual void saveSettings() = 0;
    virtual void uninstallPrefPane() = 0;
};

} // namespace quorvel
