// Live index updates: the cost of one watched change with an index of about 100,000 items (from
// the file's creation to the new index written, the quiet period included, and the update alone
// without it), and what the watcher holds with 10,000 watched folders: heap memory, the kernel's
// inotify marks where /proc/slabinfo can be read, and file descriptors.
// QUORVEL_BENCH_TREE_PARENT chooses where the tree is kept (default: the temporary folder).

#include "ScanSetUp.h"
#include "SyntheticTree.h"

#include "index/DocumentTypes.h"
#include "index/FileExclusionList.h"
#include "index/FileList.h"
#include "index/FileListDelegate.h"
#include "index/FolderExclusionList.h"
#include "index/IndexWatcher.h"
#include "index/SearchLocations.h"
#include "platform/core/Log.h"
#include "platform/desktop/Bundle.h"
#include "platform/files/Folders.h"
#include "platform/plist/PropertyList.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <malloc.h>
#include <sstream>
#include <string>
#include <vector>

using namespace quorvel;
using Clock = std::chrono::steady_clock;

namespace {

std::atomic<int> fullScansLogged { 0 };

class TimingDelegate final : public FileListDelegate {
public:
    void updateStatusBar() override { }
    void fileListWasRefreshed(const WrittenIndex&) override
    {
        lastRefresh.store(Clock::now().time_since_epoch().count());
        refreshes.fetch_add(1);
        // Wakes the main thread's wait, which must not spin: it would take a core from the update.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [] {}, Qt::QueuedConnection);
    }
    std::atomic<Clock::rep> lastRefresh { 0 };
    std::atomic<int> refreshes { 0 };
};

bool waitForRefresh(const TimingDelegate& delegate, int count)
{
    QElapsedTimer waited;
    waited.start();
    while (delegate.refreshes.load() < count) {
        if (waited.elapsed() > 20000)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

double millisecondsSince(Clock::time_point start, Clock::rep end)
{
    return std::chrono::duration<double, std::milli>(Clock::time_point(Clock::duration(end)) - start).count();
}

void row(const char* figure, const QString& measured, const char* aim, bool met)
{
    std::printf("ROW\t%s\t%s\t%s\t%s\n", figure, qPrintable(measured), aim, met ? "yes" : "no");
}

void touch(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

void benchmarkOneChange()
{
    bench::SyntheticTreeShape shape;
    shape.documentFolders = 145; // about 100,000 items
    const QString root = bench::syntheticTree(bench::treeParent(), shape) + "/Documents";

    TimingDelegate delegate;
    bench::ScanSetUp setUp(root + "/", &delegate);
    FileList& fileList = setUp.fileList();
    // The baseline: a full scan of the same location (the first one warms the cache).
    std::vector<double> fullScans;
    for (int run = 0; run < 4; ++run) {
        const Clock::time_point start = Clock::now();
        fileList.redoFileList();
        fileList.waitUntilScanHasFinished();
        if (run > 0)
            fullScans.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    const std::size_t items = setUp.indexItemCount();

    constexpr int runs = 9;
    std::vector<double> eventToWritten;
    std::vector<double> updateAlone;
    const QString changed = root + "/Bench Change.pdf";
    // Odd runs take away what even runs added, so the index keeps its size.
    const auto change = [&changed](int run) {
        if (run % 2 == 0)
            touch(changed);
        else
            QFile::remove(changed);
    };
    {
        IndexWatcher watcher(fileList, setUp.searchLocations());
        watcher.watchLocations();
        for (int run = 0; run < 2 * runs; ++run) {
            const int before = delegate.refreshes.load();
            const Clock::time_point start = Clock::now();
            change(run);
            if (!waitForRefresh(delegate, before + 1)) {
                std::fprintf(stderr, "no update after a change\n");
                return;
            }
            eventToWritten.push_back(millisecondsSince(start, delegate.lastRefresh.load()));
        }
        fileList.waitUntilScanHasFinished();
    }
    // The update alone, handed to the scanner directly.
    for (int run = 0; run < 2 * runs; ++run) {
        const int before = delegate.refreshes.load();
        const Clock::time_point start = Clock::now();
        change(run);
        fileList.updateChangedFolders({ { root + "/", { "Bench Change.pdf" } } });
        fileList.waitUntilScanHasFinished();
        if (delegate.refreshes.load() == before + 1)
            updateAlone.push_back(millisecondsSince(start, delegate.lastRefresh.load()));
    }
    const double measured = median(eventToWritten);
    std::printf("index: %zu items; event to index written, median of %zu: %.1f ms (quiet period 300 ms "
                "included); the update alone, median of %zu: %.1f ms; full scans instead: %d\n",
        items, eventToWritten.size(), measured, updateAlone.size(), median(updateAlone),
        fullScansLogged.load());
    std::printf("full scan of the same location, median of %zu: %.1f ms; watched change / full scan = %.2f\n",
        fullScans.size(), median(fullScans), measured / median(fullScans));
    row("one watched change, 100k-item index (event to index written, median)",
        QString::number(measured, 'f', 1) + " ms", "<= 1000 ms",
        measured <= 1000 && fullScansLogged.load() == 0);
}

std::size_t openDescriptors()
{
    return std::size_t(
        QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::System).size());
}

// The kernel's memory for inotify marks, in bytes (nullopt where slabinfo cannot be read).
std::optional<long> inotifyMarkBytes()
{
    std::ifstream slabs("/proc/slabinfo");
    std::string line;
    while (std::getline(slabs, line)) {
        if (line.rfind("inotify_inode_mark ", 0) != 0)
            continue;
        std::istringstream fields(line);
        std::string name;
        long active = 0, total = 0, size = 0;
        fields >> name >> active >> total >> size;
        return active * size;
    }
    return std::nullopt;
}

void benchmarkTenThousandFolders()
{
    QTemporaryDir folder;
    const QString applications = folder.path() + "/applications";
    for (int a = 0; a < 100; ++a) {
        for (int b = 0; b < 100; ++b)
            QDir().mkpath(QString("%1/suite %2/part %3").arg(applications).arg(a).arg(b));
    }
    SearchLocations locations;
    bench::searchOnly(locations, applications + "/");
    FileList fileList;
    const std::size_t descriptorsBefore = openDescriptors();
    const std::optional<long> marksBefore = inotifyMarkBytes();
    const std::size_t heapBefore = mallinfo2().uordblks;
    auto watcher = std::make_unique<IndexWatcher>(fileList, locations);
    watcher->setMaximumWatches(10000);
    watcher->watchLocations();
    const double heapMB = double(mallinfo2().uordblks - heapBefore) / (1024.0 * 1024.0);
    const std::size_t descriptors = openDescriptors() - descriptorsBefore;
    const std::optional<long> marksAfter = inotifyMarkBytes();
    const std::size_t watched = std::size_t(watcher->watchedFolders().size());
    std::printf("watched %zu folders: heap %.2f MB, descriptors %zu", watched, heapMB, descriptors);
    if (marksBefore && marksAfter)
        std::printf(", kernel inotify marks %.2f MB", double(*marksAfter - *marksBefore) / (1024.0 * 1024.0));
    std::printf("\n");
    row("watcher memory, 10,000 folders", QString::number(heapMB, 'f', 2) + " MB heap", "<= 4 MB",
        watched == 10000 && heapMB <= 4.0);
    row("watcher descriptors, 10,000 folders", QString::number(descriptors), "1",
        watched == 10000 && descriptors == 1);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    Bundle::setMainBundlePath(QStringLiteral(QUORVEL_BUILD_DIR "/Quorvel Launcher 2.app"));
    Log::setSink([](const QString& line) {
        if (line.startsWith(QLatin1String("Scanning every location")))
            fullScansLogged.fetch_add(1);
        std::fprintf(stderr, "%s\n", qPrintable(line));
    });
    benchmarkOneChange();
    benchmarkTenThousandFolders();
    return 0;
}
