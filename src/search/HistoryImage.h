#pragma once
// The launch history as one immutable block of bytes: every launched path (in UTF-16 for the
// panel's look-ups and in UTF-8 for the launch item table's) with its launch times. It is both
// what a manager holds in memory and what the history's cache file carries after its header,
// so a cache is taken into use as read, with no entry copied: a history of ten thousand paths
// costs a handful of allocations, not tens of thousands. Images that share their bytes (every
// summons of one process) share their memory.
//
// Layout (little-endian, offsets from the start; each part begins aligned for what it holds):
//   counts: entries (32 bits), 4 zero bytes, times, UTF-16 units, UTF-8 bytes (64 bits each)
//   times: the launch times of every entry, one after the other (doubles)
//   entries: per path, six 32-bit numbers: offset and length of its UTF-16 form, of its UTF-8
//            form (length 0xFFFFFFFF: it has none, for it holds an unpaired surrogate), of its
//            times; entries in strictly increasing order of the UTF-16 paths (QString's order)
//   the UTF-16 units of every path, then the UTF-8 bytes of every path.
// An image is checked whole when it is made from bytes (fromBytes): any bytes either give an
// image that holds exactly what its entries say, or none.

#include "search/LaunchTimes.h"

#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <QUtf8StringView>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace quorvel {

class HistoryImage final {
public:
    // The history in a form to edit: path -> launch times, in QString's order.
    using Entries = std::map<QString, std::vector<double>>;

    static std::shared_ptr<const HistoryImage> empty();
    static std::shared_ptr<const HistoryImage> of(const Entries& entries);
    // The image held in the 8-byte aligned bytes, which storage keeps alive; nullptr with the
    // reason when they are not an image.
    static std::shared_ptr<const HistoryImage> fromBytes(
        std::shared_ptr<const void> storage, const unsigned char* bytes, std::size_t size, QString* whyNot);

    Entries entries() const;
    QByteArrayView bytes() const { return { data, qsizetype(length) }; }
    bool operator==(const HistoryImage& other) const { return bytes() == other.bytes(); }

    std::size_t size() const { return times.size(); }
    QStringView path(std::size_t entry) const;
    const LaunchTimes& launchTimes(std::size_t entry) const { return times[entry]; }
    // The launch times of a path; nullptr when the history has none for it.
    const LaunchTimes* find(QStringView path) const;
    const LaunchTimes* find(QUtf8StringView path) const;

private:
    HistoryImage(std::shared_ptr<const void> storage, const unsigned char* bytes, std::size_t size);

    struct Entry {
        std::uint32_t utf16Offset, utf16Length, utf8Offset, utf8Length, timesOffset, timesCount;
    };
    struct Counts {
        std::uint32_t entries, zero;
        std::uint64_t times, utf16Units, utf8Bytes;
    };
    static constexpr std::uint32_t noUtf8 = 0xFFFFFFFFu;

    QString flaw() const;
    Entry entry(std::size_t index) const;
    QUtf8StringView utf8Path(const Entry& entry) const;
    void index();
    template <typename Key, typename Hash, typename Equal>
    const LaunchTimes* lookUp(const std::vector<std::uint32_t>& slots, Key key, Hash hash, Equal equal) const;

    std::shared_ptr<const void> storage;
    const unsigned char* data;
    std::size_t length;
    Counts counts {};
    const double* timeData = nullptr;
    const unsigned char* entryData = nullptr;
    const char16_t* utf16 = nullptr;
    const char* utf8 = nullptr;
    std::vector<LaunchTimes> times; // per entry, so that look-ups can answer a pointer
    // Open addressing over entry numbers plus one (0: free), by the hash of either form.
    std::vector<std::uint32_t> utf16Slots, utf8Slots;
};

} // namespace quorvel
