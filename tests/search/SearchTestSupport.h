#pragma once
// Helpers of the search tests: history files written as the panel writes them (indexes are
// written with support/IndexFiles.h), and the reference search, a slow and literal rendering of filtering and
// ranking (upper-casing per item, history looked up in every comparison, a textbook merge sort) that the fast
// list must agree with.

#include "search/InteractiveList.h"
#include "search/LaunchItem.h"
#include "search/UsageInformationManager.h"

#include <QString>
#include <QVariantMap>
#include <vector>

namespace quorvel::test {

void writeHistory(const QVariantMap& history);
// A history of one path with launches at the given absolute times.
QVariantList launchTimes(std::initializer_list<double> times);

// The matches of the list in ranked order, as launch items.
std::vector<LaunchItem> matchesOf(const InteractiveList& list);
QStringList namesOf(const std::vector<LaunchItem>& items);

// The reference: what filtering and ranking answer, computed the slow way.
std::vector<LaunchItem> referenceSearch(const std::vector<LaunchItem>& items, const QString& term, int mode,
    const UsageInformationManager& usage);

// The textbook sort the list's ranking must reproduce: top-down merge sort, halves split at the
// middle, runs of at most twelve sorted by straight insertion, the right element first only
// when the comparison says it must come first.
template <typename T, typename Compare>
void referenceMergeSort(
    std::vector<T>& v, std::size_t low, std::size_t high, std::vector<T>& buffer, Compare compare)
{
    if (high - low <= 12) {
        for (std::size_t i = low + 1; i < high; ++i)
            for (std::size_t j = i; j > low && compare(v[j], v[j - 1]) < 0; --j)
                std::swap(v[j], v[j - 1]);
        return;
    }
    const std::size_t middle = low + (high - low) / 2;
    referenceMergeSort(v, low, middle, buffer, compare);
    referenceMergeSort(v, middle, high, buffer, compare);
    std::size_t left = low, right = middle, out = low;
    while (left < middle && right < high)
        buffer[out++] = compare(v[right], v[left]) < 0 ? v[right++] : v[left++];
    while (left < middle)
        buffer[out++] = v[left++];
    while (right < high)
        buffer[out++] = v[right++];
    for (std::size_t i = low; i < high; ++i)
        v[i] = buffer[i];
}

} // namespace quorvel::test

// Readable failures.
namespace quorvel {
inline bool operator==(const LaunchItem& a, const LaunchItem& b)
{
    return a.name == b.name && a.type == b.type && a.path == b.path;
}
void PrintTo(const LaunchItem& item, std::ostream* out);
} // namespace quorvel
