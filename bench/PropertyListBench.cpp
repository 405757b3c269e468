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

// As the search list's loader uses it: one compact record of three strings per item.
void BM_ReadStringRecords(benchmark::State& state)
{
    const IndexFile& file = indexFile();
    const QStringList keys{QStringLiteral("name"), QStringLiteral("type"), QStringLiteral("path")};
    struct Record {
        QString name, type, path;
    };
    for (auto _ : state) {
        std::vector<Record> records;
        records.reserve(itemCount);
        const bool ok = PropertyList::readStringRecords(file.path, keys, [&records](const QString* v, const bool*) {
            records.push_back({v[0], v[1], v[2]});
        });
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(records.data());
    }
    report(state, file.size);
}
BENCHMARK(BM_ReadStringRecords)->Unit(benchmark::kMillisecond);

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
