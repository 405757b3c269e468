// The disk scan of a synthetic tree of about 200,000 entries against find(1) over the same tree
// in the same run, with a warm cache: plain `find TREE` (directory reads only) and
// `find -L TREE -printf '%y\n'` (one stat of every entry), and against plocate's updatedb building a
// fresh database of the same tree (every entry, nothing pruned). The scan uses the shipped document
// types and exclusion lists and writes its index into a temporary home.
// Prints, after the benchmarks, the medians' ratios and the scan's entries per second, and the
// summary rows of the scan against plain find (aim: at most 1.5 times) and updatedb (aim: at most
// as long). For information, the floor under any scan that reads every plain file's type code:
// the listings and those reads alone, on one thread, against find.
// QUORVEL_BENCH_TREE_PARENT chooses where the tree is kept (default: the temporary folder).

#include "MedianReporter.h"
#include "ScanSetUp.h"
#include "SyntheticTree.h"

#include "index/DocumentTypes.h"
#include "index/FileExclusionList.h"
#include "index/FileList.h"
#include "index/FileListDelegate.h"
#include "index/FolderExclusionList.h"
#include "index/SearchLocations.h"
#include "platform/desktop/Bundle.h"
#include "platform/files/FileManager.h"
#include "platform/files/FinderInfo.h"
#include "platform/files/Folders.h"
#include "platform/plist/PropertyList.h"
#include "search/IndexCache.h"
#include "search/IndexFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

using namespace quorvel;

