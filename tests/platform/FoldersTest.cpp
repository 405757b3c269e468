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

// Folders the system makes for itself are the user's alone whatever the umask lets, those
// above them that it had to make too; folders that were there keep their mode.
TEST(Folders, FoldersAreCreatedPrivateUnderAnOpenUmask)
{
    struct UmaskForTheTest {
        mode_t saved = ::umask(0);
        ~UmaskForTheTest() { ::umask(saved); }
    } openUmask;
    const auto modeOf = [](const QString& path) {
        struct stat info { };
        return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 07777u;
    };
    const QString home = Folders::homeFolder();
    ::chmod(QFile::encodeName(home).constData(), 0755);
    const QByteArray saved = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home + "/a/b/cache"));
    Folders::cacheFolder();
    Folders::preferencesFolder();
    qputenv("XDG_CACHE_HOME", saved);
    for (const char* made :
        { "a", "a/b", "a/b/cache", "a/b/cache/quorvel", "Library", "Library/Preferences" })
        EXPECT_EQ(modeOf(home + "/" + made), 0700u) << made;

    EXPECT_TRUE(Folders::createPrivateFolders(home + "/.config/autostart/"));
    EXPECT_EQ(modeOf(home + "/.config"), 0700u);
    EXPECT_EQ(modeOf(home + "/.config/autostart"), 0700u);
    EXPECT_EQ(modeOf(home), 0755u) << "an existing folder is left as it is";
    QFile file(home + "/a/file");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    EXPECT_FALSE(Folders::createPrivateFolders(home + "/a/file/sub")) << "a file is in the way";
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
