// What searching a table needs beyond its names: a hash table from paths to items, and whether
// the items are in name order. A finished table carries the hash table in its image, so reading
// an index from its cache hashes no path. The hash table has four-byte slots and is seven eighths
// full: a table of a million items spends about four and a half bytes per item on it. Each slot
// holds its item (plus one; zero is a free slot) in the low bits and, in the bits the item does not
// need, the low bits of its path's hash: a probe turns away nearly every other path by those bits
// without reading the path.

#include "search/LaunchItemTable.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace quorvel {

// A hash of its own rather than qHash: the slots are stored in the cache file, so the hash must
// not change with Qt's version or the processor. Eight bytes at a time, each mixed in by a
// multiplication; short paths cost a few nanoseconds.
std::uint32_t LaunchItemTable::pathHashOf(QByteArrayView utf8Path)
{
    constexpr std::uint64_t spread = 0x9E3779B97F4A7C15ull, finish = 0xBF58476D1CE4E5B9ull;
    const char* bytes = utf8Path.data();
    const auto size = static_cast<std::size_t>(utf8Path.size());
    std::uint64_t hash = (size + 1) * spread;
    std::size_t at = 0;
    for (; at + 8 <= size; at += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes + at, 8);
        hash = (hash ^ word) * spread;
        hash ^= hash >> 32;
    }
    std::uint64_t rest = 0;
    if (at < size)
        std::memcpy(&rest, bytes + at, size - at);
    hash = (hash ^ rest) * spread;
    hash ^= hash >> 29;
    hash *= finish;
    hash ^= hash >> 32;
    return static_cast<std::uint32_t>(hash);
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
    (void)pathLookUp();
}

// The hash spread over any number of slots by its high bits, so the table needs no power of two.
static std::size_t firstSlotOf(std::uint32_t hash, std::size_t slots)
{
    return static_cast<std::size_t>((std::uint64_t(hash) * slots) >> 32);
}

// The bits of a slot that hold the item, and the rest of the slot for a hash; a table of 2^31
// items or more has no bits to spare.
std::uint32_t LaunchItemTable::pathSlotItemMask(std::size_t items)
{
    const auto itemBits = static_cast<unsigned>(std::bit_width(items));
    return static_cast<std::uint32_t>((std::uint64_t(1) << itemBits) - 1);
}

static std::uint32_t pathSlotTag(std::uint32_t hash, std::uint32_t itemMask)
{
    return static_cast<std::uint32_t>(std::uint64_t(hash) << std::popcount(itemMask));
}

std::span<const std::uint32_t> LaunchItemTable::pathLookUp() const
{
    if (columns.pathSlots)
        return { columns.pathSlots, columns.pathSlotCount };
    std::call_once(pathsOnce, [this] { itemOfSlot = pathSlotsOfItems(); });
    return itemOfSlot;
}

void LaunchItemTable::itemsWithPath(QByteArrayView utf8Path, std::vector<std::uint32_t>& items) const
{
    const std::span<const std::uint32_t> slots = pathLookUp();
    const std::size_t first = items.size();
    const std::uint32_t hash = pathHashOf(utf8Path);
    const std::uint32_t itemMask = pathSlotItemMask(size());
    const std::uint32_t tag = pathSlotTag(hash, itemMask);
    for (std::size_t slot = firstSlotOf(hash, slots.size()); slots[slot] != 0;
         slot = slot + 1 == slots.size() ? 0 : slot + 1) {
        if ((slots[slot] & ~itemMask) != tag)
            continue;
        const std::uint32_t item = (slots[slot] & itemMask) - 1;
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

std::vector<std::uint32_t> LaunchItemTable::pathSlotsOfItems() const
{
    const std::size_t n = size();
    // Seven eighths full, and always one slot free, so that every probe ends.
    std::vector<std::uint32_t> slots(std::max<std::size_t>(16, n + n / 7 + 1), 0);
    const std::uint32_t itemMask = pathSlotItemMask(n);
    for (std::size_t i = 0; i < n; ++i) {
        const QUtf8StringView p = path(i);
        const std::uint32_t hash = pathHashOf(QByteArrayView(p.data(), p.size()));
        std::size_t slot = firstSlotOf(hash, slots.size());
        while (slots[slot] != 0)
            slot = slot + 1 == slots.size() ? 0 : slot + 1;
        slots[slot] = pathSlotTag(hash, itemMask) | static_cast<std::uint32_t>(i + 1);
    }
    return slots;
}

// Whether an image's slots hold every item exactly once and leave a slot free, so that every
// probe ends and no item is found twice. Where each item lies is not checked (that would hash
// every path, which the stored slots are there to spare): the cache's checksum vouches for it,
// and a misplaced item is only not found by its path.
bool LaunchItemTable::pathSlotsHold(const Columns& c)
{
    const std::size_t n = c.count;
    if (c.pathSlotCount <= n)
        return false;
    const std::uint32_t itemMask = pathSlotItemMask(n);
    std::vector<std::uint64_t> seen((n + 63) / 64, 0);
    std::size_t used = 0;
    for (std::size_t slot = 0; slot < c.pathSlotCount; ++slot) {
        if (c.pathSlots[slot] == 0)
            continue;
        const std::uint32_t itemPlusOne = c.pathSlots[slot] & itemMask;
        if (itemPlusOne == 0 || itemPlusOne > n)
            return false;
        const std::uint32_t item = itemPlusOne - 1;
        std::uint64_t& word = seen[item / 64];
        const std::uint64_t bit = std::uint64_t(1) << (item % 64);
        if (word & bit)
            return false;
        word |= bit;
        ++used;
    }
    return used == n;
}

} // namespace quorvel
