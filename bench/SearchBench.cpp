// Filtering and ranking on synthetic indexes of 10k, 100k and 1M items, with an empty history
// and with 10,000 launched paths of 50 launches each: setFilterWithMode (matching and sort) per
// mode, for the one-letter term with the most matches in that mode and for three-letter terms;
// loading; the memory a loaded index takes.
//
// With --write-fixture=HOME --items=N [--history], writes an index (and history) into HOME's
// Preferences folder and the bare names into HOME/names.txt, for the whole-process comparison
// (scripts/bench-query), and exits. With --measure-load=HOME, loads HOME's index in a fresh
// process and prints the memory it added; with --breakdown also what each step added.

#include "SyntheticIndex.h"

#include "platform/core/Clock.h"
#include "platform/files/Folders.h"
#include "search/IndexFile.h"
#include "search/InteractiveCombinedList.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <malloc.h>
#include <map>
#include <memory>

using namespace quorvel;

namespace {

const char* const modeNames[] = { "prefix", "contains", "word", "wildcard" };
const QStringList threeLetterTerms = { "rep", "not" };

// The index as the scanner leaves it: sorted by name ignoring case, then by path.
std::vector<bench::SyntheticItem> scannedItems(std::size_t count)
{
    std::vector<bench::SyntheticItem> items = bench::syntheticItems(count);
    std::sort(items.begin(), items.end(), [](const bench::SyntheticItem& a, const bench::SyntheticItem& b) {
        const int byName = a.name.compare(b.name, Qt::CaseInsensitive);
        return byName != 0 ? byName < 0 : a.path.compare(b.path, Qt::CaseInsensitive) < 0;
    });
    return items;
}

void writeFixture(std::size_t count, bool history)
{
    const std::vector<bench::SyntheticItem> items = scannedItems(count);
    bench::writeIndexFile(_combinedListPath(), items);
    QFile::remove(_historyPath());
    if (history)
        bench::writeHistoryFile(
            _historyPath(), bench::syntheticHistory(items, 10000, 50, Clock::absoluteTime()));
}

std::size_t residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? static_cast<std::size_t>(fields[1].toULongLong()) * 4096 : 0;
}

struct Fixture {
    std::unique_ptr<InteractiveCombinedList> list;
    std::size_t residentGrowth = 0;
};

// One loaded list per size and history, kept for all benchmarks.
InteractiveCombinedList& listFor(std::size_t count, bool history, std::size_t* residentGrowth = nullptr)
{
    static std::map<std::pair<std::size_t, bool>, Fixture> fixtures;
    Fixture& fixture = fixtures[{ count, history }];
    if (!fixture.list) {
        writeFixture(count, history);
        const std::size_t before = residentBytes();
        fixture.list = std::make_unique<InteractiveCombinedList>();
        fixture.list->load();
        fixture.residentGrowth = residentBytes() - before;
        fixture.list->setFilterWithMode(QStringLiteral("a"), 1); // works out the name order once
    }
    if (residentGrowth)
        *residentGrowth = fixture.residentGrowth;
    return *fixture.list;
}

// The letter with the most matches in a mode, on the largest index.
QString worstLetter(int mode)
{
    InteractiveCombinedList& list = listFor(1000000, false);
    QString worst;
    int most = -1;
    for (char16_t letter = u'a'; letter <= u'z'; ++letter) {
        list.setFilterWithMode(QString(QChar(letter)), mode);
        if (list.numberOfMatchingItems() > most) {
            most = list.numberOfMatchingItems();
            worst = QString(QChar(letter));
        }
    }
    return worst;
}

void filter(benchmark::State& state, QString term)
{
    const auto count = static_cast<std::size_t>(state.range(0));
    const bool history = state.range(1) != 0;
    const int mode = static_cast<int>(state.range(2));
    InteractiveCombinedList& list = listFor(count, history);
    for (auto _ : state) {
        list.setFilterWithMode(term, mode);
        benchmark::DoNotOptimize(list.numberOfMatchingItems());
    }
    state.counters["matches"] = list.numberOfMatchingItems();
    state.SetLabel(QStringLiteral("%1 '%2'").arg(modeNames[mode], term).toStdString());
}

void loadIndex(benchmark::State& state)
{
    const auto count = static_cast<std::size_t>(state.range(0));
    std::size_t growth = 0;
    const InteractiveCombinedList& loaded = listFor(count, true, &growth);
    writeFixture(count, true);
    for (auto _ : state) {
        InteractiveCombinedList list;
        list.load();
        benchmark::DoNotOptimize(list.items().size());
    }
    state.counters["table_bytes_per_item"] = double(loaded.items().memoryBytes()) / double(count);
    state.counters["rss_bytes_per_item"] = double(growth) / double(count);
}

void registerAll()
{
    const std::vector<std::int64_t> sizes = { 10000, 100000, 1000000 };
    for (int mode = 0; mode < 4; ++mode) {
        const QString letter = worstLetter(mode);
        const std::vector<QString> terms = { letter, threeLetterTerms[0], threeLetterTerms[1] };
        for (const QString& term : terms) {
            const std::string name = QStringLiteral("Filter/%1/%2").arg(modeNames[mode], term).toStdString();
            auto* b = benchmark::RegisterBenchmark(name.c_str(), filter, term);
            for (std::int64_t size : sizes)
                for (std::int64_t history : { 0, 1 })
                    b->Args({ size, history, mode });
            b->Unit(benchmark::kMillisecond);
        }
    }
    benchmark::RegisterBenchmark("Load", loadIndex)
        ->Arg(10000)
        ->Arg(100000)
        ->Arg(1000000)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
}

