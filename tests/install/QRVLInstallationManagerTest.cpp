// This application's installation manager over its three components.

#include <gio/gdesktopappinfo.h>

#include "ComponentBundles.h"

#include "install/HotKeyAutostart.h"
#include "install/QRVLInstallationManager.h"
#include "platform/files/Folders.h"
#include "platform/plist/PropertyList.h"
#include "support/FakeScriptRunner.h"
#include "support/FakeTask.h"
#include "support/FakeWorkspace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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

namespace {

// An installed pane whose program exists, with the hot-key component inside.
QString installPaneWithProgram()
{
    const QString pane = Folders::homeFolder() + "/Library/PreferencePanes/Quorvel Preferences.prefPane";
    makeBundle(pane + "/Contents/Resources/QRV HotKey.app", "2.0");
    QDir().mkpath(pane + "/Contents/MacOS");
    PropertyList::writeFile(pane + "/Contents/Info.plist",
        QVariantMap { { "CFBundleExecutable", "Quorvel Preferences" }, { "CFBundleVersion", "2.0" } });
    QFile program(pane + "/Contents/MacOS/Quorvel Preferences");
    program.open(QIODevice::WriteOnly);
    return pane;
}

} // namespace

TEST(QRVLInstallationManager, RemovingThePaneQuitsTheHotKeyAndUndoesItsShortcutAndAutostartEntry)
{
    FakeApplication application;
    FakeTask tasks;
    QRVLInstallationManager manager;
    const QString pane = installPaneWithProgram();
    ASSERT_TRUE(HotKeyAutostart::write(pane + "/Contents/Resources/QRV HotKey.app"));
    ASSERT_TRUE(QFile::exists(HotKeyAutostart::entryPath()));

    // Neither a component that does not run nor a desktop without shortcuts keeps the pane.
    tasks.exitStatus = 1;
    EXPECT_TRUE(manager.uninstallPrefPane());
    ASSERT_EQ(tasks.calls.size(), 2u);
    EXPECT_EQ(tasks.calls[0].launchPath, "/bin/sh");
    EXPECT_EQ(
        tasks.calls[0].arguments, QStringList { application.path() + "/Contents/Resources/quitHotKey.sh" });
    EXPECT_EQ(tasks.calls[1].launchPath, pane + "/Contents/MacOS/Quorvel Preferences")
        << "the installed pane's own program, asked while it is still there";
    EXPECT_EQ(tasks.calls[1].arguments, QStringList { "--remove-desktop-shortcut" });
    EXPECT_FALSE(QFile::exists(HotKeyAutostart::entryPath()));
    EXPECT_FALSE(QFileInfo::exists(pane));

    // An entry of that name that another program wrote is not ours to remove.
    QFile foreign(HotKeyAutostart::entryPath());
    ASSERT_TRUE(foreign.open(QIODevice::WriteOnly));
    foreign.write("[Desktop Entry]\nType=Application\nExec=true\n");
    foreign.close();
    tasks.calls.clear();
    EXPECT_TRUE(manager.uninstallPrefPane());
    EXPECT_EQ(tasks.calls.size(), 1u) << "no pane program to ask";
    EXPECT_TRUE(QFile::exists(HotKeyAutostart::entryPath()));
}

TEST(QRVLInstallationManager, TheHotKeysAutostartEntryStartsTheComponentsProgram)
{
    const QString component
        = Folders::homeFolder() + "/Library/PreferencePanes/Odd $pane \"q\"/QRV HotKey.app";
    makeBundle(component, "2.0");
    PropertyList::writeFile(component + "/Contents/Info.plist",
        QVariantMap { { "CFBundleExecutable", "QRV HotKey" }, { "CFBundleVersion", "2.0" } });
    QDir().mkpath(component + "/Contents/MacOS");
    QFile program(component + "/Contents/MacOS/QRV HotKey");
    ASSERT_TRUE(program.open(QIODevice::WriteOnly));
    program.close();
    program.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    ASSERT_TRUE(HotKeyAutostart::write(component));
    QFile entry(HotKeyAutostart::entryPath());
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(entry.readAll()).split('\n');
    EXPECT_TRUE(lines.contains("X-GNOME-Autostart-enabled=true"));
    EXPECT_TRUE(lines.contains("X-Quorvel-HotKey=true"));
    EXPECT_TRUE(lines.filter("X-GNOME-Autostart-Phase").isEmpty());

    const QByteArray file = QFile::encodeName(HotKeyAutostart::entryPath());
    GDesktopAppInfo* info = g_desktop_app_info_new_from_filename(file.constData());
    ASSERT_NE(info, nullptr) << "the desktop skips an entry it cannot read or whose TryExec is missing";
    gchar** argv = nullptr;
    EXPECT_TRUE(g_shell_parse_argv(g_app_info_get_commandline(G_APP_INFO(info)), nullptr, &argv, nullptr));
    ASSERT_NE(argv, nullptr);
    EXPECT_EQ(QString::fromUtf8(argv[0]), component + "/Contents/MacOS/QRV HotKey");
    EXPECT_EQ(argv[1], nullptr);
    g_strfreev(argv);
    g_object_unref(info);
}
