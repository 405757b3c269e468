// The inotify watcher over real folders: which changes it reports, under which paths, and a
// folder that goes.

#include "platform/files/FolderWatcher.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>
#include <unistd.h>

using namespace quorvel;

namespace {

void writeFile(const QString& path, const QByteArray& bytes = "x")
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// The (folder, name) pairs reported until the spy has been quiet for a moment.
QStringList reported(QSignalSpy& spy)
{
    while (spy.wait(200)) { }
    QStringList pairs;
    for (const QList<QVariant>& arguments : spy)
        pairs.append(arguments.at(0).toString() + " " + arguments.at(1).toString());
    spy.clear();
    return pairs;
}

TEST(FolderWatcher, ReportsEntriesThatAppearGoOrAreRenamedAndContentOnlyWhereAsked)
{
    QTemporaryDir root;
    const QString apps = root.path() + "/apps";
    const QString docs = root.path() + "/docs";
    QDir().mkpath(apps);
    QDir().mkpath(docs);
    writeFile(docs + "/old.txt");
    writeFile(apps + "/entry.desktop");
    FolderWatcher watcher;
    ASSERT_TRUE(watcher.isAvailable());
    ASSERT_EQ(watcher.watchFolder(apps, true), FolderWatcher::WatchResult::watching);
    ASSERT_EQ(watcher.watchFolder(docs, false), FolderWatcher::WatchResult::watching);
    EXPECT_EQ(watcher.watchFolder(root.path() + "/missing", false), FolderWatcher::WatchResult::failed);
    EXPECT_EQ(watcher.watchCount(), 2u);
    QSignalSpy spy(&watcher, &FolderWatcher::entryChanged);

    writeFile(docs + "/new.txt");
    QFile::rename(docs + "/old.txt", docs + "/renamed.txt");
    QFile::remove(docs + "/new.txt");
    QDir().mkdir(docs + "/sub");
    writeFile(docs + "/sub/deeper.txt"); // not watched: one level only
    EXPECT_EQ(reported(spy).join(", ").toStdString(),
        QStringList(
            { docs + " new.txt", docs + " old.txt", docs + " renamed.txt", docs + " new.txt", docs + " sub" })
            .join(", ")
            .toStdString());

    writeFile(docs + "/renamed.txt", "rewritten"); // content of a document folder: not reported
    writeFile(apps + "/entry.desktop", "rewritten"); // of an application folder: reported
    EXPECT_EQ(reported(spy).join(", ").toStdString(), (apps + " entry.desktop").toStdString());

    // The same folder under a second path (a link to it) reports under both.
    const QString link = root.path() + "/link";
    ASSERT_EQ(::symlink(QFile::encodeName(docs).constData(), QFile::encodeName(link).constData()), 0);
    ASSERT_EQ(watcher.watchFolder(link, false), FolderWatcher::WatchResult::watching);
    writeFile(docs + "/both.txt");
    const QStringList both = reported(spy);
    EXPECT_TRUE(both.contains(docs + " both.txt") && both.contains(link + " both.txt"))
        << both.join(", ").toStdString();
    watcher.unwatchFolder(link);
    writeFile(docs + "/one.txt");
    EXPECT_FALSE(reported(spy).contains(link + " one.txt"));
    EXPECT_TRUE(watcher.isWatching(docs));
}

TEST(FolderWatcher, AFolderThatGoesIsReportedAndNoLongerWatched)
{
    QTemporaryDir root;
    const QString folder = root.path() + "/gone";
    QDir().mkpath(folder);
    FolderWatcher watcher;
    ASSERT_EQ(watcher.watchFolder(folder, false), FolderWatcher::WatchResult::watching);
    QSignalSpy gone(&watcher, &FolderWatcher::folderGone);
    ASSERT_TRUE(QDir(folder).removeRecursively());
    ASSERT_TRUE(gone.wait(2000));
    EXPECT_EQ(gone.first().at(0).toString(), folder);
    EXPECT_FALSE(watcher.isWatching(folder));
    EXPECT_EQ(watcher.watchCount(), 0u);
    EXPECT_GT(FolderWatcher::systemWatchLimit(), 0u);
}

} // namespace