namespace {

struct Tree {
    QString root;
    std::size_t entries = 0;
};

const Tree& tree()
{
    static const Tree made = [] {
        Tree result;
        result.root = bench::syntheticTree(bench::treeParent());
        result.entries = bench::countEntries(result.root);
        return result;
    }();
    return made;
}

void runFind(const QStringList& arguments)
{
    QProcess find;
    find.setStandardOutputFile(QProcess::nullDevice());
    find.start(QStringLiteral("find"), arguments);
    if (!find.waitForFinished(-1) || find.exitCode() != 0)
        std::fprintf(stderr, "find failed\n");
}

void BM_FindPlain(benchmark::State& state)
{
    runFind({ tree().root }); // warms the cache
    for (auto _ : state)
        runFind({ tree().root });
    state.SetItemsProcessed(state.iterations() * qint64(tree().entries));
}

void BM_FindStatEveryEntry(benchmark::State& state)
{
    runFind({ QStringLiteral("-L"), tree().root, QStringLiteral("-printf"), QStringLiteral("%y\n") });
    for (auto _ : state)
        runFind({ QStringLiteral("-L"), tree().root, QStringLiteral("-printf"), QStringLiteral("%y\n") });
    state.SetItemsProcessed(state.iterations() * qint64(tree().entries));
}

// plocate's updatedb, where it is installed ("" where not).
QString updatedbProgram()
{
    const QString found = QStandardPaths::findExecutable(QStringLiteral("updatedb"));
    if (!found.isEmpty())
        return found;
    return QStandardPaths::findExecutable(
        QStringLiteral("updatedb"), { QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin") });
}

// A new database of the whole tree in a private file: the system's prune lists are emptied (the
// temporary folder is pruned by default) and no visibility checks are made. The old database
// is removed first, so that every folder is read as a scan reads it.
bool runUpdatedb(const QString& program, const QString& database)
{
    QFile::remove(database);
    QProcess updatedb;
    updatedb.setStandardOutputFile(QProcess::nullDevice());
    updatedb.start(program,
        { QStringLiteral("-U"), tree().root, QStringLiteral("-o"), database, QStringLiteral("-l"),
            QStringLiteral("0"), QStringLiteral("--prunepaths"), QString(), QStringLiteral("--prunenames"),
            QString(), QStringLiteral("--prunefs"), QString(), QStringLiteral("--prune-bind-mounts"),
            QStringLiteral("no") });
    return updatedb.waitForFinished(-1) && updatedb.exitStatus() == QProcess::NormalExit
        && updatedb.exitCode() == 0;
}

void BM_Updatedb(benchmark::State& state)
{
    const QString program = updatedbProgram();
    QTemporaryDir folder;
    const QString database = folder.filePath(QStringLiteral("tree.db"));
    if (program.isEmpty() || !runUpdatedb(program, database)) { // warms the cache
        state.SkipWithError("updatedb is not installed or failed");
        return;
    }
    for (auto _ : state)
        runUpdatedb(program, database);
    state.SetItemsProcessed(state.iterations() * qint64(tree().entries));
}

// What no scan can do without: the folders' listings and one read of the type code of every
// plain file, on one thread and nothing else (no names decoded, no items). Answers the files read.
long readTypeCodesBelow(int parent, const char* name, const QString& path)
{
    const int descriptor = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* folder = descriptor < 0 ? nullptr : ::fdopendir(descriptor);
    if (!folder)
        return 0;
    long files = 0;
    std::vector<std::string> subfolders;
    while (const dirent* entry = ::readdir(folder)) {
        if (entry->d_name[0] == '.')
            continue;
        if (entry->d_type == DT_DIR)
            subfolders.emplace_back(entry->d_name);
        else if (entry->d_type == DT_REG) {
            benchmark::DoNotOptimize(FinderInfo::inFolder(descriptor, path, entry->d_name));
            ++files;
        }
    }
    for (const std::string& subfolder : subfolders)
        files += readTypeCodesBelow(
            descriptor, subfolder.c_str(), path + '/' + QString::fromStdString(subfolder));
    ::closedir(folder);
    return files;
}

void BM_TypeCodeReadsAlone(benchmark::State& state)
{
    long files = 0;
    for (auto _ : state)
        files = readTypeCodesBelow(AT_FDCWD, QFile::encodeName(tree().root).constData(), tree().root);
    state.counters["files"] = double(files);
}

class CountingDelegate final : public FileListDelegate {
public:
    void updateStatusBar() override { ++statusChanges; }
    void fileListWasRefreshed(const WrittenIndex&) override { ++refreshes; }
    std::atomic<long> statusChanges { 0 };
    std::atomic<long> refreshes { 0 };
};

// The process's peak resident size in kB; resetPeak starts a new peak from the current size.
// A size in kB from /proc/self/status: "VmHWM:" the peak resident size, "VmRSS:" the current one.
long statusKilobytes(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(std::strlen(field)));
    }
    return 0;
}
long peakResidentKilobytes()
{
    return statusKilobytes("VmHWM:");
}
long residentKilobytes()
{
    return statusKilobytes("VmRSS:");
}
void resetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

void BM_Scan(benchmark::State& state)
{
    CountingDelegate delegate;
    bench::ScanSetUp setUp(tree().root + "/", &delegate);
    FileList& fileList = setUp.fileList();

    fileList.redoFileList(); // warms the cache
    fileList.waitUntilScanHasFinished();
    long peakGrowth = 0;
    for (auto _ : state) {
        const long before = residentKilobytes();
        resetPeak();
        fileList.redoFileList();
        fileList.waitUntilScanHasFinished();
        peakGrowth = std::max(peakGrowth, peakResidentKilobytes() - before);
    }
    const std::size_t items = setUp.indexItemCount();
    state.SetItemsProcessed(state.iterations() * qint64(tree().entries));
    state.counters["items"] = double(items);
    state.counters["status_changes"] = double(delegate.statusChanges.load()) / double(state.iterations() + 1);
    state.counters["peak_growth_MB"] = double(peakGrowth) / 1024.0;
    state.counters["peak_bytes_per_item"] = items ? double(peakGrowth) * 1024.0 / double(items) : 0.0;
}

// The walk alone: no list saving, no sorting, no index write.
void BM_WalkOnly(benchmark::State& state)
{
    bench::ScanSetUp setUp(tree().root + "/", nullptr);
    FileList& fileList = setUp.fileList();
    for (auto _ : state) {
        FileList::ItemArray items;
        fileList.searchPathAddToCombinedListRecursive(tree().root + "/", items, true);
        benchmark::DoNotOptimize(items.data());
    }
    state.SetItemsProcessed(state.iterations() * qint64(tree().entries));
}

// The tree's items as the walk finds them with the document types alone (no exclusions).
FileList::ItemArray walkedItems()
{
    DocumentTypes documentTypes;
    FileList fileList;
    fileList.setDocumentTypes(&documentTypes);
    FileList::ItemArray walked;
    fileList.searchPathAddToCombinedListRecursive(tree().root + "/", walked, true);
    return walked;
}

// The two steps after the walk, on the walk's items: the sort, and the index write (with its
// fsync of the file and of the folder); and the making of the index file's bytes alone.
void BM_SortOnly(benchmark::State& state)
{
    const FileList::ItemArray walked = walkedItems();
    for (auto _ : state) {
        state.PauseTiming();
        FileList::ItemArray items = walked;
        std::reverse(items.begin(), items.end());
        state.ResumeTiming();
        FileList::sortAlphabetically(items);
    }
    state.counters["items"] = double(walked.size());
}

void BM_WriteOnly(benchmark::State& state)
{
    QTemporaryDir folder;
    const FileList::ItemArray walked = walkedItems();
    for (auto _ : state)
        IndexFile::write(folder.filePath("index"), walked);
    state.counters["items"] = double(walked.size());
}

// What follows the sort in a scan: the index written with its table and cache as the scanner
// writes them (the table made meanwhile on another thread), and the same steps one after the
// other on one thread.
void BM_WriteWithCache(benchmark::State& state)
{
    QTemporaryDir folder;
    const FileList::ItemArray walked = walkedItems();
    for (auto _ : state)
        benchmark::DoNotOptimize(IndexFile::writeWithCache(folder.filePath("index"), walked));
    state.counters["items"] = double(walked.size());
}

void BM_WriteThenTableOnOneThread(benchmark::State& state)
{
    QTemporaryDir folder;
    const QString path = folder.filePath("index");
    const FileList::ItemArray walked = walkedItems();
    for (auto _ : state) {
        IndexFile::write(path, walked);
        const std::shared_ptr<const LaunchItemTable> table = IndexFile::tableOfItems(walked);
        if (const std::optional<FileIdentity> identity = FileIdentity::ofFile(path))
            IndexCache::write(path, *identity, *table);
    }
    state.counters["items"] = double(walked.size());
}

// The index file's bytes alone, without the write.
void BM_IndexDataOnly(benchmark::State& state)
{
    const FileList::ItemArray walked = walkedItems();
    for (auto _ : state)
        benchmark::DoNotOptimize(IndexFile::data(walked).size());
    state.counters["items"] = double(walked.size());
}

constexpr int repetitions = 5;
BENCHMARK(BM_FindPlain)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(repetitions);
BENCHMARK(BM_FindStatEveryEntry)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(repetitions);
BENCHMARK(BM_Updatedb)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(repetitions);
BENCHMARK(BM_TypeCodeReadsAlone)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(repetitions);
BENCHMARK(BM_Scan)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(repetitions);
BENCHMARK(BM_WalkOnly)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(repetitions);
BENCHMARK(BM_SortOnly)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(repetitions);
BENCHMARK(BM_WriteOnly)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(repetitions);
BENCHMARK(BM_WriteWithCache)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(repetitions);
BENCHMARK(BM_WriteThenTableOnOneThread)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(repetitions);
BENCHMARK(BM_IndexDataOnly)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(repetitions);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    Bundle::setMainBundlePath(QStringLiteral(QUORVEL_BUILD_DIR "/Quorvel Launcher 2.app"));
    benchmark::Initialize(&argc, argv);
    std::printf("tree: %s, %zu entries\n", qPrintable(tree().root), tree().entries);
    bench::MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto& m = reporter.medians;
    if (m.count("BM_Scan") && m.count("BM_FindPlain")) {
        const double scan = m.at("BM_Scan");
        const double find = m.at("BM_FindPlain");
        std::printf("median scan %.1f ms, find %.1f ms\n", scan, find);
        std::printf("scan / find = %.2f, scan: %.0f entries per second\n", scan / find,
            double(tree().entries) / (scan / 1000.0));
        if (m.count("BM_FindStatEveryEntry"))
            std::printf("find -L -printf %.1f ms: scan / find -L = %.2f\n", m.at("BM_FindStatEveryEntry"),
                scan / m.at("BM_FindStatEveryEntry"));
        if (m.count("BM_WriteWithCache") && m.count("BM_WriteThenTableOnOneThread"))
            std::printf("index, table and cache %.1f ms (on one thread %.1f ms)\n", m.at("BM_WriteWithCache"),
                m.at("BM_WriteThenTableOnOneThread"));
        if (m.count("BM_WalkOnly"))
            std::printf(
                "walk alone %.1f ms: walk / find = %.2f\n", m.at("BM_WalkOnly"), m.at("BM_WalkOnly") / find);
        if (m.count("BM_TypeCodeReadsAlone")) {
            // Split over every core at no cost, the reads would still take this share of find's time.
            const double reads = m.at("BM_TypeCodeReadsAlone") / find;
            const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
            std::printf(
                "type-code reads alone %.1f ms (one thread): reads / find = %.2f, over %u cores %.2f\n",
                m.at("BM_TypeCodeReadsAlone"), reads, cores, reads / cores);
            std::printf(
                "ROW\tlistings and type-code reads alone, one thread, vs find TREE (median ratio)\t%.2fx\t"
                "none\t-\n",
                reads);
        }
        // The aim: a scan costs at most half again what listing the tree costs find.
        const double aim = 1.5;
        const double ratio = scan / find;
        const char* met = ratio <= aim ? "yes" : "no";
        std::printf(
            "ROW\tscan of the 200k tree vs find TREE (median ratio)\t%.2fx\t<= %.1fx\t%s\n", ratio, aim, met);
        std::printf("ROW\tscan of the 200k tree (median)\t%.0f ms\t<= %.0f ms (%.1fx find)\t%s\n", scan,
            aim * find, aim, met);
    }
    if (m.count("BM_Scan") && m.count("BM_Updatedb")) {
        const double ratio = m.at("BM_Scan") / m.at("BM_Updatedb");
        std::printf("updatedb -U %.1f ms: scan / updatedb = %.2f\n", m.at("BM_Updatedb"), ratio);
        std::printf("ROW\tscan of the 200k tree vs updatedb -U TREE (median ratio)\t%.2fx\t<= 1.0x\t%s\n",
            ratio, ratio <= 1.0 ? "yes" : "no");
    }
    benchmark::Shutdown();
    return 0;
}
