// The first-launch assistant at a first and at a later start, against recording alerts,
// workspace, child processes and scripts.

#include "ComponentBundles.h"

#include "install/FirstLaunchManager.h"
#include "platform/files/Folders.h"
#include "platform/plist/PropertyList.h"
#include "platform/settings/UserDefaults.h"
#include "support/FakeAlert.h"
#include "support/FakeScriptRunner.h"
#include "support/FakeTask.h"
#include "support/FakeWorkspace.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::test;

namespace {

const QString openPaneScript = "tell application \"System Preferences\"\nactivate\nend tell\n";

class FirstLaunch : public testing::Test {
protected:
    void SetUp() override { UserDefaults::resetStandardUserDefaults(); }
    void TearDown() override { UserDefaults::resetStandardUserDefaults(); }

    // One start of the application: a fresh settings store and a fresh assistant.
    void start()
    {
        UserDefaults::resetStandardUserDefaults();
        FirstLaunchManager().doIt(nullptr);
    }
    static QVariantMap stored()
    {
        return PropertyList::readDictionaryFile(
            Folders::pathInPreferencesFolder("org.quorvel.launcher.plist"))
            .value_or(QVariantMap());
    }
    static void store(const QString& key, const QVariant& value)
    {
        UserDefaults settings("org.quorvel.launcher");
        settings.setObject(key, value);
        settings.synchronize();
    }
    static QString installedPane()
    {
        return Folders::homeFolder() + "/Library/PreferencePanes/Quorvel Preferences.prefPane";
    }
    static QVariantList loginItems()
    {
        return PropertyList::readDictionaryFile(Folders::pathInPreferencesFolder("loginwindow.plist"))
            .value_or(QVariantMap())
            .value("AutoLaunchedApplicationDictionary")
            .toList();
    }
    static void writeLoginItems(const QVariantList& items)
    {
        PropertyList::writeFile(Folders::pathInPreferencesFolder("loginwindow.plist"),
            QVariantMap { { "AutoLaunchedApplicationDictionary", items } });
    }
    static QVariantMap item(const QString& path, int hide) { return { { "Hide", hide }, { "Path", path } }; }
    QStringList titles() const
    {
        QStringList result;
        for (const FakeAlert::Shown& shown : alert.shown)
            result.append(shown.title);
        return result;
    }

    FakeApplication application;
    FakeAlert alert;
    FakeWorkspace workspace;
    FakeTask tasks;
    FakeScriptRunner scripts;
};

} // namespace

