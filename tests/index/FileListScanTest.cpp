// A scan as the controller sees it: its reports, one scan at a time, the index file it writes,
// bad input on disk and in the lists, and the main thread working beside it.

#include "index/ScanFixture.h"

#include "platform/core/Clock.h"
#include "platform/files/AtomicFile.h"
#include "platform/files/FileIdentity.h"
#include "platform/plist/PropertyList.h"
#include "search/IndexCache.h"
#include "search/IndexFile.h"
#include "search/WildCardMatcher.h"
#include "support/PythonPlist.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

#include <chrono>
#include <condition_variable>
#include <ctime>
#include <thread>
#include <unistd.h>

using namespace quorvel;
using quorvel::test::ScanFixture;

namespace {

class Scan : public ScanFixture {
protected:
    void TearDown() override
    {
        qunsetenv("TZ");
        tzset();
    }

    // Folders f0..f(n-1) with files of each kind the walk tells apart.
    void makeWideTree(int folders, int filesPerFolder)
    {
        for (int f = 0; f < folders; ++f) {
            for (int i = 0; i < filesPerFolder; ++i)
                tree.file(QString("f%1/doc %2.pdf").arg(f).arg(i));
            tree.file(QString("f%1/notes.bin").arg(f));
        }
    }
};

} // namespace

TEST_F(Scan, ReportsFollowTheScanAndTheRefreshComesBeforeTheCompletionText)
{
    qputenv("TZ", "XYZ-05:30");
    tzset();
    Clock::setFixedTime(
        Clock::absoluteTimeFromDateTime(QDateTime(QDate(2024, 3, 5), QTime(7, 8, 9), Qt::UTC)));
    tree.file("a/x.pdf");
    tree.folder("b");
    EXPECT_EQ(fileList->statusString(), "");
    EXPECT_FALSE(fileList->showProgressIndicator());

    scan();
    const auto reports = delegate.reports();
    ASSERT_EQ(reports.size(), 6u);
    EXPECT_EQ(reports[0].status, "Starting scan...");
    const QString root = tree.path() + "/";
    EXPECT_EQ(reports[1].status, "Indexing " + root + "..");
    QStringList subfolders = { reports[2].status, reports[3].status };
    subfolders.sort();
    EXPECT_EQ(subfolders, (QStringList { "Indexing " + root + "a..", "Indexing " + root + "b.." }));
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(reports[i].scanning) << i;
        EXPECT_FALSE(reports[i].refreshed) << i;
    }
    EXPECT_TRUE(reports[4].refreshed);
    EXPECT_FALSE(reports[4].scanning);
    EXPECT_EQ(reports[5].status, "Last disk scan was completed at 2024-03-05 12:38:09 +0530");
    EXPECT_FALSE(reports[5].scanning);
    EXPECT_EQ(fileList->statusString(), reports[5].status);
}

TEST_F(Scan, ARequestWhileAScanRunsIsDroppedAndALaterOneStartsAFreshScan)
{
    makeWideTree(5, 20);
    fileList->redoFileList();
    fileList->redoFileList();
    fileList->timeUpForRedoingFileList();
    fileList->waitUntilScanHasFinished();
    EXPECT_EQ(delegate.statuses().count("Starting scan..."), 1);

    tree.file("f0/new.pdf");
    const QStringList second = scanAndDescribe();
    EXPECT_EQ(delegate.statuses().count("Starting scan..."), 2);
    EXPECT_TRUE(second.contains("doc new.pdf ~/f0/new.pdf"));
}

