// Reading and writing the index file: every summons of the panel reads it whole, every scan
// writes it. 100,000 synthetic items of three strings each.

#include "SyntheticIndex.h"

#include "platform/PropertyList.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <vector>

using namespace quorvel;

namespace {

constexpr std::size_t itemCount = 100000;

struct IndexFile {
    QTemporaryDir folder;
    QString path;
    QVariantList array;
    qint64 size = 0;

    IndexFile()
    {
        path = folder.filePath(QStringLiteral("Quorvel Launcher Index"));
        const std::vector<bench::SyntheticItem> items = bench::syntheticItems(itemCount);
        array = bench::toIndexArray(items);
        bench::writeIndexFile(path, items);
        size = QFileInfo(path).size();
    }
};

const IndexFile& indexFile()
{
    static const IndexFile file;
    return file;
}

void report(benchmark::State& state, qint64 bytes)
{
    state.SetItemsProcessed(state.iterations() * qint64(itemCount));
    state.SetBytesProcessed(state.iterations() * bytes);
    state.counters["file_MB"] = double(bytes) / 1e6;
}

void BM_ReadFile(benchmark::State& state)
{
    const IndexFile& file = indexFile();
    for (auto _ : state) {
        QVariant root = PropertyList::readFile(file.path);
        benchmark::DoNotOptimize(root);
    }
    report(state, file.size);
}
BENCHMARK(BM_ReadFile)->Unit(benchmark::kMillisecond);

void BM_ReadArrayFile(benchmark::State& state)
{
    const IndexFile& file = indexFile();
    for (auto _ : state) {
        std::optional<QVariantList> array = PropertyList::readArrayFile(file.path);
        benchmark::DoNotOptimize(array);
    }
    report(state, file.size);
}
BENCHMARK(BM_ReadArrayFile)->Unit(benchmark::kMillisecond);

const QStringList recordKeys { QStringLiteral("name"), QStringLiteral("type"), QStringLiteral("path") };

// As the search list's loader uses it: the characters go into one compact table, the QStrings
// handed to the visitor are not kept.
void BM_ReadStringRecords(benchmark::State& state)
{
    const IndexFile& file = indexFile();
    for (auto _ : state) {
        std::vector<char16_t> table;
        table.reserve(itemCount * 128);
        const bool ok
            = PropertyList::readStringRecords(file.path, recordKeys, [&table](const QString* v, const bool*) {
                  for (int i = 0; i < 3; ++i)
                      table.insert(table.end(), v[i].utf16(), v[i].utf16() + v[i].size());
              });
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(table.data());
    }
    report(state, file.size);
}
BENCHMARK(BM_ReadStringRecords)->Unit(benchmark::kMillisecond);

// The costlier use: every value kept as its own QString.
void BM_ReadStringRecordsKeepingStrings(benchmark::State& state)
{
    const IndexFile& file = indexFile();
    struct Record {
        QString name, type, path;
    };
    for (auto _ : state) {
        std::vector<Record> records;
        records.reserve(itemCount);
        const bool ok = PropertyList::readStringRecords(
            file.path, recordKeys, [&records](const QString* v, const bool*) {
                records.push_back({ v[0], v[1], v[2] });
            });
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(records.data());
    }
    report(state, file.size);
}
BENCHMARK(BM_ReadStringRecordsKeepingStrings)->Unit(benchmark::kMillisecond);

void BM_ToData(benchmark::State& state)
{
    const IndexFile& file = indexFile();
    for (auto _ : state) {
        QByteArray data = PropertyList::toData(file.array);
        benchmark::DoNotOptimize(data);
    }
    report(state, file.size);
}
BENCHMARK(BM_ToData)->Unit(benchmark::kMillisecond);

// Includes the fsync of the file and of its folder, so it measures the disk as much as the code.
void BM_WriteFile(benchmark::State& state)
{
    const IndexFile& file = indexFile();
    const QString path = file.folder.filePath(QStringLiteral("written"));
    for (auto _ : state) {
        const bool ok = PropertyList::writeFile(path, file.array);
        benchmark::DoNotOptimize(ok);
    }
    report(state, file.size);
}
BENCHMARK(BM_WriteFile)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
