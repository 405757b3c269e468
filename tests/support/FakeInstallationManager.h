#pragma once
// An installation manager that installs nothing: it answers chosen states and records the
// login-item and pane operations asked of it.

#include "install/QRVLInstallationManager.h"

#include <QStringList>

namespace quorvel::test {

class FakeInstallationManager final : public QRVLInstallationManager {
public:
    bool isPrefPaneInstalled() override { return prefPaneInstalled; }
    bool uninstallPrefPane() override
    {
        calls << QStringLiteral("uninstallPrefPane");
        prefPaneInstalled = !uninstallSucceeds;
        return uninstallSucceeds;
    }
    bool isLoginItemWithPartialPathRegistered(const QString& partialPath) override
    {
        return loginItemRegistered && !partialPath.isEmpty();
    }
    void registerLoginItemWithPathAndHidden(const QString& path, bool hidden) override
    {
        calls << QStringLiteral("register %1 %2").arg(path, hidden ? "hidden" : "shown");
    }
    void unregisterLoginItemWithPartialPath(const QString& partialPath) override
    {
        calls << QStringLiteral("unregister %1").arg(partialPath);
    }

    bool prefPaneInstalled = true;
    bool uninstallSucceeds = true;
    bool loginItemRegistered = false;
    QStringList calls;
};

} // namespace quorvel::test
