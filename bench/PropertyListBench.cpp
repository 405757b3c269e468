// Reading and writing the index file: every summons of the panel reads it whole, every scan
// writes it. 100,000 synthetic items of three strings each.

#include "SyntheticIndex.h"

#include "platform/plist/PropertyList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstring>
#include <fstream>
#include <string>
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

// An index whose one name is 64 MB (a damaged or hostile file), with a reference every 64 bytes
// so that the text is decoded, not only viewed. Reading it may hold the file's bytes and the
// name's characters (twice the bytes in UTF-16): about three times the file, no more.
struct LargeNameFile {
    QTemporaryDir folder;
    QString path;
    qint64 size = 0;

    LargeNameFile()
    {
        path = folder.filePath(QStringLiteral("Quorvel Launcher Index"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return;
        file.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<array>\n\t<dict>\n"
                   "\t\t<key>name</key>\n\t\t<string>");
        file.write(
            QByteArray("/home/user/Documents/a name of fifty-nine characters &amp; ").repeated(1 << 20));
        file.write(
            "</string>\n\t\t<key>path</key>\n\t\t<string>/x</string>\n\t</dict>\n</array>\n</plist>\n");
        size = file.size();
    }
};

template <typename Read> void measureLargeName(benchmark::State& state, Read read)
{
    static const LargeNameFile file;
    long peakGrowth = 0;
    for (auto _ : state) {
        const long before = statusKilobytes("VmRSS:");
        std::ofstream("/proc/self/clear_refs") << "5"; // a new peak from the current size
        read(file.path);
        peakGrowth = std::max(peakGrowth, statusKilobytes("VmHWM:") - before);
    }
    state.SetBytesProcessed(state.iterations() * file.size);
    state.counters["file_MB"] = double(file.size) / 1e6;
    state.counters["peak_growth_MB"] = double(peakGrowth) * 1024.0 / 1e6;
    state.counters["peak_per_file_size"] = double(peakGrowth) * 1024.0 / double(file.size);
}

void BM_ReadOneLargeName(benchmark::State& state)
{
    measureLargeName(state, [](const QString& path) {
        QVariant root = PropertyList::readFile(path);
        benchmark::DoNotOptimize(root);
    });
}
BENCHMARK(BM_ReadOneLargeName)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_StreamOneLargeName(benchmark::State& state)
{
    measureLargeName(state, [](const QString& path) {
        QString kept;
        PropertyList::readStringRecords(
            path, recordKeys, [&kept](const QString* v, const bool*) { kept = v[0]; });
        benchmark::DoNotOptimize(kept);
    });
}
BENCHMARK(BM_StreamOneLargeName)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