int writeFixtureAndExit(const QStringList& arguments)
{
    QString home;
    std::size_t count = 100000;
    bool history = false;
    for (const QString& argument : arguments) {
        if (argument.startsWith("--write-fixture="))
            home = argument.mid(16);
        else if (argument.startsWith("--items="))
            count = argument.mid(8).toULongLong();
        else if (argument == "--history")
            history = true;
    }
    qputenv("HOME", QFile::encodeName(home));
    writeFixture(count, history);
    QFile names(home + "/names.txt");
    if (!names.open(QIODevice::WriteOnly))
        return 1;
    for (const bench::SyntheticItem& item : scannedItems(count))
        names.write(item.name.toUtf8() + '\n');
    return 0;
}

// What the process holds at one moment: resident bytes (anonymous ones apart) and what malloc
// holds, in use and free inside its arenas.
struct MemoryState {
    std::size_t resident = 0, anonymous = 0, heapInUse = 0, heapFree = 0, heapMapped = 0;

    static MemoryState now()
    {
        MemoryState state;
        state.resident = residentBytes();
        QFile rollup(QStringLiteral("/proc/self/smaps_rollup"));
        if (rollup.open(QIODevice::ReadOnly))
            for (const QByteArray& line : rollup.readAll().split('\n'))
                if (line.startsWith("Anonymous:"))
                    state.anonymous = line.mid(10).trimmed().split(' ').value(0).toULongLong() * 1024;
        const struct mallinfo2 info = ::mallinfo2();
        state.heapInUse = info.uordblks + info.hblkhd;
        state.heapFree = info.fordblks;
        state.heapMapped = info.hblkhd;
        return state;
    }
};

// One step's growth per item: resident, anonymous, and malloc's in use and free.
void printStep(const char* step, const MemoryState& from, const MemoryState& to, double count)
{
    const auto perItem = [count](std::size_t a, std::size_t b) { return (double(b) - double(a)) / count; };
    std::printf("  %-14s resident %+7.1f  anonymous %+7.1f  malloc in use %+7.1f  free in arenas %+7.1f"
                "  (bytes/item)\n",
        step, perItem(from.resident, to.resident), perItem(from.anonymous, to.anonymous),
        perItem(from.heapInUse, to.heapInUse), perItem(from.heapFree, to.heapFree));
}

// What the table's texts take per item, from its accessors.
void printTableTexts(const LaunchItemTable& table)
{
    const double count = double(table.size());
    std::size_t nameBytes = 0, pathBytes = 0;
    for (std::size_t i = 0; i < table.size(); ++i) {
        nameBytes += std::size_t(table.name(i).size());
        pathBytes += std::size_t(table.path(i).size());
    }
    std::printf("  table: %.1f bytes/item in all; names %.1f bytes, upper-cased buffer %.1f bytes, paths "
                "%.1f bytes per item\n",
        double(table.memoryBytes()) / count, double(nameBytes) / count,
        double(table.upperBufferLength()) / count, double(pathBytes) / count);
}

// In a fresh process, the memory a loaded index adds: resident size before and after load,
// then (with --breakdown) the steps one by one: the history, the index, the first search.
int measureLoadAndExit(const QString& home, bool breakdown)
{
    qputenv("HOME", QFile::encodeName(home));
    const MemoryState before = MemoryState::now();
    InteractiveCombinedList list;
    const MemoryState made = MemoryState::now();
    list.load();
    const MemoryState loaded = MemoryState::now();
    list.setFilterWithMode(QStringLiteral("e"), 1); // the name order and history look-ups too
    const MemoryState searched = MemoryState::now();
    const double count = double(list.items().size());
    std::printf("items %.0f  resident growth %.1f bytes/item  table %.1f bytes/item\n", count,
        double(searched.resident - before.resident) / count, double(list.items().memoryBytes()) / count);
    if (!breakdown)
        return 0;
    printStep("history", before, made, count);
    printStep("index", made, loaded, count);
    printStep("first search", loaded, searched, count);
    std::printf("  matches %d\n", list.numberOfMatchingItems());
    printTableTexts(list.items());
    // What of malloc's free memory the system could take back: pages inside the arenas that no
    // block uses any more.
    ::malloc_trim(0);
    printStep("malloc_trim", searched, MemoryState::now(), count);
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (std::any_of(arguments.begin(), arguments.end(),
            [](const QString& a) { return a.startsWith("--write-fixture="); }))
        return writeFixtureAndExit(arguments);
    if (arguments.size() >= 2 && arguments[1].startsWith("--measure-load="))
        return measureLoadAndExit(arguments[1].mid(15), arguments.contains(QStringLiteral("--breakdown")));

    // Every file this benchmark writes goes into a home of its own.
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    benchmark::Initialize(&argc, argv);
    registerAll();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
