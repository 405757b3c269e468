// Updating the index for changed folders: the result must be, byte for byte, the index a full
// scan of the same disk writes, and wherever the changed folders alone cannot tell that, the
// update must scan every location instead.

#include "index/ScanFixture.h"

#include "support/LogCapture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <condition_variable>

using namespace quorvel;
using quorvel::test::LogCapture;
using quorvel::test::ScanFixture;

namespace {

class Update : public ScanFixture {
protected:
    void SetUp() override
    {
        ScanFixture::SetUp();
        tree.file("Report.pdf");
        tree.file("a/x.pdf");
        tree.file("a/y.txt");
        tree.file("b/deep/z.pdf");
        tree.file("notes.bin");
        tree.desktopEntry("Tools/editor.desktop", "Editor");
    }

    QString root() const { return tree.path() + "/"; }

    QByteArray indexBytes() const
    {
        QFile file(indexPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("no index");
    }

    void update(const std::vector<FileList::FolderChange>& changes)
    {
        ASSERT_TRUE(fileList->updateChangedFolders(changes));
        fileList->waitUntilScanHasFinished();
    }

    // The index after the update, and what a full scan of the same disk writes.
    void expectSameAsFullScan(const QByteArray& updated)
    {
        scan();
        EXPECT_EQ(QString::fromUtf8(updated), QString::fromUtf8(indexBytes()));
    }

    int fullScans() const { return static_cast<int>(delegate.statuses().count("Starting scan...")); }
};

TEST_F(Update, AddedRemovedAndRenamedEntriesGiveWhatAFullScanGives)
{
    scan();
    const QString completion = fileList->statusString();
    LogCapture log;
    tree.file("New Plan.pdf");
    QFile::remove(tree.path("a/x.pdf"));
    QDir().rename(tree.path("b"), tree.path("c")); // a walked folder renamed, with its subtree
    tree.file("d/e/f.txt"); // a new folder with a subtree
    tree.file("a/.hidden.pdf");
    update({ { root(), { "New Plan.pdf", "b", "c", "d" } }, { tree.path("a"), { "x.pdf", ".hidden.pdf" } } });

    EXPECT_EQ(log.linesContaining("Scanning every location").size(), 0)
        << log.lines().join("\n").toStdString();
    EXPECT_EQ(fullScans(), 1);
    EXPECT_EQ(fileList->statusString(), completion) << "an update is no disk scan: the scan's line stands";
    const QByteArray updated = indexBytes();
    EXPECT_TRUE(updated.contains("New Plan.pdf"));
    EXPECT_TRUE(updated.contains("/c/deep/z.pdf"));
    EXPECT_FALSE(updated.contains("/b/deep"));
    EXPECT_FALSE(updated.contains("a/x.pdf"));
    expectSameAsFullScan(updated);

    // A folder that changed, and the same folder again as a changed entry of its parent.
    tree.file("a/z.pdf");
    update({ { tree.path("a"), { "z.pdf" } }, { root(), { "a" } } });
    EXPECT_EQ(indexBytes().count("a/z.pdf"), 1);
    expectSameAsFullScan(indexBytes());
}

TEST_F(Update, NothingChangedWritesNothingAndReportsNoRefresh)
{
    scan();
    const QFileInfo before(indexPath());
    const auto refreshes = [this] {
        const auto reports = delegate.reports();
        return std::count_if(
            reports.begin(), reports.end(), [](const auto& report) { return report.refreshed; });
    };
    const auto refreshedBefore = refreshes();
    tree.file("scratch.bin"); // no document type
    update({ { root(), { "scratch.bin" } } });
    EXPECT_EQ(refreshes(), refreshedBefore);
    EXPECT_EQ(QFileInfo(indexPath()).lastModified(), before.lastModified());
    EXPECT_FALSE(fileList->showProgressIndicator());

    tree.file("Second.pdf");
    update({ { root(), { "Second.pdf" } } });
    EXPECT_EQ(refreshes(), refreshedBefore + 1);
    EXPECT_FALSE(delegate.reports().back().scanning);
}

TEST_F(Update, WhereTheChangedFolderCannotTellTheIndexItScansEverything)
{
    struct Case {
        const char* why;
        std::function<void()> prepare; // after the first scan
        QString changedFolder; // relative
        QString name;
    };
    const std::vector<Case> cases = {
        { "the lists changed", [this] { setFileExclusions({ "*.txt" }); }, "", "Extra.txt" },
        { "the index is not the one the last scan wrote",
            [this] {
                QFile file(indexPath());
                ASSERT_TRUE(file.open(QIODevice::Append));
                file.write(" ");
            },
            "", "Report.pdf" },
        { "overlapping locations",
            [this] {
                setLocations({ location(root()), location(tree.path("a"), false) });
                scan();
            },
            "a", "n.pdf" },
        { "a folder the last scan did not walk",
            [this] {
                setFolderExclusions({ "*/b" });
                scan();
            },
            "b", "n.pdf" },
        { "a folder reached through a link",
            [this] {
                tree.symbolicLink("linked", tree.path("a"));
                scan();
            },
            "a", "n.pdf" },
        { "items the order cannot tell apart",
            [this] {
                tree.file("q/Same.pdf");
                tree.file("q/same.pdf");
                scan();
            },
            "q", "n.pdf" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        setLocations({ location(root()) });
        setFolderExclusions({});
        setFileExclusions({});
        QFile::remove(tree.path("linked"));
        scan();
        c.prepare();
        tree.file(c.changedFolder.isEmpty() ? c.name : c.changedFolder + "/" + c.name);
        LogCapture log;
        const int scansBefore = fullScans();
        const QString folder = c.changedFolder.isEmpty() ? root() : tree.path(c.changedFolder);
        update({ { folder, { c.name } } });
        EXPECT_EQ(log.linesContaining("Scanning every location").size(), 1)
            << log.lines().join("\n").toStdString();
        EXPECT_EQ(fullScans(), scansBefore + 1);
        expectSameAsFullScan(indexBytes());
        QFile::remove(tree.path(c.changedFolder.isEmpty() ? c.name : c.changedFolder + "/" + c.name));
    }
    // A scanner that has written no index in this run knows nothing of the one on disk.
    replaceScanner();
    LogCapture log;
    update({ { root(), { "Report.pdf" } } });
    EXPECT_EQ(log.linesContaining("no scan of this run").size(), 1);
}

TEST_F(Update, OneAtATimeWithScans)
{
    scan();
    // Hold the next scan at its first status until released.
    std::mutex lock;
    std::condition_variable released;
    bool hold = true;
    bool held = false;
    delegate.onStatus = [&](const QString& status) {
        if (status != "Starting scan...")
            return;
        std::unique_lock<std::mutex> guard(lock);
        held = true;
        released.notify_all();
        released.wait(guard, [&] { return !hold; });
    };
    fileList->redoFileList();
    {
        std::unique_lock<std::mutex> guard(lock);
        released.wait(guard, [&] { return held; });
    }
    EXPECT_FALSE(fileList->updateChangedFolders({ { root(), { "Report.pdf" } } }))
        << "an update waits for the scan";
    {
        const std::lock_guard<std::mutex> guard(lock);
        hold = false;
    }
    released.notify_all();
    fileList->waitUntilScanHasFinished();
    delegate.onStatus = nullptr;

    // And a scan requested while an update runs is dropped, as one requested during a scan is.
    const int scansBefore = fullScans();
    tree.file("Later.pdf");
    delegate.onStatus = [&](const QString& status) {
        if (status.startsWith("Indexing"))
            fileList->redoFileList(); // on the scanning thread: the flag is what decides
    };
    update({ { root(), { "Later.pdf" } } });
    delegate.onStatus = nullptr;
    EXPECT_EQ(fullScans(), scansBefore);
    EXPECT_TRUE(indexBytes().contains("Later.pdf"));
}

} // namespace