TEST_F(Scan, TheIndexIsAPropertyListThatPythonReadsItemForItem)
{
    tree.bundle("Zed & Co <Beta>.app", { { "CFBundleExecutable", "zed" } });
    tree.file("Ünïcode/Straße.pdf");
    tree.file("Ünïcode/a\"quote'.txt");
    setLocations({ location(tree.path() + "/", true) });
    scan();

    const test::PythonPlist::Result python = test::PythonPlist::run(
        "import json\n"
        "items = plistlib.load(open(sys.argv[1], 'rb'))\n"
        "print(json.dumps([[i['name'], i['type'], i['path'], len(i)] for i in items]))\n",
        { indexPath() });
    ASSERT_EQ(python.exitCode, 0) << python.errors;
    const QJsonArray read = QJsonDocument::fromJson(python.output).array();

    const QString t = tree.path();
    const QJsonArray expected = {
        QJsonArray { "a\"quote'.txt", "doc", t + "/Ünïcode/a\"quote'.txt", 3 },
        QJsonArray { QDir(t).dirName(), "fold", t + "/", 3 },
        QJsonArray { "Straße.pdf", "doc", t + "/Ünïcode/Straße.pdf", 3 },
        QJsonArray { "Zed & Co <Beta>", "app", t + "/Zed & Co <Beta>.app", 3 },
        QJsonArray { "Ünïcode", "fold", t + "/Ünïcode", 3 },
    };
    EXPECT_EQ(read, expected);
}

TEST_F(Scan, TheIndexCacheIsWrittenBesideTheIndexAndItsFailureNeverFailsTheScan)
{
    tree.file("Ünïcode/Straße.pdf");
    tree.bundle("Zed.app", { { "CFBundleExecutable", "zed" } });
    setLocations({ location(tree.path() + "/", true) });
    scan();
    const std::shared_ptr<const LaunchItemTable> cached
        = IndexCache::load(indexPath(), *FileIdentity::ofFile(indexPath()));
    ASSERT_NE(cached, nullptr) << "ready for the next reader";
    const std::shared_ptr<const LaunchItemTable> read = IndexFile::readWithoutCache(indexPath());
    EXPECT_EQ(QByteArray(cached->image().toByteArray()), read->image().toByteArray())
        << "the same table as reading the index gives";

    tree.file("new.txt");
    AtomicFile::setFaultInjector([](AtomicFile::Stage stage, const QString& path) {
        return stage == AtomicFile::Stage::Rename && path.endsWith(".cache") ? EIO : 0;
    });
    scan();
    AtomicFile::setFaultInjector({});
    EXPECT_TRUE(fileList->lastScanWroteIndex());
    EXPECT_EQ(IndexCache::load(indexPath(), *FileIdentity::ofFile(indexPath())), nullptr);
    EXPECT_EQ(IndexFile::read(indexPath())->size(), read->size() + 1) << "rebuilt by the reader";
}

