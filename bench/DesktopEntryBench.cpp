// Scanning an applications folder of 5,000 to 50,000 desktop entries, inside an XDG applications
// folder (where GIO's loading by file name looks through the whole folder for every entry). The
// scan should grow with the number of entries: 50,000 in at most 10 times the time of 5,000.
// For comparison, the same entries loaded one by one with g_desktop_app_info_new_from_filename,
// the way entries were read before.

#include "MedianReporter.h"
#include "ScanSetUp.h"

#include "index/FileList.h"
#include "platform/desktop/Bundle.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <gio/gdesktopappinfo.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

using namespace quorvel;

namespace {

// $XDG_DATA_HOME/applications with count entries; one in ten NoDisplay, one in ten OnlyShowIn.
struct EntryFolder {
    explicit EntryFolder(int count)
    {
        qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome.path()));
        folder = dataHome.filePath("applications/");
        QDir().mkpath(folder);
        for (int i = 0; i < count; ++i) {
            QFile file(folder + QString("tool-%1.desktop").arg(i));
            file.open(QIODevice::WriteOnly);
            QByteArray text = "[Desktop Entry]\nType=Application\nName=Tool " + QByteArray::number(i)
                + "\nName[de]=Werkzeug " + QByteArray::number(i) + "\nExec=/bin/true %U\nIcon=tool\n";
            if (i % 10 == 3)
                text += "NoDisplay=true\n";
            if (i % 10 == 7)
                text += "OnlyShowIn=GNOME;KDE;\n";
            file.write(text);
        }
    }
    QTemporaryDir dataHome;
    QString folder;
};

void BM_ScanDesktopEntries(benchmark::State& state)
{
    const EntryFolder entries(int(state.range(0)));
    bench::ScanSetUp setUp(entries.folder, nullptr);
    for (auto _ : state) {
        setUp.fileList().redoFileList();
        setUp.fileList().waitUntilScanHasFinished();
    }
    state.counters["items"] = double(setUp.indexItemCount());
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The walk alone, without the index write (whose fsync waits on the disk, not on the entries).
void BM_WalkDesktopEntries(benchmark::State& state)
{
    const EntryFolder entries(int(state.range(0)));
    bench::ScanSetUp setUp(entries.folder, nullptr);
    for (auto _ : state) {
        FileList::ItemArray items;
        setUp.fileList().searchPathAddToCombinedListRecursive(entries.folder, items, true);
        benchmark::DoNotOptimize(items.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_GioLoadByFileName(benchmark::State& state)
{
    const EntryFolder entries(int(state.range(0)));
    for (auto _ : state) {
        for (int i = 0; i < state.range(0); ++i) {
            const QByteArray path = QFile::encodeName(entries.folder + QString("tool-%1.desktop").arg(i));
            if (GDesktopAppInfo* info = g_desktop_app_info_new_from_filename(path.constData()))
                g_object_unref(info);
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_ScanDesktopEntries)
    ->Arg(5000)
    ->Arg(10000)
    ->Arg(20000)
    ->Arg(50000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3);
BENCHMARK(BM_WalkDesktopEntries)
    ->Arg(5000)
    ->Arg(10000)
    ->Arg(20000)
    ->Arg(50000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3);
BENCHMARK(BM_GioLoadByFileName)
    ->Arg(5000)
    ->Arg(10000)
    ->Arg(20000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(1);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    Bundle::setMainBundlePath(QStringLiteral(QUORVEL_BUILD_DIR "/Quorvel Launcher 2.app"));
    benchmark::Initialize(&argc, argv);
    bench::MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto& m = reporter.medians;
    for (const char* part : { "Scan", "Walk" }) {
        const std::string small = std::string("BM_") + part + "DesktopEntries/5000";
        const std::string large = std::string("BM_") + part + "DesktopEntries/50000";
        if (!m.count(small) || !m.count(large))
            continue;
        const double ratio = m.at(large) / m.at(small);
        std::printf(
            "ROW\t50,000 desktop entries vs 5,000 (%s, median)\t%.1fx (%.0f ms vs %.0f ms)\t<= 10x\t%s\n",
            part, ratio, m.at(large), m.at(small), ratio <= 10.0 ? "yes" : "no");
    }
    benchmark::Shutdown();
    return 0;
}
