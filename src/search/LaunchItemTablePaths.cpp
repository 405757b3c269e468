// What searching a table needs beyond its image, made once per table: a hash table from paths to
// items, and whether the items are in name order. The hash table is about three quarters full
// of four-byte slots: a table of a million items spends between five and six bytes per item on it.

#include "search/LaunchItemTable.h"

#include <QHashFunctions>
#include <algorithm>

namespace quorvel {

std::uint32_t LaunchItemTable::pathHashOf(QByteArrayView utf8Path)
{
    const std::size_t hash = qHash(utf8Path, 0);
    return static_cast<std::uint32_t>(hash ^ (std::uint64_t(hash) >> 32));
}

bool LaunchItemTable::inNameOrder() const
{
    // Apart from the path look-up: a search without a history needs the one, not the other.
    std::call_once(orderOnce, [this] {
        const std::span<const std::uint32_t> ranks = nameRanks();
        namesAscend = std::is_sorted(ranks.begin(), ranks.end());
    });
    return namesAscend;
}

void LaunchItemTable::prepareForSearch() const
{
    (void)inNameOrder();
    std::call_once(pathsOnce, [this] { computePathLookUp(); });
}

// The hash spread over any number of slots by its high bits, so the table needs no power of two.
static std::size_t firstSlotOf(std::uint32_t hash, std::size_t slots)
{
    return static_cast<std::size_t>((std::uint64_t(hash) * slots) >> 32);
}

void LaunchItemTable::itemsWithPath(QByteArrayView utf8Path, std::vector<std::uint32_t>& items) const
{
    std::call_once(pathsOnce, [this] { computePathLookUp(); });
    const std::size_t first = items.size();
    const std::size_t slots = itemOfSlot.size();
    for (std::size_t slot = firstSlotOf(pathHashOf(utf8Path), slots); itemOfSlot[slot] != 0;
         slot = slot + 1 == slots ? 0 : slot + 1) {
        const std::uint32_t item = itemOfSlot[slot] - 1;
        // QByteArrayView's equality compares the lengths first: most other paths end there.
        const QUtf8StringView candidate = path(item);
        if (QByteArrayView(candidate.data(), candidate.size()) == utf8Path)
            items.push_back(item);
    }
    // Equal paths sit in the order they were put in, which is ascending; only a wrap-around
    // of the probe sequence can change it.
    std::sort(items.begin() + static_cast<std::ptrdiff_t>(first), items.end());
}

std::size_t LaunchItemTable::pathLookUpBytes() const
{
    return itemOfSlot.capacity() * sizeof(std::uint32_t);
}

void LaunchItemTable::computePathLookUp() const
{
    const std::size_t n = size();
    // About three quarters full, and always one slot free, so that every probe ends.
    itemOfSlot.assign(std::max<std::size_t>(16, n + n / 3 + 1), 0);
    const std::size_t slots = itemOfSlot.size();
    for (std::size_t i = 0; i < n; ++i) {
        const QUtf8StringView p = path(i);
        std::size_t slot = firstSlotOf(pathHashOf(QByteArrayView(p.data(), p.size())), slots);
        while (itemOfSlot[slot] != 0)
            slot = slot + 1 == slots ? 0 : slot + 1;
        itemOfSlot[slot] = static_cast<std::uint32_t>(i + 1);
    }
}

} // namespace quorvel
