// The watcher over real folders: what it watches, the quiet period that makes a burst of changes
// one update, changes seen while a scan runs, folders that come with a new index (which the
// scanner tells the watcher of, no controller between them), and the limit on watches.

#include "index/IndexWatcher.h"
#include "index/ScanFixture.h"

#include "platform/files/FileManager.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace quorvel;
using quorvel::test::ScanFixture;

namespace {

class Watching : public ScanFixture {
protected:
    void SetUp() override
    {
        ScanFixture::SetUp();
        tree.file("Documents/Plan.pdf");
        tree.folder("Documents/Projects/Old");
        tree.desktopEntry("applications/editor.desktop", "Editor");
        tree.folder("applications/Office/Sheets");
        tree.folder("applications/.cache");
        tree.folder("applications/Tool.app/Contents");
        setLocations({ location(tree.path("Documents") + "/"), location(tree.path("applications") + "/") });
        scan();
        watcher = std::make_unique<IndexWatcher>(*fileList, *locations);
        watcher->setQuietPeriod(150, 2000);
        watcher->watchLocations();
    }

    void TearDown() override
    {
        watcher.reset();
        fileList->waitUntilScanHasFinished();
    }

    int refreshes() const
    {
        const auto reports = delegate.reports();
        return static_cast<int>(std::count_if(
            reports.begin(), reports.end(), [](const auto& report) { return report.refreshed; }));
    }

    // Waits until the watcher has handed everything over and the scanner is done with it.
    bool settled(int timeout = 5000)
    {
        return QTest::qWaitFor(
            [this] { return !watcher->hasPendingChanges() && !fileList->showProgressIndicator(); }, timeout);
    }

    bool indexHas(const QString& text) const
    {
        QFile file(indexPath());
        return file.open(QIODevice::ReadOnly) && file.readAll().contains(text.toUtf8());
    }

    std::unique_ptr<IndexWatcher> watcher;
};

TEST_F(Watching, ApplicationFoldersWithTheirSubfoldersAndTheTopOfDocumentFolders)
{
    const QStringList watched = watcher->watchedFolders();
    EXPECT_EQ(watched,
        QStringList({ tree.path("applications") + "/", tree.path("Documents") + "/",
            tree.path("applications/Office"), tree.path("applications/Office/Sheets") }));
}

TEST_F(Watching, ABurstOfChangesIsOneUpdate)
{
    const int before = refreshes();
    for (int i = 0; i < 20; ++i)
        tree.file(QString("Documents/Burst %1.pdf").arg(i));
    QFile::remove(tree.path("Documents/Plan.pdf"));
    // Still settling: the quiet period is not over before the burst has ended.
    ASSERT_TRUE(QTest::qWaitFor([this] { return indexHas("Burst 19.pdf"); }, 5000));
    ASSERT_TRUE(settled());
    QTest::qWait(400); // a second update would have come within this
    EXPECT_EQ(refreshes(), before + 1);
    EXPECT_FALSE(indexHas("Plan.pdf"));
    EXPECT_EQ(delegate.statuses().count("Starting scan..."), 1) << "the folder alone was read";

    // A desktop entry written in place (created empty, then filled) is indexed under its name.
    QFile entry(tree.path("applications/Office/sheets.desktop"));
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.flush();
    ASSERT_TRUE(QTest::qWaitFor([this] { return watcher->hasPendingChanges(); }, 5000));
    entry.write("[Desktop Entry]\nType=Application\nName=Spreadsheet Pro\nExec=/bin/true\n");
    entry.close();
    EXPECT_TRUE(QTest::qWaitFor([this] { return indexHas("Spreadsheet Pro"); }, 5000));
}

TEST_F(Watching, AChangeSeenDuringAScanIsTakenUpAfterIt)
{
    std::mutex lock;
    std::condition_variable released;
    bool hold = true;
    delegate.onStatus = [&](const QString& status) {
        if (status != "Starting scan...")
            return;
        std::unique_lock<std::mutex> guard(lock);
        released.wait(guard, [&] { return !hold; });
    };
    fileList->redoFileList();
    tree.file("Documents/During.pdf");
    // The quiet period ends while the scan is held: the change waits for the scan.
    ASSERT_TRUE(QTest::qWaitFor([this] { return watcher->waitsForScanner(); }, 5000));
    EXPECT_TRUE(watcher->hasPendingChanges());
    {
        const std::lock_guard<std::mutex> guard(lock);
        hold = false;
    }
    released.notify_all();
    EXPECT_TRUE(QTest::qWaitFor([this] { return indexHas("During.pdf"); }, 5000));
    EXPECT_TRUE(settled());
    fileList->waitUntilScanHasFinished(); // its last report reads onStatus
    delegate.onStatus = nullptr;
}

TEST_F(Watching, FoldersThatComeWithANewIndexAreWatchedWithNobodyElseAsking)
{
    const auto watches = [this](const QString& folder) {
        return QTest::qWaitFor([&] { return watcher->watchedFolders().contains(folder); }, 5000);
    };
    // A new subfolder of an application folder: the update that indexes it has it watched.
    tree.folder("applications/Games");
    EXPECT_TRUE(watches(tree.path("applications/Games")));

    // A location added for the next scan: watched once that scan has written its index.
    tree.file("Music/Song.pdf");
    setLocations({ location(tree.path("Documents") + "/"), location(tree.path("applications") + "/"),
        location(tree.path("Music") + "/") });
    EXPECT_FALSE(watcher->watchedFolders().contains(tree.path("Music") + "/"));
    fileList->redoFileList();
    EXPECT_TRUE(watches(tree.path("Music") + "/"));
    EXPECT_TRUE(indexHas("Song.pdf"));
    EXPECT_TRUE(settled());
}

TEST_F(Watching, ALocationFolderThatGoesMeansAFullScan)
{
    const int scans = static_cast<int>(delegate.statuses().count("Starting scan..."));
    ASSERT_TRUE(QDir(tree.path("Documents")).removeRecursively());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return delegate.statuses().count("Starting scan...") == scans + 1 && !watcher->hasPendingChanges()
                && !fileList->showProgressIndicator();
        },
        5000));
    EXPECT_FALSE(indexHas("Plan.pdf"));
}

