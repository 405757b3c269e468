#pragma once
// The launch items of one index file, held compactly: every name, upper-cased name and path
// lives in one of three large character buffers, so a million items cost a few hundred bytes
// each instead of a dozen heap blocks. The upper-cased names are separated by a NUL character,
// so one scan of that buffer searches every name at once. Immutable once built (lists that read
// the same file may share it), except for the name order, which is worked out on first use.

#include "search/LaunchItem.h"

#include <QString>
#include <QStringView>
#include <cstdint>
#include <mutex>
#include <vector>

namespace quorvel {

class LaunchItemTable final {
public:
    // Adds an item; answers false (and adds nothing) when the buffers would outgrow the 32-bit
    // offsets, which no real disk comes near.
    bool append(const QString& name, const QString& type, const QString& path);
    // Releases the spare capacity that growing left behind.
    void finish();

    std::size_t size() const { return kinds.size(); }
    bool empty() const { return kinds.empty(); }

    QStringView name(std::size_t i) const { return slice(names, nameStart, i, 0); }
    QStringView upperName(std::size_t i) const { return slice(upper, upperStart, i, 1); }
    QStringView path(std::size_t i) const { return slice(paths, pathStart, i, 0); }
    const QString& type(std::size_t i) const { return typeStrings[typeCodes[i]]; }
    LaunchItemKind kind(std::size_t i) const { return kinds[i]; }

    // The first four UTF-16 units of the upper-cased name, the first in the lowest bits, padded
    // with zeros: a prefix test of up to four characters is one masked comparison.
    std::uint64_t upperHead(std::size_t i) const { return heads[i]; }
    // All upper-cased names: NUL, name 0, NUL, name 1, ..., NUL. upperStart(i) is where name i
    // begins; upperStart(size()) is the buffer's length.
    const char16_t* upperBuffer() const { return upper.data(); }
    std::size_t upperBufferLength() const { return upper.size(); }
    const std::vector<std::uint32_t>& upperStarts() const { return upperStart; }
    // Items whose upper-cased name holds a line feed (wildcards treat it specially).
    const std::vector<std::uint32_t>& itemsWithLineFeed() const { return lineFeedItems; }

    // For each item, its place in the case-insensitive order of the names (the comparison the
    // ranking's alphabetical bonus uses); names equal ignoring case share a place.
    const std::vector<std::uint32_t>& nameRanks() const;

    // The bytes held, for the memory budget.
    std::size_t memoryBytes() const;

    static std::uint64_t packHead(QStringView text);

private:
    static QStringView slice(const std::vector<char16_t>& buffer, const std::vector<std::uint32_t>& starts,
        std::size_t i, std::uint32_t separator)
    {
        return QStringView(
            buffer.data() + starts[i], static_cast<qsizetype>(starts[i + 1] - starts[i] - separator));
    }
    std::uint16_t typeCodeOf(const QString& type);
    void computeRanks() const;

    std::vector<char16_t> names, upper = { u'\0' }, paths;
    std::vector<std::uint32_t> nameStart = { 0 }, upperStart = { 1 }, pathStart = { 0 };
    std::vector<std::uint64_t> heads;
    std::vector<std::uint16_t> typeCodes;
    std::vector<LaunchItemKind> kinds;
    std::vector<std::uint32_t> lineFeedItems;
    // The four codes first, so that every item of a common type shares one string.
    std::vector<QString> typeStrings = { LaunchItemType::application, LaunchItemType::document,
        LaunchItemType::preferencePane, LaunchItemType::folder };

    mutable std::once_flag ranksOnce;
    mutable std::vector<std::uint32_t> ranks;
};

} // namespace quorvel
