// What searching a table needs beyond its image, made once per table: a hash table from paths to
// items, and whether the items are in name order. The hash table has four-byte slots and is
// seven eighths full: a table of a million items spends about four and a half bytes per item on
// it. Each slot holds its item (plus one; zero is a free slot) in the low bits and, in the bits the
// item does not need, the low bits of its path's hash: a probe turns away nearly every other path
// by those bits without reading the path.

#include "search/LaunchItemTable.h"

#include <QHashFunctions>
#include <algorithm>
#include <bit>

namespace quorvel {

std::uint32_t LaunchItemTable::pathHashOf(QByteArrayView utf8Path)
{
    const std::size_t hash = qHash(utf8Path, 0);
    return static_cast<std::uint32_t>(hash ^ (std::uint64_t(hash) >> 32));
}

bool LaunchItemTable::inNameOrder() const
{
    // Apart from the path look-up: a search without a history needs the one, not the other.
    std::call_once(orderOnce, [this] { namesAscend = nameRanks().ascending(); });
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

// The bits of a slot that hold the item, and the rest of the slot for a hash; a table of 2^31
// items or more has no bits to spare.
std::uint32_t LaunchItemTable::pathSlotItemMask() const
{
    const auto itemBits = static_cast<unsigned>(std::bit_width(size()));
    return static_cast<std::uint32_t>((std::uint64_t(1) << itemBits) - 1);
}

static std::uint32_t pathSlotTag(std::uint32_t hash, std::uint32_t itemMask)
{
    return static_cast<std::uint32_t>(std::uint64_t(hash) << std::popcount(itemMask));
}

void LaunchItemTable::itemsWithPath(QByteArrayView utf8Path, std::vector<std::uint32_t>& items) const
{
    std::call_once(pathsOnce, [this] { computePathLookUp(); });
    const std::size_t first = items.size();
    const std::size_t slots = itemOfSlot.size();
    const std::uint32_t hash = pathHashOf(utf8Path);
    const std::uint32_t itemMask = pathSlotItemMask();
    const std::uint32_t tag = pathSlotTag(hash, itemMask);
    for (std::size_t slot = firstSlotOf(hash, slots); itemOfSlot[slot] != 0;
         slot = slot + 1 == slots ? 0 : slot + 1) {
        if ((itemOfSlot[slot] & ~itemMask) != tag)
            continue;
        const std::uint32_t item = (itemOfSlot[slot] & itemMask) - 1;
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
    // Seven eighths full, and always one slot free, so that every probe ends.
    itemOfSlot.assign(std::max<std::size_t>(16, n + n / 7 + 1), 0);
    const std::size_t slots = itemOfSlot.size();
    const std::uint32_t itemMask = pathSlotItemMask();
    for (std::size_t i = 0; i < n; ++i) {
        const QUtf8StringView p = path(i);
        const std::uint32_t hash = pathHashOf(QByteArrayView(p.data(), p.size()));
        std::size_t slot = firstSlotOf(hash, slots);
        while (itemOfSlot[slot] != 0)
            slot = slot + 1 == slots ? 0 : slot + 1;
        itemOfSlot[slot] = pathSlotTag(hash, itemMask) | static_cast<std::uint32_t>(i + 1);
    }
}

} // namespace quorvel
