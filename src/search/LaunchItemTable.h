#pragma once
// The launch items of one index file, held compactly as one image of flat arrays: the upper-cased
// names (in the compared form, FoldedText) as Wtf8 bytes, the paths and names in UTF-8, where each
// begins, per item its type code, the first byte of its upper-cased name and the
// place of its name in the case-insensitive order, and a hash table of the paths. A name that is
// the end of its path (a document's or folder's file name, nearly every item) is not stored again:
// it is read from the path's bytes. With names of 17 bytes and paths of 57, as in the benchmarks'
// index, an item costs about 93 bytes and no heap block.
//
// The image is also what the index cache stores after its header (IndexCache): a table read from
// the cache refers to the cache file's bytes as they were read and checked, nothing copied again. Its layout
// is defined here alone (ImageLayout in LaunchItemTable.cpp); a change to it bumps IndexCache::formatVersion.
// The upper-cased names are separated by a NUL character, so one scan of that buffer searches every name at
// once.
//
// Built with append and finish, then immutable (lists that read the same file may share it).

#include "search/LaunchItem.h"
#include "search/NameRanks.h"

#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <QUtf8StringView>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

namespace quorvel {

class LaunchItemTable final {
public:
    LaunchItemTable();
    ~LaunchItemTable();
    LaunchItemTable(const LaunchItemTable&) = delete;
    LaunchItemTable& operator=(const LaunchItemTable&) = delete;

    // An item's name: a view of its UTF-8 bytes that turns into a QString wherever one is
    // wanted (shown, put into a message).
    class Name final : public QUtf8StringView {
    public:
        using QUtf8StringView::QUtf8StringView;
        operator QString() const { return toString(); }
    };

    // Adds an item; answers false (and adds nothing) when the buffers would outgrow their 32-bit
    // offsets, which no real disk comes near, or the name is longer than 32,767 bytes in UTF-8 (no
    // file system allows more than 255). The name and path are kept in UTF-8: text read from a
    // property list or a file name is always valid Unicode, so nothing is lost.
    bool append(const QString& name, const QString& type, const QString& path);
    // Works out the name order and packs everything into the image; no append after this.
    void finish();

    // A table over the bytes of an image as image() gives them, which storage keeps alive for as
    // long as the table lives; nullptr, with the reason, when the bytes are not a whole and
    // consistent image (every length, start and code is checked, so a table never reads outside
    // it). bytes must be 8-byte aligned.
    static std::shared_ptr<const LaunchItemTable> fromImage(
        std::shared_ptr<const void> storage, const unsigned char* bytes, std::size_t size, QString* whyNot);
    // The bytes of a finished table's image (empty before finish), valid while the table lives.
    QByteArrayView image() const;

    std::size_t size() const { return columns.count; }
    bool empty() const { return columns.count == 0; }

    Name name(std::size_t i) const
    {
        const std::uint32_t length = nameLength(columns.itemCodes[i]);
        return Name(columns.text + columns.textStart[i + 1] - length, length);
    }
    // The upper-cased name's bytes (Wtf8), which the searches compare.
    QByteArrayView upperBytes(std::size_t i) const
    {
        return QByteArrayView(
            columns.upper + columns.upperStart[i], columns.upperStart[i + 1] - columns.upperStart[i] - 1);
    }
    QString upperName(std::size_t i) const;
    // UTF-8; toString() for a QString.
    QUtf8StringView path(std::size_t i) const
    {
        const std::uint32_t code = columns.itemCodes[i];
        const std::uint32_t end = columns.textStart[i + 1] - ((code & nameAfterPath) ? nameLength(code) : 0);
        return QUtf8StringView(columns.text + columns.textStart[i], end - columns.textStart[i]);
    }
    const QString& type(std::size_t i) const { return typeStrings[columns.itemCodes[i] & typeBits]; }
    LaunchItemKind kind(std::size_t i) const { return typeKinds[columns.itemCodes[i] & typeBits]; }

    // The first eight bytes of the upper-cased name, the first in the lowest bits, padded with
    // zeros.
    std::uint64_t upperHead(std::size_t i) const { return packHead(upperBytes(i)); }
    // The first byte of the upper-cased name (its NUL for an empty name): a prefix test that most
    // names fail on reads one byte of theirs, close to the other items' bytes.
    std::uint8_t upperFirstByte(std::size_t i) const { return columns.firstBytes[i]; }
    std::span<const std::uint8_t> upperFirstBytes() const { return { columns.firstBytes, columns.count }; }
    // The eight bytes from where the upper-cased name begins, the first in the lowest bits, read
    // at once: a prefix test of up to eight bytes is one masked comparison. Beyond a shorter name
    // come its NUL and whatever follows, which no term without a NUL matches; the buffer holds
    // enough bytes after its last name for the read.
    std::uint64_t upperBytesAt(std::size_t i) const
    {
        std::uint64_t bytes;
        std::memcpy(&bytes, columns.upper + columns.upperStart[i], sizeof bytes);
        return bytes;
    }
    // All upper-cased names: NUL, name 0, NUL, name 1, ..., NUL. upperStarts()[i] is where name i
    // begins; upperStarts()[size()] is the buffer's length.
    const char* upperBuffer() const { return columns.upper; }
    std::size_t upperBufferLength() const { return columns.upperStart[columns.count]; }
    std::span<const std::uint32_t> upperStarts() const { return { columns.upperStart, columns.count + 1 }; }
    // Items whose upper-cased name holds a line feed (wildcards treat it specially), ascending.
    std::span<const std::uint32_t> itemsWithLineFeed() const
    {
        return { columns.lineFeeds, columns.lineFeedCount };
    }

