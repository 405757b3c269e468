// What searching a table needs beyond its image, made once per table: the hash of every path, a
// hash table from paths to items, and whether the items are in name order. A table of a million
// items spends about twelve bytes per item on them.

#include "search/LaunchItemTable.h"

#include <QHashFunctions>
#include <algorithm>
#include <bit>

namespace quorvel {

std::uint32_t LaunchItemTable::pathHashOf(QByteArrayView utf8Path)
{
    const std::size_t hash = qHash(utf8Path, 0);
    const auto folded = static_cast<std::uint32_t>(hash ^ (std::uint64_t(hash) >> 32));
    return folded == 0 ? 1 : folded;
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

std::span<const std::uint32_t> LaunchItemTable::pathHashes() const
{
    std::call_once(pathsOnce, [this] { computePathLookUp(); });
    return hashOfPath;
}

void LaunchItemTable::prepareForSearch() const
{
    (void)inNameOrder();
    (void)pathHashes();
}

void LaunchItemTable::itemsWithPath(QByteArrayView utf8Path, std::vector<std::uint32_t>& items) const
{
    const std::span<const std::uint32_t> hashes = pathHashes();
    const std::size_t first = items.size();
    const std::uint32_t hash = pathHashOf(utf8Path);
    const std::size_t mask = itemOfSlot.size() - 1;
    for (std::size_t slot = hash & mask; itemOfSlot[slot] != 0; slot = (slot + 1) & mask) {
        const std::uint32_t item = itemOfSlot[slot] - 1;
        if (hashes[item] != hash)
            continue;
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
    return (hashOfPath.capacity() + itemOfSlot.capacity()) * sizeof(std::uint32_t);
}

void LaunchItemTable::computePathLookUp() const
{
    const std::size_t n = size();
    hashOfPath.resize(n);
    // At most half full, so that a probe ends after a slot or two.
    itemOfSlot.assign(std::bit_ceil(std::max<std::size_t>(16, n * 2)), 0);
    const std::size_t mask = itemOfSlot.size() - 1;
    for (std::size_t i = 0; i < n; ++i) {
        const QUtf8StringView p = path(i);
        const std::uint32_t hash = pathHashOf(QByteArrayView(p.data(), p.size()));
        hashOfPath[i] = hash;
        std::size_t slot = hash & mask;
        while (itemOfSlot[slot] != 0)
            slot = (slot + 1) & mask;
        itemOfSlot[slot] = static_cast<std::uint32_t>(i + 1);
    }
}

} // namespace quorvel
