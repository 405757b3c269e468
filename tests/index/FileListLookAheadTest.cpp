// The walk lists and classifies folders ahead on further threads: the scanning thread must
// still report every folder in the order of a walk on one thread, make every report itself,
// and report a folder that went away after it was listed ahead as gone. The types the walk
// classifies with come from the listing: they must be the ones read from each file itself.

#include "index/ScanFixture.h"

#include "platform/files/FileManager.h"

#include <QDir>
#include <QRegularExpression>

#include <chrono>
#include <set>
#include <thread>

using namespace quorvel;
using quorvel::test::ScanFixture;
using quorvel::test::TemporaryTree;

namespace {

// Plain files (every seventh an application by its code, every eleventh with another code),
// links to coded and plain files, dangling links, folders and desktop entries.
bool makeFolder(const TemporaryTree& tree, int files)
{
    bool hasAttributes = true;
    for (int i = 0; i < files; ++i) {
        const QString file = tree.file(QString("f/file %1.txt").arg(i));
        if (i % 7 == 0)
            hasAttributes = TemporaryTree::setCodes(file, "APPL", "????") && hasAttributes;
        else if (i % 11 == 0)
            hasAttributes = TemporaryTree::setCodes(file, "TEXT", "ttxt") && hasAttributes;
        if (i % 13 == 0)
            tree.symbolicLink(QString("f/link %1").arg(i), file);
        if (i % 17 == 0)
            tree.symbolicLink(QString("f/dangling %1").arg(i), tree.path("nothing"));
        if (i % 19 == 0)
            tree.folder(QString("f/folder %1").arg(i));
    }
    tree.desktopEntry("f/editor.desktop", "Text Editor");
    return hasAttributes;
}

class LookAhead : public ScanFixture {
protected:
    // The status texts of a walk on one thread, entries in the order the folder lists them.
    static void expectedStatuses(const QString& path, QStringList& statuses)
    {
        statuses.append("Indexing " + path + "..");
        const QString prefix = path.endsWith('/') ? path : path + "/";
        for (const QString& name : FileManager::directoryContentsAtPath(path)) {
            bool isFolder = false;
            if (!name.startsWith('.') && FileManager::fileExistsAtPath(prefix + name, &isFolder) && isFolder)
                expectedStatuses(prefix + name, statuses);
        }
    }
};

} // namespace

TEST_F(LookAhead, ReportsComeFromTheScanningThreadInTheOrderOfAWalkOnOneThread)
{
    // Wide and deep at once, so that the helpers run ahead into later branches.
    for (int top = 0; top < 12; ++top) {
        QString folder = QString("t%1").arg(top);
        for (int depth = 0; depth < top % 5 + 1; ++depth) {
            for (int file = 0; file < 15; ++file)
                tree.file(QString("%1/f%2.pdf").arg(folder).arg(file));
            tree.folder(folder + "/side");
            folder += QString("/d%1").arg(depth);
        }
    }
    std::set<std::thread::id> reporters;
    delegate.onStatus = [&](const QString&) { reporters.insert(std::this_thread::get_id()); };

    const QStringList items = scanAndDescribe();
    QStringList expected = { "Starting scan..." };
    expectedStatuses(tree.path() + "/", expected);
    QStringList statuses = delegate.statuses();
    statuses.removeLast(); // the completion text
    EXPECT_EQ(statuses, expected);
    EXPECT_EQ(reporters.size(), 1u);
    EXPECT_EQ(reporters.count(std::this_thread::get_id()), 0u);
    EXPECT_EQ(items.filter(QRegularExpression("^doc ")).size(), 33 * 15); // 33 folders hold files
}

TEST_F(LookAhead, AFolderListedAheadThatGoesAwayBeforeItsTurnGivesNothing)
{
    tree.file("gone/inner/deep.pdf");
    tree.file("gone/top.pdf");
    tree.file("kept/a.pdf");
    delegate.onStatus = [&](const QString& status) {
        if (status == "Indexing " + tree.path() + "/..") {
            // Time for the helpers to list both subfolders and the one inside.
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            QDir(tree.path("gone")).removeRecursively();
        }
    };

    EXPECT_EQ(scanAndDescribe(),
        (QStringList {
            "doc a.pdf ~/kept/a.pdf", "fold kept ~/kept", "fold " + QDir(tree.path()).dirName() + " ~/" }));
    for (const QString& status : delegate.statuses())
        EXPECT_FALSE(status.contains("gone")) << status.toStdString();
}

TEST(ListedEntries, HaveTheTypeReadFromTheFileItself)
{
    TemporaryTree tree;
    const bool hasAttributes = makeFolder(tree, 400);
    const QString folder = tree.path("f");
    const FolderListing listing = FileManager::listFolderAtPath(folder);
    ASSERT_TRUE(listing.readable);
    int applications = 0;
    for (const FolderEntry& entry : listing.entries) {
        const QString path = folder + "/" + entry.name;
        const FileManager::ListedFileType type = FileManager::typeOfListedEntry(path, entry);
        ASSERT_EQ(type.code, FileManager::typeCodeAtPath(path, true)) << path.toStdString();
        if (type.code == FileManager::applicationTypeCode)
            ++applications;
        if (entry.name == "editor.desktop") {
            EXPECT_EQ(type.displayName, std::optional<QString>("Text Editor"));
        }
    }
    if (hasAttributes) {
        EXPECT_EQ(applications, 58 + 1 + 5); // coded files, the desktop entry, links to coded files
    }
}
