// This application's installation manager over its three components.

#include "ComponentBundles.h"

#include "install/QRVLInstallationManager.h"
#include "platform/Folders.h"
#include "support/FakeScriptRunner.h"
#include "support/FakeTask.h"
#include "support/FakeWorkspace.h"

#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::test;

TEST(QRVLInstallationManager, TheHotKeyIsQuitByItsScriptAndStartedOnlyAfterASuccessfulUpgrade)
{
    FakeApplication application("2.0");
    FakeTask tasks;
    FakeScriptRunner scripts;
    FakeWorkspace workspace;
    QRVLInstallationManager manager;
    const QString installed
        = Folders::homeFolder() + "/Library/Application Support/Quorvel Suite/QRV HotKey.app";

    EXPECT_FALSE(manager.shouldUpdateHotKey()) << "not installed";
    makeBundle(installed, "1.0");
    EXPECT_TRUE(manager.shouldUpdateHotKey());

    tasks.exitStatus = 1;
    EXPECT_FALSE(manager.updateHotKey());
    ASSERT_GE(tasks.calls.size(), 2u);
    EXPECT_EQ(tasks.calls[0].launchPath, "/bin/sh");
    EXPECT_EQ(
        tasks.calls[0].arguments, QStringList { application.path() + "/Contents/Resources/quitHotKey.sh" });
    EXPECT_EQ(tasks.calls.back().launchPath, "/bin/cp");
    EXPECT_TRUE(workspace.calls.empty()) << "a failed upgrade starts nothing";

    tasks.exitStatus = 0;
    EXPECT_TRUE(manager.quitHotKey());
    EXPECT_TRUE(manager.updateHotKey());
    ASSERT_EQ(workspace.calls.size(), 1u);
    EXPECT_EQ(workspace.calls[0].path, installed);
    EXPECT_FALSE(manager.shouldUpdatePrefPane()) << "a pane that is not installed is never updated";
}
