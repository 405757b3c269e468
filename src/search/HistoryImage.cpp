#include "search/HistoryImage.h"

#include <QHashFunctions>
#include <QStringEncoder>
#include <bit>
#include <cstring>
#include <string>

namespace quorvel {

static_assert(std::endian::native == std::endian::little, "images are read as they lie in memory");

namespace {

constexpr std::size_t entryBytes = 6 * sizeof(std::uint32_t);

// An empty part has no storage to copy from (its data() may be null, which memcpy must never get).
void copyPart(unsigned char* to, const void* from, std::size_t bytes)
{
    if (bytes > 0)
        std::memcpy(to, from, bytes);
}

template <typename T> T numberAt(const unsigned char* bytes)
{
    T value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

// Where each part of an image with these counts begins, and where it ends.
struct Offsets {
    std::uint64_t times, entries, utf16, utf8, end;
};

template <typename Counts> Offsets offsetsFor(const Counts& counts)
{
    Offsets at {};
    at.times = sizeof(Counts);
    at.entries = at.times + counts.times * sizeof(double);
    at.utf16 = at.entries + std::uint64_t(counts.entries) * entryBytes;
    at.utf8 = at.utf16 + counts.utf16Units * sizeof(char16_t);
    at.end = at.utf8 + counts.utf8Bytes;
    return at;
}

std::size_t slotCountFor(std::size_t entries)
{
    // At most half full, so that a look-up of a path not in the history ends soon.
    return std::bit_ceil(std::max<std::size_t>(16, entries * 2));
}

} // namespace

HistoryImage::HistoryImage(std::shared_ptr<const void> storage, const unsigned char* bytes, std::size_t size)
    : storage(std::move(storage))
    , data(bytes)
    , length(size)
{
    std::memcpy(&counts, bytes, sizeof counts);
    const Offsets at = offsetsFor(counts);
    timeData = reinterpret_cast<const double*>(bytes + at.times);
    entryData = bytes + at.entries;
    utf16 = reinterpret_cast<const char16_t*>(bytes + at.utf16);
    utf8 = reinterpret_cast<const char*>(bytes + at.utf8);
}

std::shared_ptr<const HistoryImage> HistoryImage::empty()
{
    static const std::shared_ptr<const HistoryImage> none = of({});
    return none;
}

std::shared_ptr<const HistoryImage> HistoryImage::of(const Entries& entries)
{
    std::vector<std::uint32_t> table;
    table.reserve(entries.size() * 6);
    std::vector<double> allTimes;
    std::u16string allUtf16;
    std::string allUtf8;
    for (const auto& [path, launches] : entries) {
        const QByteArray pathUtf8 = path.toUtf8();
        const bool hasUtf8 = QStringView(path).isValidUtf16();
        table.insert(table.end(),
            { std::uint32_t(allUtf16.size()), std::uint32_t(path.size()),
                hasUtf8 ? std::uint32_t(allUtf8.size()) : 0,
                hasUtf8 ? std::uint32_t(pathUtf8.size()) : noUtf8, std::uint32_t(allTimes.size()),
                std::uint32_t(launches.size()) });
        allUtf16.append(reinterpret_cast<const char16_t*>(path.utf16()), std::size_t(path.size()));
        if (hasUtf8)
            allUtf8.append(pathUtf8.constData(), std::size_t(pathUtf8.size()));
        allTimes.insert(allTimes.end(), launches.begin(), launches.end());
    }
    const Counts made { std::uint32_t(entries.size()), 0, allTimes.size(), allUtf16.size(), allUtf8.size() };
    const Offsets at = offsetsFor(made);
    // Whole 64-bit words, so that the times lie aligned.
    auto buffer = std::make_shared<std::vector<std::uint64_t>>((at.end + 7) / 8, 0);
    auto* bytes = reinterpret_cast<unsigned char*>(buffer->data());
    std::memcpy(bytes, &made, sizeof made);
    copyPart(bytes + at.times, allTimes.data(), allTimes.size() * sizeof(double));
    copyPart(bytes + at.entries, table.data(), table.size() * sizeof(std::uint32_t));
    copyPart(bytes + at.utf16, allUtf16.data(), allUtf16.size() * sizeof(char16_t));
    copyPart(bytes + at.utf8, allUtf8.data(), allUtf8.size());
    QString flaw;
    std::shared_ptr<const HistoryImage> image = fromBytes(std::move(buffer), bytes, at.end, &flaw);
    Q_ASSERT_X(image, "HistoryImage::of", qPrintable(flaw));
    return image;
}

std::shared_ptr<const HistoryImage> HistoryImage::fromBytes(
    std::shared_ptr<const void> storage, const unsigned char* bytes, std::size_t size, QString* whyNot)
{
    const auto reject = [whyNot](const QString& why) {
        if (whyNot)
            *whyNot = why;
        return nullptr;
    };
    if (size < sizeof(Counts) || reinterpret_cast<std::uintptr_t>(bytes) % alignof(double) != 0)
        return reject(QStringLiteral("too short for a history"));
    Counts claimed;
    std::memcpy(&claimed, bytes, sizeof claimed);
    // Each count bounded by the size first, so that the offsets cannot overflow.
    if (claimed.zero != 0 || claimed.entries > size / entryBytes || claimed.times > size / sizeof(double)
        || claimed.utf16Units > size / sizeof(char16_t) || claimed.utf8Bytes > size
        || offsetsFor(claimed).end != size)
        return reject(QStringLiteral("its counts do not match its length"));
    std::shared_ptr<HistoryImage> image(new HistoryImage(std::move(storage), bytes, size));
    if (const QString flaw = image->flaw(); !flaw.isEmpty())
        return reject(flaw);
    image->index();
    if (whyNot)
        whyNot->clear();
    return image;
}

HistoryImage::Entry HistoryImage::entry(std::size_t index) const
{
    Entry read;
    std::memcpy(&read, entryData + index * entryBytes, sizeof read);
    return read;
}

QStringView HistoryImage::path(std::size_t index) const
{
    const Entry read = entry(index);
    return { utf16 + read.utf16Offset, qsizetype(read.utf16Length) };
}

QUtf8StringView HistoryImage::utf8Path(const Entry& read) const
{
    return { utf8 + read.utf8Offset, qsizetype(read.utf8Length) };
}

// Why the entries do not hold what they say (empty when they do): each part of each entry
// follows the one before it, paths in increasing order, the UTF-8 form exactly the UTF-16 one's.
QString HistoryImage::flaw() const
{
    std::uint64_t nextUtf16 = 0, nextUtf8 = 0, nextTime = 0;
    QStringEncoder encoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    std::string encoded;
    for (std::size_t i = 0; i < counts.entries; ++i) {
        const Entry read = entry(i);
        if (read.utf16Offset != nextUtf16 || read.timesOffset != nextTime
            || nextUtf16 + read.utf16Length > counts.utf16Units || nextTime + read.timesCount > counts.times)
            return QStringLiteral("entry %1 lies outside the image").arg(i);
        nextUtf16 += read.utf16Length;
        nextTime += read.timesCount;
        const QStringView pathHere = path(i);
        if (i > 0 && !(path(i - 1) < pathHere))
            return QStringLiteral("entry %1 is out of order").arg(i);
        if (read.utf8Length == noUtf8) {
            if (read.utf8Offset != 0 || pathHere.isValidUtf16())
                return QStringLiteral("entry %1 lacks its UTF-8 form").arg(i);
            continue;
        }
        if (read.utf8Offset != nextUtf8 || nextUtf8 + read.utf8Length > counts.utf8Bytes
            || !pathHere.isValidUtf16())
            return QStringLiteral("entry %1 lies outside the image").arg(i);
        nextUtf8 += read.utf8Length;
        encoded.resize(std::size_t(encoder.requiredSpace(pathHere.size())));
        const char* end = encoder.appendToBuffer(encoded.data(), pathHere);
        if (utf8Path(read) != QUtf8StringView(encoded.data(), end))
            return QStringLiteral("entry %1 has another UTF-8 form").arg(i);
    }
    if (nextUtf16 != counts.utf16Units || nextUtf8 != counts.utf8Bytes || nextTime != counts.times)
        return QStringLiteral("the image holds more than its entries");
    return QString();
}

void HistoryImage::index()
{
    times.reserve(counts.entries);
    utf16Slots.assign(slotCountFor(counts.entries), 0);
    utf8Slots.assign(slotCountFor(counts.entries), 0);
    const std::size_t mask = utf16Slots.size() - 1;
    const auto place = [mask](std::vector<std::uint32_t>& slots, std::size_t hash, std::uint32_t number) {
        std::size_t slot = hash & mask;
        while (slots[slot] != 0)
            slot = (slot + 1) & mask;
        slots[slot] = number;
    };
    for (std::uint32_t i = 0; i < counts.entries; ++i) {
        const Entry read = entry(i);
        times.emplace_back(timeData + read.timesOffset, read.timesCount);
        place(utf16Slots, qHash(path(i), 0), i + 1);
        if (read.utf8Length != noUtf8)
            place(utf8Slots, qHash(QByteArrayView(utf8Path(read)), 0), i + 1);
    }
}

template <typename Key, typename Hash, typename Equal>
const LaunchTimes* HistoryImage::lookUp(
    const std::vector<std::uint32_t>& slots, Key key, Hash hash, Equal equal) const
{
    if (counts.entries == 0)
        return nullptr;
    const std::size_t mask = slots.size() - 1;
    for (std::size_t slot = hash(key) & mask; slots[slot] != 0; slot = (slot + 1) & mask)
        if (equal(slots[slot] - 1, key))
            return &times[slots[slot] - 1];
    return nullptr;
}

const LaunchTimes* HistoryImage::find(QStringView key) const
{
    return lookUp(
        utf16Slots, key, [](QStringView path) { return qHash(path, 0); },
        [this](std::uint32_t i, QStringView path) { return this->path(i) == path; });
}

const LaunchTimes* HistoryImage::find(QUtf8StringView key) const
{
    return lookUp(
        utf8Slots, QByteArrayView(key), [](QByteArrayView path) { return qHash(path, 0); },
        [this](std::uint32_t i, QByteArrayView path) {
            const Entry read = entry(i);
            return read.utf8Length != noUtf8 && QByteArrayView(utf8Path(read)) == path;
        });
}

HistoryImage::Entries HistoryImage::entries() const
{
    Entries all;
    for (std::size_t i = 0; i < counts.entries; ++i)
        all.emplace_hint(
            all.end(), path(i).toString(), std::vector<double>(times[i].begin(), times[i].end()));
    return all;
}

} // namespace quorvel