TEST_F(Scan, BadInputOnDiskAndInTheListsNeverStopsTheScan)
{
    tree.file("Garbled.app/Contents/Info.plist", "<?xml version=\"1.0\"?><plist><dict><key>");
    tree.file("Odd.prefPane/Contents/Info.plist", "\x00\x01\x02 not a plist");
    tree.file("junk.desktop", QByteArray("[Desktop Entry]\nType=Application\n\x01\x02garbage\n===\n[[[\n"));
    tree.file("doomed/inside.pdf");
    tree.file("doomed.pdf");
    tree.file("kept.pdf");
    tree.file("locked/secret.pdf");
    const bool canLock = ::geteuid() != 0;
    if (canLock)
        QFile::setPermissions(tree.path("locked"), QFileDevice::Permissions());
    // Entries that vanish between the listing and their turn.
    delegate.onStatus = [&](const QString& status) {
        if (status == "Indexing " + tree.path() + "/..") {
            QDir(tree.path("doomed")).removeRecursively();
            QFile::remove(tree.path("doomed.pdf"));
        }
    };
    setLocations({ 42, "a string", QVariantMap { { "path", 5 }, { "enabled", true } },
        QVariantMap { { "path", tree.path() + "/" }, { "enabled", "YES" }, { "includeSubFolders", 1 } } });
    {
        const std::lock_guard<std::mutex> guard(documentTypes->lock());
        documentTypes->contents() = { "x", QVariantMap { { "enabled", true }, { "fileExtension", 3 } },
            QVariantMap {
                { "enabled", true }, { "identificationMode", "junk" }, { "fileExtension", "pdf" } } };
    }
    {
        const std::lock_guard<std::mutex> guard(folderExclusions->lock());
        folderExclusions->contents() = { 7, QVariantMap { { "enabled", true }, { "expression", 5 } } };
    }

    QStringList expected = { "doc doomed.pdf ~/doomed.pdf", "app Garbled ~/Garbled.app",
        "doc kept.pdf ~/kept.pdf", "fold locked ~/locked", "pref Odd ~/Odd.prefPane",
        "fold " + QDir(tree.path()).dirName() + " ~/" };
    if (!canLock)
        expected.append("doc secret.pdf ~/locked/secret.pdf");
    EXPECT_EQ(scanAndDescribe(), expected);
    QFile::setPermissions(
        tree.path("locked"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_TRUE(delegate.statuses().last().startsWith("Last disk scan was completed at "));
}

TEST_F(Scan, TheMainThreadMayEditTheListsAndSearchWhileAScanRuns)
{
    makeWideTree(40, 60);
    fileList->redoFileList();
    int rounds = 0;
    while (fileList->showProgressIndicator() || rounds < 10) {
        const QString pattern = QString("*/never-%1").arg(rounds % 13);
        {
            const std::lock_guard<std::mutex> guard(folderExclusions->lock());
            QVariantList& entries = folderExclusions->contents();
            entries.append(QVariantMap { { "enabled", true }, { "expression", pattern } });
            if (entries.size() > 3)
                entries.removeFirst();
        }
        {
            const std::lock_guard<std::mutex> guard(fileExclusions->lock());
            QVariantMap entry { { "enabled", rounds % 2 == 0 }, { "expression", "*.none" } };
            fileExclusions->contents() = { entry };
        }
        {
            const std::lock_guard<std::mutex> guard(documentTypes->lock());
            QVariantMap first = documentTypes->contents().first().toMap();
            first["comment"] = rounds;
            documentTypes->contents()[0] = first;
        }
        {
            const std::lock_guard<std::mutex> guard(locations->lock());
            QVariantMap first = locations->contents().first().toMap();
            first["comment"] = rounds;
            locations->contents()[0] = first;
        }
        locations->save();
        EXPECT_FALSE(WildCardMatcher::stringMatches("DOC 1.PDF", QString("*never-%1").arg(rounds)));
        EXPECT_TRUE(WildCardMatcher::stringMatches("DOC 1.PDF", "DOC*"));
        fileList->statusString();
        ++rounds;
    }
    fileList->waitUntilScanHasFinished();

    const QStringList items = describe(PropertyList::readArrayFile(indexPath()).value_or(QVariantList()));
    EXPECT_EQ(items.filter(QRegularExpression("^doc ")).size(), 40 * 60);
    EXPECT_EQ(items.size(), 40 * 60 + 40 + 1);
}

TEST_F(Scan, DestroyingTheScannerStopsARunningScanWithoutWritingOrReportingMore)
{
    makeWideTree(30, 2);
    std::mutex lock;
    std::condition_variable reported;
    int indexing = 0; // guarded by lock
    delegate.onStatus = [&](const QString& status) {
        if (status.startsWith("Indexing ")) {
            {
                const std::lock_guard<std::mutex> guard(lock);
                ++indexing;
            }
            reported.notify_all();
            // Slows the scan, so that it is still running when the scanner goes.
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    };
    fileList->redoFileList();
    {
        std::unique_lock<std::mutex> guard(lock);
        reported.wait(guard, [&] { return indexing >= 2; });
    }
    fileList.reset();
    const std::size_t reportsAtDestruction = delegate.reports().size();

    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(delegate.reports().size(), reportsAtDestruction);
    EXPECT_LT(indexing, 31);
    EXPECT_FALSE(QFile::exists(indexPath()));
    for (const auto& report : delegate.reports())
        EXPECT_FALSE(report.refreshed);
}
