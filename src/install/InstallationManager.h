#pragma once
// The installation work that is not tied to one bundle: the user's login items (the login
// window's "AutoLaunchedApplicationDictionary", mirrored by the layer into XDG autostart entries),
// restarting the file viewer and bringing up the companion preference pane.
//
// The operations are virtual so that tests of the callers can stand in a recording fake.

#include <QString>

namespace quorvel {

class InstallationManager {
public:
    InstallationManager() = default;
    virtual ~InstallationManager() = default;
    InstallationManager(const InstallationManager&) = delete;
    InstallationManager& operator=(const InstallationManager&) = delete;

    // Some login item's "Path" contains partialPath (literal, case-sensitive; "" matches nothing).
    virtual bool isLoginItemWithPartialPathRegistered(const QString& partialPath);
    // Appends a login item {"Hide": 1 or 0, "Path": path}; never looks at the items present.
    virtual void registerLoginItemWithPathAndHidden(const QString& path, bool hidden);
    // Removes every login item whose "Path" contains partialPath; writes even when none matched.
    virtual void unregisterLoginItemWithPartialPath(const QString& partialPath);

    virtual void openPrefPane();
    virtual void restartFinder();
    virtual void doInteractiveRestartFinder();
};

} // namespace quorvel
