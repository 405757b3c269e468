// The work of bringing the panel up: reading the settings, a fresh list with the index and
// the history read anew, and filtering with the remembered term - with a 100,000-item index
// and a 10,000-path history, as a heavy user has them.

#include "SyntheticIndex.h"

#include "app/AppController.h"
#include "app/MainInterface.h"
#include "platform/Alert.h"
#include "platform/Bundle.h"
#include "platform/Clock.h"
#include "platform/Folders.h"
#include "platform/ScriptRunner.h"
#include "platform/Task.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"
#include "search/InteractiveCombinedList.h"
#include "search/UsageInformationManager.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>

using namespace quorvel;

namespace {

// Start-up runs the first-launch assistant: its alerts are answered at once, and nothing is
// installed, run or opened.
struct QuietAlert final : Alert {
    Answer run(Style, const QString&, const QString&, const QStringList&) override { return 0; }
};
struct NoTask final : Task {
    int launchAndWait(const QString&, const QStringList&) override { return 0; }
};
struct NoScript final : ScriptRunner {
    bool executeSource(const QString&) override { return true; }
};
struct NoOpening final : Workspace {
    bool openFile(const QString&, QString*) override { return true; }
};

struct SummonSetUp {
    explicit SummonSetUp(const QString& term, int mode)
    {
        std::vector<bench::SyntheticItem> items = bench::syntheticItems(100000);
        // In the scanner's order, as a real index is.
        std::stable_sort(
            items.begin(), items.end(), [](const bench::SyntheticItem& a, const bench::SyntheticItem& b) {
                const int byName = a.name.compare(b.name, Qt::CaseInsensitive);
                return byName != 0 ? byName < 0 : a.path.compare(b.path, Qt::CaseInsensitive) < 0;
            });
        bench::writeIndexFile(_combinedListPath(), items);
        bench::writeHistoryFile(
            _historyPath(), bench::syntheticHistory(items, 10000, 50, Clock::absoluteTime()));
        UserDefaults stored(Bundle::mainBundle().bundleIdentifier());
        stored.setString(QStringLiteral("combinedLastSearchTerm"), term);
        stored.setInteger(QStringLiteral("combinedMatchingMode"), mode);
        stored.synchronize();
        UserDefaults::resetStandardUserDefaults();
        interface = MainInterface::load();
        interface->controller().applicationWillFinishLaunching();
        interface->controller().applicationDidFinishLaunching();
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

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + "/.local/share"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + "/.config"));
    QApplication application(argc, argv);
    Bundle::setMainBundlePath(QStringLiteral(QUORVEL_BUILD_DIR "/Quorvel Launcher 2.app"));
    QuietAlert alert;
    NoTask task;
    NoScript script;
    NoOpening workspace;
    Alert::setSharedAlert(&alert);
    Task::setSharedRunner(&task);
    ScriptRunner::setSharedScriptRunner(&script);
    Workspace::setSharedWorkspace(&workspace);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
