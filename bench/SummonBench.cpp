// The work of bringing the panel up: reading the settings, a fresh list with the index and
// the history read anew, and filtering with the remembered term - with a 100,000-item index
// and a 10,000-path history, as a heavy user has them.
//
// After the benchmarks, the summons as a user meets it at 100,000 and 1,000,000 items: the
// first after start, the first after a scan wrote a new index, the first after another
// process replaced it, and repeated ones; the main thread's time of each, as medians, with
// one ROW line per figure.

#include "PanelSetUp.h"

#include "app/AppController.h"
#include "app/MainInterface.h"
#include "index/FileList.h"
#include "platform/core/Clock.h"
#include "platform/desktop/Bundle.h"
#include "platform/files/FileIdentity.h"
#include "platform/files/Folders.h"
#include "platform/settings/UserDefaults.h"
#include "search/IndexFile.h"
#include "search/InteractiveCombinedList.h"
#include "search/UsageInformationManager.h"

#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <ctime>
#include <thread>

using namespace quorvel;

namespace {

std::unique_ptr<MainInterface> startLauncher(bool hidden = false)
{
    std::unique_ptr<MainInterface> interface = MainInterface::load();
    interface->controller().setStartsHidden(hidden);
    interface->controller().applicationWillFinishLaunching();
    interface->controller().applicationDidFinishLaunching();
    return interface;
}

struct SummonSetUp {
    explicit SummonSetUp(const QString& term, int mode, std::size_t count = 100000)
    {
        bench::writeUserFiles(count, term, mode);
        interface = startLauncher();
    }
    std::unique_ptr<MainInterface> interface;
};

void BM_Summon(benchmark::State& state, const char* term, int mode)
{
    SummonSetUp setUp(QString::fromUtf8(term), mode);
    AppController& controller = setUp.interface->controller();
    for (auto _ : state) {
        state.PauseTiming();
        controller.applicationDidResignActive(); // the dismissal before it saves everything
        state.ResumeTiming();
        controller.doDialog();
        benchmark::DoNotOptimize(controller.combinedList()->numberOfMatchingItems());
    }
    state.counters["matches"] = controller.combinedList()->numberOfMatchingItems();
}

// The first summons after a scan wrote a new index: the index is read again.
void BM_SummonAfterScan(benchmark::State& state)
{
    SummonSetUp setUp(QStringLiteral("rep"), 0);
    AppController& controller = setUp.interface->controller();
    const QString index = _combinedListPath();
    for (auto _ : state) {
        state.PauseTiming();
        controller.applicationDidResignActive();
        QFile::remove(index + ".copy");
        QFile::copy(index, index + ".copy");
        QFile::remove(index);
        QFile::rename(index + ".copy", index); // a new file, as the scanner's atomic write makes
        state.ResumeTiming();
        controller.doDialog();
    }
}
BENCHMARK(BM_SummonAfterScan)->Unit(benchmark::kMillisecond);

// What a dismissal costs: the settings, the four lists and the history are written.
void BM_Dismiss(benchmark::State& state)
{
    SummonSetUp setUp(QStringLiteral("mar"), 0);
    AppController& controller = setUp.interface->controller();
    for (auto _ : state)
        controller.saveSettings();
}
BENCHMARK(BM_Dismiss)->Unit(benchmark::kMillisecond);

// The parts of a summons, each alone.
void BM_LoadIndexAndHistory(benchmark::State& state)
{
    SummonSetUp setUp(QStringLiteral("mar"), 0);
    for (auto _ : state) {
        InteractiveCombinedList list;
        list.load();
        benchmark::DoNotOptimize(list.numberOfMatchingItems());
    }
}
BENCHMARK(BM_LoadIndexAndHistory)->Unit(benchmark::kMillisecond);

void BM_ReadSettings(benchmark::State& state)
{
    SummonSetUp setUp(QStringLiteral("mar"), 0);
    for (auto _ : state)
        setUp.interface->controller().readSettings();
}
BENCHMARK(BM_ReadSettings)->Unit(benchmark::kMillisecond);

BENCHMARK_CAPTURE(BM_Summon, prefix_three_letters, "rep", 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Summon, contains_one_letter, "e", 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Summon, empty_term, "", 0)->Unit(benchmark::kMillisecond);

// The summons as the user meets them, timed on the main thread without the benchmark library's
// loop, so that each case gets exactly the state it names; medians of a few runs.

// The aim for every summons.
constexpr double summonsAimMs = 30.0;

double medianOf(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

void printRow(const QString& figure, double milliseconds, double aim = summonsAimMs)
{
    std::printf("ROW\t%s\t%.1f ms\t<= %.0f ms\t%s\n", qPrintable(figure), milliseconds, aim,
        milliseconds <= aim ? "yes" : "no");
    std::fflush(stdout);
}

QString itemCountText(std::size_t count)
{
    return count >= 1000000 ? QStringLiteral("%1M items").arg(count / 1000000)
                            : QStringLiteral("%1k items").arg(count / 1000);
}

double millisecondsOf(const QElapsedTimer& timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// The main thread's own processor time: on a machine shared with other work the wall time of a
// summons also counts the waits for a processor.
double threadCpuMilliseconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// Wall and main-thread processor time of the runs of one figure.
struct Timings {
    std::vector<double> wall;
    std::vector<double> cpu;
};

class Stopwatch final {
public:
    Stopwatch()
        : cpuStart(threadCpuMilliseconds())
    {
        timer.start();
    }
    void stopInto(Timings& timings) const
    {
        timings.wall.push_back(millisecondsOf(timer));
        timings.cpu.push_back(threadCpuMilliseconds() - cpuStart);
    }

private:
    QElapsedTimer timer;
    double cpuStart;
};

void printRow(const QString& figure, const Timings& timings)
{
    printRow(figure, medianOf(timings.wall));
    std::printf("  (main thread's processor time, median: %.1f ms)\n", medianOf(timings.cpu));
}

// A new file in the same place with the same content, as an atomic write by another process
// leaves it: nothing this process read before stands for it.
void replaceWithCopy(const QString& path)
{
    QFile::remove(path + ".copy");
    QFile::copy(path, path + ".copy");
    // QFile::rename never replaces a file; rename(2) does, in one step.
    std::rename(QFile::encodeName(path + ".copy").constData(), QFile::encodeName(path).constData());
}

// Runs the main thread's queued work until the index read in the background (if any) is in the
// panel's list.
void waitForIndex(AppController& controller)
{
    QCoreApplication::processEvents();
    while (controller.isReadingIndex())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QCoreApplication::processEvents();
}

// The summons the hot key makes, and the panel drawn: the queued work of showing it runs too.
void summon(AppController& controller)
{
    controller.callbackWithNotification();
    QCoreApplication::processEvents();
}

// The scanner's end of a scan, on a thread of its own: the index file is written, the table made
// and prepared for searching, and the controller told through the main thread's queue, as
// FileList and ScanReports do it.
void finishScan(AppController& controller, const FileList::ItemArray& items)
{
    std::thread scanner([&controller, &items] {
        IndexFile::write(_combinedListPath(), items);
        std::shared_ptr<const LaunchItemTable> table = IndexFile::tableOfItems(items);
        table->prepareForSearch();
        const WrittenIndex written { std::move(table), FileIdentity::ofFile(_combinedListPath()) };
        QMetaObject::invokeMethod(
            qApp, [&controller, written] { controller.fileListWasRefreshed(written); }, Qt::QueuedConnection);
    });
    scanner.join();
}

// The panel dismissed as the user dismisses it: the application resigns and the panel goes away.
void dismiss(AppController& controller)
{
    controller.applicationDidResignActive();
    controller.hideDialog();
}

// A new process knows nothing of the index: what this one read before is replaced by a one-item
// index, and the index then by a copy of itself, which this process has not read.
void forgetIndex()
{
    const QString index = _combinedListPath();
    QFile::remove(index + ".aside");
    QFile::rename(index, index + ".aside");
    IndexFile::write(index, { LaunchItem { "Other", "doc", "/other" } });
    InteractiveCombinedList().load();
    QFile::copy(index + ".aside", index + ".copy");
    std::rename(QFile::encodeName(index + ".copy").constData(), QFile::encodeName(index).constData());
    QFile::remove(index + ".aside");
}

// From the creation of the controller to the panel shown, with index and history new to the
// process (as after a start); then, apart, until the items are in the list. And the first hot
// key right after a hidden start at login.
void summonsAfterStart(std::size_t count, int runs)
{
    Timings shown;
    Timings filled;
    Timings hiddenFirst;
    Timings baseline; // the same start with a one-item index: what the index adds is the difference
    const QString index = _combinedListPath();
    for (int run = 0; run < runs; ++run) {
        QFile::rename(index, index + ".aside");
        IndexFile::write(index, { LaunchItem { "Other", "doc", "/other" } });
        const Stopwatch small;
        std::unique_ptr<MainInterface> smallStart = startLauncher();
        QCoreApplication::processEvents();
        small.stopInto(baseline);
        waitForIndex(smallStart->controller());
        smallStart->controller().applicationDidResignActive();
        smallStart.reset();
        std::rename(QFile::encodeName(index + ".aside").constData(), QFile::encodeName(index).constData());

        forgetIndex();
        replaceWithCopy(_historyPath());
        const Stopwatch start;
        std::unique_ptr<MainInterface> interface = startLauncher();
        QCoreApplication::processEvents();
        start.stopInto(shown);
        waitForIndex(interface->controller());
        start.stopInto(filled);
        interface->controller().applicationDidResignActive();
        interface.reset();

        forgetIndex();
        replaceWithCopy(_historyPath());
        interface = startLauncher(true);
        const Stopwatch hotKey;
        summon(interface->controller());
        hotKey.stopInto(hiddenFirst);
        waitForIndex(interface->controller());
        interface->controller().applicationDidResignActive();
    }
    const QString items = itemCountText(count);
    printRow(QStringLiteral("start to panel shown, %1 (median)").arg(items), shown);
    printRow(QStringLiteral("first summons after a hidden start, %1 (median)").arg(items), hiddenFirst);
    std::printf("start to items in the list, %s (median, no aim): %.1f ms\n", qPrintable(items),
        medianOf(filled.wall));
    std::printf("  baseline, the same start with a one-item index (median): %.1f ms, main thread's processor "
                "time %.1f ms; start with %s / baseline: %.2f\n",
        medianOf(baseline.wall), medianOf(baseline.cpu), qPrintable(items),
        medianOf(shown.wall) / medianOf(baseline.wall));
}

// The scan's report handled and the panel summoned: what the main thread does between a scan
// writing a new index and the panel being up.
void summonsAfterScan(std::size_t count, const FileList::ItemArray& items, int runs)
{
    std::unique_ptr<MainInterface> interface = startLauncher();
    AppController& controller = interface->controller();
    waitForIndex(controller);
    Timings timings;
    for (int run = 0; run < runs; ++run) {
        dismiss(controller);
        finishScan(controller, items);
        const Stopwatch stopwatch;
        QCoreApplication::processEvents(); // the scanner's report
        summon(controller);
        stopwatch.stopInto(timings);
        waitForIndex(controller);
    }
    dismiss(controller);
    printRow(QStringLiteral("summons after a scan, %1 (median)").arg(itemCountText(count)), timings);
}

// Another process (the command-line scan) replaced the index while the panel was away.
void summonsAfterIndexChangedElsewhere(std::size_t count, int runs)
{
    std::unique_ptr<MainInterface> interface = startLauncher();
    AppController& controller = interface->controller();
    waitForIndex(controller);
    Timings timings;
    Timings swapped;
    for (int run = 0; run < runs; ++run) {
        dismiss(controller);
        replaceWithCopy(_combinedListPath());
        const Stopwatch stopwatch;
        summon(controller);
        stopwatch.stopInto(timings);
        waitForIndex(controller);
        stopwatch.stopInto(swapped);
    }
    dismiss(controller);
    const QString items = itemCountText(count);
    printRow(
        QStringLiteral("summons after another process wrote the index, %1 (median)").arg(items), timings);
    std::printf("  until the new index is in the list, %s (median, no aim): %.1f ms\n", qPrintable(items),
        medianOf(swapped.wall));
}

// Summons after summons with the launcher as it is: the index read, nothing else changed.
Timings repeatedSummons(AppController& controller, int runs)
{
    waitForIndex(controller);
    Timings timings;
    for (int run = 0; run < runs; ++run) {
        dismiss(controller);
        const Stopwatch stopwatch;
        summon(controller);
        stopwatch.stopInto(timings);
    }
    return timings;
}

void summonsRepeated(std::size_t count, int runs)
{
    std::unique_ptr<MainInterface> interface = startLauncher();
    AppController& controller = interface->controller();
    const Timings timings = repeatedSummons(controller, runs);
    dismiss(controller);
    printRow(QStringLiteral("summons repeated, %1 (median)").arg(itemCountText(count)), timings);
}

// The remembered term matches most of the index: the count line counts them all, the table shows
// the first rows.
void summonsWithBroadTerm(std::size_t count, int runs)
{
    UserDefaults stored(Bundle::mainBundle().bundleIdentifier());
    stored.setString(QStringLiteral("combinedLastSearchTerm"), QStringLiteral("e"));
    stored.setInteger(QStringLiteral("combinedMatchingMode"), 1);
    stored.synchronize();
    UserDefaults::resetStandardUserDefaults();
    std::unique_ptr<MainInterface> interface = startLauncher();
    AppController& controller = interface->controller();
    const Timings timings = repeatedSummons(controller, runs);
    std::printf("  %d matches\n", controller.combinedList()->numberOfMatchingItems());
    dismiss(controller);
    printRow(QStringLiteral("summons with a broad remembered term, contains 'e', %1 (median)")
                 .arg(itemCountText(count)),
        timings);
}

void summonsAtEverySize(const std::vector<std::size_t>& counts)
{
    for (const std::size_t count : counts) {
        const int runs = count > 100000 ? 5 : 9;
        const FileList::ItemArray items = bench::writeUserFiles(count, QStringLiteral("rep"), 0);
        // What the main thread no longer waits for.
        QElapsedTimer reading;
        reading.start();
        const std::shared_ptr<const LaunchItemTable> table = IndexFile::read(_combinedListPath());
        const double readMs = millisecondsOf(reading);
        (void)table->nameRanks();
        std::printf("reading the index file of %zu items: %.1f ms, its name order: %.1f ms more\n",
            table->size(), readMs, millisecondsOf(reading) - readMs);
        summonsAfterStart(count, runs);
        summonsAfterScan(count, items, runs);
        summonsAfterIndexChangedElsewhere(count, runs);
        summonsRepeated(count, runs);
        summonsWithBroadTerm(count, runs);
    }
}

} // namespace

int main(int argc, char** argv)
{
    const bench::PanelSetUp setUp(argc, argv);
    // --summons-only skips the benchmark library's cases; --items=N measures the summons at N
    // items only.
    bool summonsOnly = false;
    std::vector<std::size_t> counts = { 100000, 1000000 };
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "--summons-only")
            summonsOnly = true;
        else if (argument.startsWith("--items="))
            counts = { argument.mid(8).toULongLong() };
    }
    if (!summonsOnly) {
        benchmark::Initialize(&argc, argv);
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
    }
    summonsAtEverySize(counts);
    return 0;
}
