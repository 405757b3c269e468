#pragma once
// Deterministic synthetic launch items and launch histories for the benchmarks: names and paths
// that look like a real disk (words, spaces, digits, capitals, extensions, a few non-ASCII
// letters; folders shared between many items), the same for the same seed on every run.

#include <QString>
#include <QVariantList>
#include <QVariantMap>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace quorvel::bench {

struct SyntheticItem {
    QString name;
    QString type; // one of LaunchItemType
    QString path; // absolute
};

// count items; about 5% "app", 1% "pref", 20% "fold", the rest "doc".
std::vector<SyntheticItem> syntheticItems(std::size_t count, std::uint32_t seed = 1);

// The index array as stored: one dictionary of "name", "type" and "path" strings per item.
QVariantList toIndexArray(const std::vector<SyntheticItem>& items);

// A launch history: for `paths` of the items' paths, launchesPerPath times (seconds since the
// epoch, doubles), oldest first, ages from seconds to months before now.
QVariantMap syntheticHistory(const std::vector<SyntheticItem>& items, std::size_t paths,
    std::size_t launchesPerPath, double now, std::uint32_t seed = 1);

// Write the index (as the scanner writes it) / a history as property-list files; answer whether
// the write succeeded.
bool writeIndexFile(const QString& path, const std::vector<SyntheticItem>& items);
bool writeHistoryFile(const QString& path, const QVariantMap& history);

} // namespace quorvel::bench
