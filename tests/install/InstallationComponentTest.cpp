// A component against recording child processes, scripts and workspace: what it runs, when, and
// what it answers.

#include "ComponentBundles.h"

#include "install/InstallationComponent.h"
#include "platform/core/InternalInconsistency.h"
#include "platform/files/Folders.h"
#include "support/FakeScriptRunner.h"
#include "support/FakeTask.h"
#include "support/FakeWorkspace.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::test;

namespace {

class Component : public testing::Test {
protected:
    InstallationComponent pane() const
    {
        InstallationComponent component;
        component.setInstallationLocation("~/Library/PreferencePanes/");
        component.setLocationWithinResourceBundle("Components/Quorvel Preferences.prefPane");
        return component;
    }
    static QString installedPane()
    {
        return Folders::homeFolder() + "/Library/PreferencePanes/Quorvel Preferences.prefPane";
    }

    FakeApplication application;
    FakeTask tasks;
    FakeScriptRunner scripts;
    FakeWorkspace workspace;
};

} // namespace

TEST_F(Component, NamesItsInstalledPathFromTheHomeAndQuitsByTheShippedName)
{
    EXPECT_EQ(pane().getInstalledPath(), installedPane());
    EXPECT_EQ(pane().getActualComponentName(), "Quorvel Preferences.prefPane");

    InstallationComponent old;
    old.setInstallationLocation("~/Library/Application Support/");
    old.setLocationWithinResourceBundle("Components/Quorvel Launcher.app");
    old.quitIfRunning();
    EXPECT_EQ(scripts.sources, QStringList { "tell application \"Quorvel Launcher.app\" to quit" });
    EXPECT_TRUE(old.launch());
    ASSERT_EQ(workspace.calls.size(), 1u);
    EXPECT_EQ(workspace.calls[0].operation, "openFile");
    EXPECT_EQ(
        workspace.calls[0].path, Folders::homeFolder() + "/Library/Application Support/Quorvel Launcher.app");
}

TEST_F(Component, InstallingMakesTheFolderOnlyWhenNothingIsThereAndAnswersTheCopysStatus)
{
    ASSERT_TRUE(pane().install());
    ASSERT_EQ(tasks.calls.size(), 2u);
    EXPECT_EQ(tasks.calls[0].launchPath, "/bin/mkdir");
    EXPECT_EQ(tasks.calls[0].arguments,
        (QStringList { "-p", "-m", "u=rwx,go=rx", Folders::homeFolder() + "/Library/PreferencePanes/" }));
    EXPECT_EQ(tasks.calls[1].launchPath, "/bin/cp");
    EXPECT_EQ(tasks.calls[1].arguments,
        (QStringList {
            "-R", application.shippedPane(), Folders::homeFolder() + "/Library/PreferencePanes/" }));

    tasks.calls.clear();
    ASSERT_TRUE(QDir().mkpath(Folders::homeFolder() + "/Library/PreferencePanes"));
    tasks.exitStatus = 1;
    EXPECT_FALSE(pane().install());
    ASSERT_EQ(tasks.calls.size(), 1u) << "no folder process when the folder exists";
    EXPECT_EQ(tasks.calls[0].launchPath, "/bin/cp");
}

TEST_F(Component, APlainFileAtTheInstalledPathCountsAsInstalledAndIsRemoved)
{
    EXPECT_TRUE(pane().uninstall()) << "nothing installed: nothing to remove";
    ASSERT_TRUE(QDir().mkpath(Folders::homeFolder() + "/Library/PreferencePanes"));
    QFile file(installedPane());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_TRUE(pane().isAlreadyInstalled());
    EXPECT_TRUE(pane().needsUpgrading()) << "a file that is no bundle has no version";
    EXPECT_TRUE(pane().uninstall());
    EXPECT_FALSE(QFile::exists(installedPane()));
}

TEST_F(Component, OnlyAnOlderInstalledCopyNeedsUpgrading)
{
    EXPECT_FALSE(pane().needsUpgrading());
    makeBundle(installedPane(), "2.0");
    EXPECT_FALSE(pane().needsUpgrading()) << "equal versions";
    makeBundle(installedPane(), "2.1");
    EXPECT_FALSE(pane().needsUpgrading()) << "newer installed";
    makeBundle(installedPane(), "1.9.3");
    EXPECT_TRUE(pane().needsUpgrading());
    makeBundle(installedPane(), "2.0b4");
    EXPECT_TRUE(pane().needsUpgrading()) << "a beta comes before its release";
}

TEST_F(Component, AShippedBundleMissingFromTheApplicationIsAnInternalInconsistency)
{
    QDir(application.shippedPane()).removeRecursively();
    EXPECT_FALSE(pane().needsUpgrading()) << "nothing installed: the shipped bundle is not looked at";
    makeBundle(installedPane(), "1.0");
    try {
        (void)pane().needsUpgrading();
        FAIL() << "no failure raised";
    } catch (const InternalInconsistency& failure) {
        EXPECT_EQ(
            failure.description(), "Installation component cannot find the installed component bundle!");
    }
    InstallationComponent nowhere;
    nowhere.setInstallationLocation("~/Library/PreferencePanes/");
    EXPECT_THROW((void)nowhere.needsUpgrading(), InternalInconsistency);
}

TEST_F(Component, AnUpgradeWhoseRemovalFailsInstallsNothing)
{
    // Not even the superuser can remove a file of /proc.
    InstallationComponent stuck;
    stuck.setInstallationLocation("/proc/self");
    stuck.setLocationWithinResourceBundle("Components/status");
    ASSERT_TRUE(stuck.isAlreadyInstalled());
    EXPECT_FALSE(stuck.performUpgrade());
    EXPECT_TRUE(tasks.calls.empty());

    makeBundle(installedPane(), "1.0");
    EXPECT_TRUE(pane().performUpgrade());
    EXPECT_FALSE(QFile::exists(installedPane())) << "the fake copy made nothing; the old one is gone";
    ASSERT_EQ(tasks.calls.size(), 1u);
    EXPECT_EQ(tasks.calls[0].launchPath, "/bin/cp");
}