TEST_F(FirstLaunch, TheFirstStartWelcomesRegistersInstallsShowsTheNoticeAndThenOpensThePane)
{
    writeLoginItems({ item("/Applications/Quorvel Launcher.app", 0), item("/Applications/Mail.app", 0) });
    std::size_t alertsBeforeThePane = 0;
    workspace.onCall = [&](const FakeWorkspace::Call&) { alertsBeforeThePane = alert.shown.size(); };
    start();

    ASSERT_EQ(alert.shown.size(), 4u);
    EXPECT_EQ(alert.shown[0].style, Alert::Style::Informational);
    EXPECT_EQ(alert.shown[0].title, "Welcome to Quorvel Launcher.");
    EXPECT_EQ(alert.shown[0].message,
        "Quorvel Launcher consists of three components: the application itself, the hot key component and a "
        "system preferences pane.\n\nThis setup assistant will install or update all necessary components.");
    EXPECT_EQ(alert.shown[0].buttons, QStringList { "Continue" });
    EXPECT_EQ(alert.shown[1].style, Alert::Style::Informational);
    EXPECT_EQ(alert.shown[1].title, "Quorvel Launcher 2 was added to your login items.");
    EXPECT_EQ(alert.shown[1].message,
        "Quorvel Launcher 2 will be started automatically each time you log into Mac OS X from now "
        "on.\n\nYou can "
        "change this behaviour in the application's preferences menu or by removing the login item in your "
        "account settings.");
    EXPECT_EQ(alert.shown[1].buttons, QStringList { "Continue" });
    EXPECT_EQ(alert.shown[2].style, Alert::Style::Plain);
    EXPECT_EQ(alert.shown[2].title, "The System Preferences Pane Component was installed.");
    EXPECT_EQ(alert.shown[2].message,
        "This component is necessary to the proper operation of Quorvel Launcher.\n\nThe System Preferences "
        "Pane "
        "will now be opened to finish the installation.");
    EXPECT_EQ(alert.shown[2].buttons, QStringList { "Continue" });
    EXPECT_EQ(alert.shown[3].style, Alert::Style::Informational);
    EXPECT_EQ(alert.shown[3].title, "Welcome to Quorvel Launcher.");
    EXPECT_EQ(alert.shown[3].message,
        "\n\nIf you want to contribute to the continued development of this program, please feel free to "
        "make a "
        "small donation on our website.\n\nIf this is the first time you run this program, it will "
        "automatically "
        "initiate a disk scan to find relevant files.\n\nYou can bring up Quorvel Launcher by pressing the "
        "F1 key "
        "from any application.\n\nThis hot key can be changed in the \"Quorvel\" panel in the System "
        "Preferences.\n\nThe application will be launched automatically when you reboot the machine. You can "
        "change this behavior in the System Preferences panel.\n\n");
    EXPECT_EQ(alert.shown[3].buttons, QStringList { "OK" });

    EXPECT_EQ(loginItems(), (QVariantList { item("/Applications/Mail.app", 0), item(application.path(), 1) }))
        << "the old release's item goes, this one comes, hidden";
    ASSERT_EQ(tasks.calls.size(), 2u);
    EXPECT_EQ(tasks.calls[1].arguments,
        (QStringList {
            "-R", application.shippedPane(), Folders::homeFolder() + "/Library/PreferencePanes/" }));
    EXPECT_EQ(scripts.sources, QStringList { openPaneScript });
    ASSERT_EQ(workspace.calls.size(), 1u);
    EXPECT_EQ(workspace.calls[0].path, installedPane());
    EXPECT_EQ(alertsBeforeThePane, 4u) << "the pane's window would take the keys meant for the notice";
    EXPECT_EQ(stored()["firstLaunchVersion"].toLongLong(), 2001);
    EXPECT_EQ(stored()["location"].toString(), application.path());
}

TEST_F(FirstLaunch, ALaterStartWithACurrentPaneShowsAndOpensNothing)
{
    start();
    makeBundle(installedPane(), "2.0");
    alert.shown.clear();
    workspace.calls.clear();
    scripts.sources.clear();
    start();
    EXPECT_EQ(titles(), QStringList {});
    EXPECT_TRUE(workspace.calls.empty());
    EXPECT_TRUE(scripts.sources.empty());
    EXPECT_EQ(loginItems().size(), 1);
}

TEST_F(FirstLaunch, AnyOtherStoredMarkerCountsAsAFirstStart)
{
    makeBundle(installedPane(), "2.0");
    store("firstLaunchVersion", 2000);
    start();
    EXPECT_EQ(titles(),
        (QStringList { "Welcome to Quorvel Launcher.", "Quorvel Launcher 2 was added to your login items.",
            "Welcome to Quorvel Launcher." }));
    EXPECT_EQ(stored()["firstLaunchVersion"].toLongLong(), 2001);
}

TEST_F(FirstLaunch, AnOldApplicationIsQuitAndRemovedAtAnyStart)
{
    store("firstLaunchVersion", 2001);
    makeBundle(installedPane(), "2.0");
    const QString old = Folders::homeFolder() + "/Library/Application Support/Quorvel Launcher.app";
    makeBundle(old, "1.0");
    start();
    EXPECT_EQ(scripts.sources, QStringList { "tell application \"Quorvel Launcher.app\" to quit" });
    EXPECT_FALSE(QFile::exists(old));
    ASSERT_EQ(alert.shown.size(), 1u);
    EXPECT_EQ(alert.shown[0].style, Alert::Style::Informational);
    EXPECT_EQ(alert.shown[0].title, "An old version of Quorvel Launcher was detected and removed.");
    EXPECT_EQ(alert.shown[0].message, "");
    EXPECT_EQ(alert.shown[0].buttons, QStringList { "Continue" });
}