TEST_F(Watching, ALocationFolderMadeLaterIsWatchedAndItsEntriesIndexed)
{
    // A fresh account: neither the applications folder nor the hidden folders above it exist.
    const QString missing = tree.path("home/.local/share/applications") + "/";
    tree.folder("home");
    setLocations({ location(tree.path("Documents") + "/"), location(missing) });
    fileList->redoFileList();
    ASSERT_TRUE(QTest::qWaitFor([&] { return watcher->watchedFolders().contains(tree.path("home")); }, 5000))
        << "its nearest existing parent is watched";
    ASSERT_TRUE(settled());

    ASSERT_TRUE(QDir().mkpath(missing));
    tree.desktopEntry("home/.local/share/applications/late.desktop", "Late Arrival");
    EXPECT_TRUE(QTest::qWaitFor([this] { return indexHas("Late Arrival"); }, 5000));
    EXPECT_TRUE(watcher->watchedFolders().contains(missing));
    EXPECT_FALSE(watcher->watchedFolders().contains(tree.path("home")));
    ASSERT_TRUE(settled());

    // From now on watched like any location folder.
    tree.desktopEntry("home/.local/share/applications/later.desktop", "Later Still");
    EXPECT_TRUE(QTest::qWaitFor([this] { return indexHas("Later Still"); }, 5000));
    EXPECT_TRUE(settled());
}

TEST_F(Watching, NoMoreWatchesThanAllowedAndLocationFoldersFirst)
{
    watcher->setMaximumWatches(2);
    watcher->watchLocations();
    EXPECT_EQ(watcher->watchedFolders(),
        QStringList({ tree.path("applications") + "/", tree.path("Documents") + "/" }));
    // More watches than the system allows would be refused: the budget stays below its limit.
    watcher->setMaximumWatches(std::numeric_limits<std::size_t>::max());
    watcher->watchLocations();
    EXPECT_EQ(watcher->watchedFolders().size(), 4);
    EXPECT_LE(std::size_t(watcher->watchedFolders().size()), FolderWatcher::systemWatchLimit());
}

} // namespace