    // For each item, its place in the case-insensitive order of the names (the comparison the
    // ranking's alphabetical bonus uses); names equal ignoring case share a place.
    NameRanks nameRanks() const;
    // Whether the items come in that order (no rank is lower than the one before), as the scanner
    // writes them.
    bool inNameOrder() const;

    // Appends the items whose path is utf8Path, ascending; a hash table of the paths finds them,
    // so the cost does not grow with the table.
    void itemsWithPath(QByteArrayView utf8Path, std::vector<std::uint32_t>& items) const;
    // Works out the name order and the path look-up now, on the calling thread: a thread that
    // makes a table does so before handing it to the main thread, where searching needs them.
    void prepareForSearch() const;

    // The bytes held, for the memory budget (an image read from the cache counts whole).
    std::size_t memoryBytes() const;

    static std::uint64_t packHead(QByteArrayView bytes);

private:
    // Each item's text is its path in UTF-8, followed by its name when the name is not the end of
    // the path; textStart[i] is where item i's text begins. The item's code says the rest: its
    // type code (the low 16 bits), the length of its name in bytes (the next 15; the name ends
    // the item's text) and whether the name follows the path rather than ending it (the top bit).
    static constexpr std::uint32_t typeBits = 0xFFFFu;
    static constexpr std::uint32_t longestName = 0x7FFFu;
    static constexpr std::uint32_t nameAfterPath = 0x80000000u;
    static std::uint32_t nameLength(std::uint32_t code) { return (code >> 16) & longestName; }
    // Zero bytes after the upper-cased names' last NUL, so that upperBytesAt stays inside them.
    static constexpr std::size_t upperPadding = 7;

    // Where each array lies: in the vectors while building, in the image afterwards.
    struct Columns {
        std::size_t count = 0;
        const char* upper = nullptr;
        const std::uint32_t* upperStart = nullptr;
        const char* text = nullptr;
        const std::uint32_t* textStart = nullptr;
        const std::uint32_t* itemCodes = nullptr;
        const std::uint8_t* firstBytes = nullptr;
        // Only in an image: a number per item, or a bit per item and their running counts.
        const std::uint32_t* ranks = nullptr;
        const std::uint64_t* rankSteps = nullptr;
        const std::uint32_t* rankBases = nullptr;
        const std::uint32_t* lineFeeds = nullptr;
        std::size_t lineFeedCount = 0;
        const std::uint32_t* pathSlots = nullptr; // only in an image
        std::size_t pathSlotCount = 0;
    };
    struct Building;
    class ImageLayout;

    std::uint16_t typeCodeOf(const QString& type);
    void pointIntoBuilding();
    std::vector<std::uint64_t> packedImage() const;
    bool adoptImage(const unsigned char* bytes, std::size_t size, QString* whyNot);
    static Columns columnsAt(
        const unsigned char* bytes, const ImageLayout& layout, const std::uint32_t* counts);
    static const char* flawOf(const Columns& c, const std::uint32_t* counts, const std::uint32_t* typeStart);
    void adoptTypes(const char16_t* typeText, const std::uint32_t* typeStart, std::size_t types);
    QStringView buildingName(std::size_t i) const;
    std::span<const std::uint32_t> computedNameRanks() const;
    void computeRanks() const;

    Columns columns;
    std::unique_ptr<Building> building;
    std::vector<std::uint64_t> ownedImage; // the image of a table finished in memory
    std::shared_ptr<const void> storage; // what holds the image of a table made by fromImage
    QByteArrayView imageBytes;

    // The four codes first, so that every item of a common type shares one string.
    std::vector<QString> typeStrings;
    std::vector<LaunchItemKind> typeKinds;

    mutable std::once_flag ranksOnce;
    mutable std::vector<std::uint32_t> computedRanks; // for a table used before finish

    // The path look-up (LaunchItemTablePaths.cpp): in the image of a finished table, made on first
    // use for one used before finish.
    static std::uint32_t pathHashOf(QByteArrayView utf8Path);
    std::vector<std::uint32_t> pathSlotsOfItems() const;
    std::span<const std::uint32_t> pathLookUp() const;
    static bool pathSlotsHold(const Columns& c);
    std::size_t pathLookUpBytes() const;
    static std::uint32_t pathSlotItemMask(std::size_t items);
    mutable std::once_flag pathsOnce;
    mutable std::once_flag orderOnce;
    mutable std::vector<std::uint32_t> itemOfSlot; // for a table used before finish
    mutable bool namesAscend = false;
};

} // namespace quorvel
