// The login item list in the login window's preferences, and the autostart entries that make
// its items start at login.

#include <gio/gdesktopappinfo.h>

#include "ComponentBundles.h"

#include "install/InstallationManager.h"
#include "platform/files/Folders.h"
#include "platform/plist/PropertyList.h"
#include "platform/settings/LoginItemAutostart.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::test;

namespace {

QString loginWindowFile()
{
    return Folders::pathInPreferencesFolder("loginwindow.plist");
}

void writeLoginItems(const QVariantList& items)
{
    ASSERT_TRUE(PropertyList::writeFile(
        loginWindowFile(), QVariantMap { { "AutoLaunchedApplicationDictionary", items } }));
}

QVariantList loginItems()
{
    return PropertyList::readDictionaryFile(loginWindowFile())
        .value_or(QVariantMap())
        .value("AutoLaunchedApplicationDictionary")
        .toList();
}

QVariantMap item(const QString& path, int hide = 0)
{
    return { { "Path", path }, { "Hide", hide } };
}

QStringList autostartEntries()
{
    return QDir(LoginItemAutostart::autostartFolder()).entryList(QDir::Files);
}

} // namespace

TEST(LoginItems, APartialPathMatchesLiterallyAndCaseSensitively)
{
    InstallationManager manager;
    EXPECT_FALSE(manager.isLoginItemWithPartialPathRegistered("Quorvel Launcher 2.app")) << "no list";
    writeLoginItems({ QVariantMap { { "Hide", 0 } }, item("/Applications/Quorvel Launcher 2.app") });
    EXPECT_TRUE(manager.isLoginItemWithPartialPathRegistered("Quorvel Launcher 2.app"));
    EXPECT_FALSE(manager.isLoginItemWithPartialPathRegistered("Quorvel Launcher.app"));
    EXPECT_FALSE(manager.isLoginItemWithPartialPathRegistered("quorvel launcher 2.app"));
    EXPECT_FALSE(manager.isLoginItemWithPartialPathRegistered("Quorvel.*2")) << "no pattern";
    EXPECT_FALSE(manager.isLoginItemWithPartialPathRegistered("")) << "an empty partial path matches nothing";
}

TEST(LoginItems, UnregisteringRemovesEveryMatchAndKeepsTheRestInOrder)
{
    InstallationManager manager;
    manager.unregisterLoginItemWithPartialPath("Mail");
    EXPECT_FALSE(QFile::exists(loginWindowFile())) << "no list: nothing written";

    QVariantMap foreign = item("/Applications/Music.app");
    foreign.insert("AliasData", QByteArray("\x01\x02", 2));
    writeLoginItems({ item("/Applications/Mail.app"), foreign, QVariantMap { { "Hide", 1 } },
        item("/Users/me/Mail.app", 1), item("/Applications/Notes.app") });
    manager.unregisterLoginItemWithPartialPath("Mail.app");
    EXPECT_EQ(loginItems(),
        (QVariantList { foreign, QVariantMap { { "Hide", 1 } }, item("/Applications/Notes.app") }));

    QFile::remove(loginWindowFile());
    writeLoginItems({ item("/Applications/Notes.app") });
    const QVariantList before = loginItems();
    manager.unregisterLoginItemWithPartialPath("Safari");
    EXPECT_EQ(loginItems(), before);
}

TEST(LoginItems, RegisteringAppendsWithoutLookingAndTheAutostartEntryFollows)
{
    FakeApplication application;
    QDir().mkpath(application.path() + "/Contents/MacOS");
    InstallationManager manager;
    manager.registerLoginItemWithPathAndHidden(application.path(), true);
    const QVariantList items = loginItems();
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0].toMap().keys(), (QStringList { "Hide", "Path" }));
    EXPECT_EQ(items[0].toMap()["Hide"].typeId(), QMetaType::LongLong);
    EXPECT_EQ(items[0].toMap()["Hide"].toLongLong(), 1);
    EXPECT_EQ(items[0].toMap()["Path"].toString(), application.path());

    QFile entry(LoginItemAutostart::entryPathForItem(application.path()));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(entry.readAll()).split('\n');
    const QString executable = application.path() + "/Contents/MacOS/Quorvel Launcher 2";
    EXPECT_TRUE(lines.contains("Type=Application"));
    EXPECT_TRUE(lines.contains("Exec=env QUORVEL_LOGIN_HIDDEN=1 \"" + executable + "\""));
    EXPECT_TRUE(lines.contains("TryExec=" + executable));
    EXPECT_TRUE(lines.contains("X-GNOME-Autostart-enabled=true"));
    EXPECT_TRUE(lines.filter("X-GNOME-Autostart-Phase").isEmpty());

    manager.registerLoginItemWithPathAndHidden(application.path(), false);
    EXPECT_EQ(loginItems().size(), 2) << "the same path twice gives two items";
    EXPECT_EQ(autostartEntries().size(), 1) << "and one entry, shown since one item is";

    QFile other(LoginItemAutostart::autostartFolder() + "/quorvel-login-mine.desktop");
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write("[Desktop Entry]\nType=Application\nExec=true\n");
    other.close();
    manager.unregisterLoginItemWithPartialPath("Quorvel Launcher 2.app");
    EXPECT_EQ(autostartEntries(), QStringList { "quorvel-login-mine.desktop" })
        << "an entry not marked ours stays";
}

TEST(LoginItems, TheDesktopStartsTheEntryWithTheItemsPathIntactAndHidden)
{
    // A path with every character the Exec quoting must protect.
    const QString folder = Folders::homeFolder() + "/Odd $HOME \"q\" `x` 100% \\ dir";
    const QString bundle = folder + "/Tool.app";
    QDir().mkpath(bundle + "/Contents/MacOS");
    const QString marker = Folders::homeFolder() + "/started";
    QFile script(bundle + "/Contents/MacOS/Tool");
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\nprintf '%s|%s' \"$0\" \"$QUORVEL_LOGIN_HIDDEN\" > \"$HOME/started\"\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    InstallationManager().registerLoginItemWithPathAndHidden(bundle, true);
    const QByteArray entry = QFile::encodeName(LoginItemAutostart::entryPathForItem(bundle));
    GDesktopAppInfo* info = g_desktop_app_info_new_from_filename(entry.constData());
    ASSERT_NE(info, nullptr) << "the desktop skips an entry it cannot read or whose TryExec is missing";
    EXPECT_TRUE(g_app_info_launch(G_APP_INFO(info), nullptr, nullptr, nullptr));
    g_object_unref(info);
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile(marker).size() > 0; }, 5000));
    QFile started(marker);
    ASSERT_TRUE(started.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(started.readAll()), bundle + "/Contents/MacOS/Tool|1");
}
