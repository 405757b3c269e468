// The work of bringing the panel up: reading the settings, a fresh list with the index and
// the history read anew, and filtering with the remembered term - with a 100,000-item index
// and a 10,000-path history, as a heavy user has them.

#include "SyntheticIndex.h"

#include "app/AppController.h"
#include "app/MainInterface.h"
#include "platform/Bundle.h"
#include "platform/Clock.h"
#include "platform/Folders.h"
#include "platform/UserDefaults.h"
#include "search/InteractiveCombinedList.h"
#include "search/UsageInformationManager.h"

#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace quorvel;

namespace {

struct SummonSetUp {
    explicit SummonSetUp(const QString& term, int mode)
    {
        const std::vector<bench::SyntheticItem> items = bench::syntheticItems(100000);
        bench::writeIndexFile(_combinedListPath(), items);
        bench::writeHistoryFile(_historyPath(), bench::syntheticHistory(items, 10000, 50, Clock::absoluteTime()));
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
        controller.applicationDidResignActive();
        controller.doDialog();
        benchmark::DoNotOptimize(controller.combinedList()->numberOfMatchingItems());
    }
    state.counters["matches"] = controller.combinedList()->numberOfMatchingItems();
}

BENCHMARK_CAPTURE(BM_Summon, prefix_three_letters, "mar", 0)->Unit(benchmark::kMillisecond);
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
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
