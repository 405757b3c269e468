// The order of a table's names, worked out once while it is built (LaunchItemTable.cpp holds
// the rest of the table); a finished table carries it in its image.

#include "search/LaunchItemTable.h"

#include <algorithm>
#include <numeric>

namespace quorvel {

namespace {

int compareIgnoringCase(QStringView a, QStringView b)
{
    return a.compare(b, Qt::CaseInsensitive);
}

// The first four case-folded units, the first in the highest bits: ordering the keys orders the
// names as the case-insensitive comparison does, as far as four units tell (surrogates are not
// folded here; the order is checked afterwards in any case).
std::uint64_t foldedKey(QStringView name)
{
    std::uint64_t key = 0;
    for (qsizetype i = 0; i < 4; ++i) {
        char16_t unit = 0;
        if (i < name.size()) {
            unit = name[i].unicode();
            if (!QChar::isSurrogate(unit))
                unit = QChar::toCaseFolded(unit);
        }
        key = (key << 16) | unit;
    }
    return key;
}

} // namespace

NameRanks LaunchItemTable::nameRanks() const
{
    if (columns.rankSteps)
        return NameRanks::ofSteps(columns.rankSteps, columns.rankBases, columns.count);
    if (columns.ranks)
        return NameRanks::ofNumbers({ columns.ranks, columns.count });
    return NameRanks::ofNumbers(computedNameRanks());
}

std::span<const std::uint32_t> LaunchItemTable::computedNameRanks() const
{
    std::call_once(ranksOnce, [this] { computeRanks(); });
    return computedRanks;
}

void LaunchItemTable::computeRanks() const
{
    const std::size_t n = size();
    std::vector<std::uint32_t> order(n);
    std::iota(order.begin(), order.end(), 0u);
    const auto inOrder = [this](std::uint32_t a, std::uint32_t b) {
        return compareIgnoringCase(buildingName(a), buildingName(b)) <= 0;
    };
    const auto sorted = [&] {
        for (std::size_t i = 1; i < n; ++i)
            if (!inOrder(order[i - 1], order[i]))
                return false;
        return true;
    };
    // The scanner writes the index in this order already, so usually one pass confirms it.
    if (!sorted()) {
        std::vector<std::pair<std::uint64_t, std::uint32_t>> keyed(n);
        for (std::uint32_t i = 0; i < n; ++i)
            keyed[i] = { foldedKey(buildingName(i)), i };
        std::sort(keyed.begin(), keyed.end(), [this](const auto& a, const auto& b) {
            if (a.first != b.first)
                return a.first < b.first;
            return compareIgnoringCase(buildingName(a.second), buildingName(b.second)) < 0;
        });
        for (std::size_t i = 0; i < n; ++i)
            order[i] = keyed[i].second;
        // The folded keys are a shortcut; the comparison itself has the last word.
        if (!sorted())
            std::sort(order.begin(), order.end(), [this](std::uint32_t a, std::uint32_t b) {
                return compareIgnoringCase(buildingName(a), buildingName(b)) < 0;
            });
    }
    computedRanks.assign(n, 0);
    std::uint32_t rank = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0 && compareIgnoringCase(buildingName(order[i - 1]), buildingName(order[i])) != 0)
            ++rank;
        computedRanks[order[i]] = rank;
    }
}

} // namespace quorvel
