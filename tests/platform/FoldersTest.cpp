#include "platform/files/Folders.h"
#include "platform/core/Clock.h"
#include "support/LogCapture.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace quorvel;

TEST(Folders, PreferencesFolderIsCreatedPrivateInTheHomeLibrary)
{
    const QString home = Folders::homeFolder();
    const QString preferences = Folders::preferencesFolder();
    EXPECT_EQ(preferences, home + "/Library/Preferences");
    struct stat info { };
    ASSERT_EQ(::stat(QFile::encodeName(preferences).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(Folders::pathInPreferencesFolder("Quorvel Launcher Index"),
        home + "/Library/Preferences/Quorvel Launcher Index");
    EXPECT_EQ(Folders::libraryFolder(), home + "/Library");
}

TEST(Folders, CacheFolderFollowsAnAbsoluteXdgCacheHomeElseTheHomeCache)
{
    const QByteArray saved = qgetenv("XDG_CACHE_HOME");
    const QString home = Folders::homeFolder();
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home + "/xdg cache"));
    EXPECT_EQ(Folders::cacheFolder(), home + "/xdg cache/quorvel");
    struct stat info { };
    ASSERT_EQ(::stat(QFile::encodeName(home + "/xdg cache/quorvel").constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    for (const char* unusable : { "", "relative/cache" }) {
        qputenv("XDG_CACHE_HOME", unusable);
        EXPECT_EQ(Folders::cacheFolder(), home + "/.cache/quorvel") << unusable;
    }
    qputenv("XDG_CACHE_HOME", saved);
}

TEST(Folders, HomeFollowsTheEnvironmentOnEveryCall)
{
    const QByteArray saved = qgetenv("HOME");
    qputenv("HOME", "/tmp/elsewhere");
    EXPECT_EQ(Folders::homeFolder(), "/tmp/elsewhere");
    EXPECT_EQ(Folders::expandTilde("~/Documents/"), "/tmp/elsewhere/Documents/");
    qputenv("HOME", saved);
}

TEST(Folders, TildeExpansionTouchesOnlyALeadingTilde)
{
    const QString home = Folders::homeFolder();
    EXPECT_EQ(Folders::expandTilde("~"), home);
    EXPECT_EQ(Folders::expandTilde("~/Applications/"), home + "/Applications/");
    EXPECT_EQ(Folders::expandTilde("/Applications/"), "/Applications/");
    EXPECT_EQ(Folders::expandTilde("/a/~/b"), "/a/~/b");
    EXPECT_EQ(Folders::expandTilde("~root/x"), QDir::rootPath() + "root/x");
    EXPECT_EQ(Folders::expandTilde("~no-such-account-here/x"), "~no-such-account-here/x");
}

TEST(Folders, JoiningPutsExactlyOneSlashBetweenComponents)
{
    EXPECT_EQ(Folders::joinPath("/Applications/", "Mail.app"), "/Applications/Mail.app");
    EXPECT_EQ(Folders::joinPath("/Applications", "Mail.app"), "/Applications/Mail.app");
    EXPECT_EQ(Folders::joinPath("/", "usr"), "/usr");
}

TEST(Folders, LastPathComponentLeavesTrailingSlashesOutAndKeepsTheRoot)
{
    const QList<QPair<QString, QString>> cases = { { "/", "/" }, { "//", "/" }, { "", "" }, { "a", "a" },
        { "a/b/", "b" }, { "/Applications/Mail.app", "Mail.app" }, { "/Applications//", "Applications" } };
    for (const auto& [path, last] : cases)
        EXPECT_EQ(Folders::lastPathComponent(path), last) << path.toStdString();
}

TEST(Folders, APreferencesFolderOpenToOthersIsMadePrivate)
{
    const QString preferences = Folders::preferencesFolder();
    ::chmod(QFile::encodeName(preferences).constData(), 0755);
    EXPECT_TRUE(Folders::isInPreferencesFolder(Folders::pathInPreferencesFolder("x.plist")));
    struct stat info { };
    ASSERT_EQ(::stat(QFile::encodeName(preferences).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_FALSE(Folders::isInPreferencesFolder(Folders::libraryFolder() + "/x.plist"));
    EXPECT_FALSE(Folders::isInPreferencesFolder(preferences + "/sub/x.plist"));
}

TEST(Clock, AbsoluteTimeCountsFromTheStartOf2001)
{
    Clock::setFixedTime(0.0);
    EXPECT_EQ(Clock::dateTimeFromAbsoluteTime(Clock::absoluteTime()),
        QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC));
    Clock::setFixedTime(std::nullopt);
    const double now = Clock::absoluteTime();
    const double expected = QDateTime::currentMSecsSinceEpoch() / 1000.0 - 978307200.0;
    EXPECT_NEAR(now, expected, 5.0);
}