TEST_F(FirstLaunch, AnOlderPaneIsUpgradedAndOpened)
{
    store("firstLaunchVersion", 2001);
    makeBundle(installedPane(), "1.2");
    std::size_t alertsBeforeThePane = 0;
    workspace.onCall = [&](const FakeWorkspace::Call&) { alertsBeforeThePane = alert.shown.size(); };
    start();
    EXPECT_FALSE(QFile::exists(installedPane())) << "removed before the copy";
    ASSERT_EQ(tasks.calls.size(), 1u);
    EXPECT_EQ(tasks.calls[0].launchPath, "/bin/cp");
    ASSERT_EQ(alert.shown.size(), 1u);
    EXPECT_EQ(alert.shown[0].style, Alert::Style::Plain);
    EXPECT_EQ(alert.shown[0].title, "The System Preferences Pane Component was updated.");
    EXPECT_EQ(alert.shown[0].message,
        "An old version of the System Preferences pane component was detected and updated.\n\nThe System "
        "Preferences Pane will now be opened to finish the installation.");
    EXPECT_EQ(scripts.sources, QStringList { openPaneScript });
    ASSERT_EQ(workspace.calls.size(), 1u);
    EXPECT_EQ(alertsBeforeThePane, 1u) << "opened once its alert is answered";
}

TEST_F(FirstLaunch, AMovedApplicationRewritesItsLocationAndItsLoginItem)
{
    store("firstLaunchVersion", 2001);
    makeBundle(installedPane(), "2.0");
    writeLoginItems({ item("/Applications/Quorvel Launcher 2.app", 1), item("/Applications/Mail.app", 0) });
    start();
    EXPECT_EQ(stored()["location"].toString(), application.path());
    EXPECT_EQ(
        loginItems(), (QVariantList { item("/Applications/Mail.app", 0), item(application.path(), 1) }));

    application.moveTo(Folders::homeFolder() + "/Applications");
    start();
    EXPECT_EQ(
        stored()["location"].toString(), Folders::homeFolder() + "/Applications/Quorvel Launcher 2.app");
    EXPECT_EQ(
        loginItems(), (QVariantList { item("/Applications/Mail.app", 0), item(application.path(), 1) }));
}

TEST_F(FirstLaunch, AnExistingItemAtAFirstStartEndsUpTwice)
{
    writeLoginItems({ item("/Applications/Quorvel Launcher 2.app", 0) });
    start();
    EXPECT_EQ(loginItems(), (QVariantList { item(application.path(), 1), item(application.path(), 1) }));
}

// A start in two halves: the first tells whether doIt would say anything and writes nothing; a
// start it answers no for goes on as doIt would, alerts and all.
TEST_F(FirstLaunch, AQuietStartLeavesOnlyTheLocationForItsSecondHalf)
{
    store("firstLaunchVersion", 2001);
    makeBundle(installedPane(), "2.0");
    writeLoginItems({ item("/Applications/Quorvel Launcher 2.app", 1) });
    UserDefaults::resetStandardUserDefaults();
    FirstLaunchManager assistant;
    ASSERT_TRUE(assistant.beginQuietStart());
    EXPECT_FALSE(stored().contains("location")) << "nothing written before the second half";
    EXPECT_EQ(loginItems(), QVariantList { item("/Applications/Quorvel Launcher 2.app", 1) });
    assistant.finishQuietStart();
    EXPECT_EQ(stored()["location"].toString(), application.path());
    EXPECT_EQ(loginItems(), QVariantList { item(application.path(), 1) });
    EXPECT_EQ(titles(), QStringList {});
    EXPECT_TRUE(workspace.calls.empty() && scripts.sources.empty() && tasks.calls.empty());

    // Each of these has something to say: the first half answers no and writes nothing.
    const auto saysSomething = [this](const char* why) {
        UserDefaults::resetStandardUserDefaults();
        const QVariant locationBefore = stored().value("location");
        EXPECT_FALSE(FirstLaunchManager().beginQuietStart()) << why;
        EXPECT_EQ(stored().value("location"), locationBefore) << why;
        EXPECT_EQ(titles(), QStringList {}) << why;
    };
    makeBundle(installedPane(), "1.2");
    saysSomething("an older pane");
    QDir(installedPane()).removeRecursively();
    saysSomething("no pane");
    makeBundle(installedPane(), "2.0");
    const QString old = Folders::homeFolder() + "/Library/Application Support/Quorvel Launcher.app";
    makeBundle(old, "1.0");
    saysSomething("an old release");
    QDir(old).removeRecursively();
    store("firstLaunchVersion", 2000);
    saysSomething("a first start");
    EXPECT_TRUE(tasks.calls.empty() && scripts.sources.empty()) << "nothing installed or quit";
}
