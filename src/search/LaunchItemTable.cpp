#include "search/LaunchItemTable.h"

#include "search/FoldedText.h"
#include "search/Wtf8.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

namespace quorvel {

// The image stores its numbers as this machine holds them; the cache is little-endian.
static_assert(std::endian::native == std::endian::little, "the table image is little-endian");

// The arrays of a table while it is built, and the names in UTF-16 that work out their order.
struct LaunchItemTable::Building {
    std::vector<char> upper = std::vector<char>(1 + upperPadding, '\0'), text;
    std::vector<char16_t> names;
    std::vector<std::uint32_t> upperStart = { 1 }, textStart = { 0 }, itemCodes, namesStart = { 0 };
    std::vector<std::uint32_t> lineFeeds;
    std::vector<std::uint8_t> firstBytes;
};

// Where each array of an image lies, worked out from the counts at its start alone:
// eight 32-bit counts (items, upper-cased bytes, text bytes, items with a line feed, type codes,
// type text units, the form of the name ranks, path slots), then each array from an 8-byte
// boundary: upper starts, text starts, name ranks (a number per item, or for items in name order a
// bit per item), the running counts of those bits (none for numbers), the path look-up's slots
// (LaunchItemTablePaths.cpp), item codes, first bytes, line-feed items, type starts, upper-cased
// names (with their padding), type texts, texts.
class LaunchItemTable::ImageLayout final {
public:
    enum Count {
        Items,
        UpperBytes,
        TextBytes,
        LineFeedItems,
        Types,
        TypeUnits,
        RankForm,
        PathSlots,
        CountCount
    };
    enum RankForms : std::uint32_t { RankNumbers, RankSteps };
    static constexpr std::size_t countsSize = CountCount * sizeof(std::uint32_t);

    explicit ImageLayout(const std::uint32_t (&counts)[CountCount])
    {
        const std::uint64_t n = counts[Items];
        std::uint64_t at = (countsSize + 7) & ~std::uint64_t(7);
        const auto place = [&at](std::uint64_t bytes) {
            const std::uint64_t start = at;
            at = (at + bytes + 7) & ~std::uint64_t(7);
            return start;
        };
        upperStart = place((n + 1) * 4);
        textStart = place((n + 1) * 4);
        steps = counts[RankForm] == RankSteps;
        const std::uint64_t words = NameRanks::wordsFor(n);
        ranks = place(steps ? words * 8 : n * 4);
        rankBases = place(steps ? words * 4 : 0);
        pathSlots = place(std::uint64_t(counts[PathSlots]) * 4);
        itemCodes = place(n * 4);
        firstBytes = place(n);
        lineFeeds = place(std::uint64_t(counts[LineFeedItems]) * 4);
        typeStart = place((std::uint64_t(counts[Types]) + 1) * 4);
        upper = place(std::uint64_t(counts[UpperBytes]) + upperPadding);
        typeText = place(std::uint64_t(counts[TypeUnits]) * 2);
        text = place(counts[TextBytes]);
        total = at;
    }

    bool steps;
    std::uint64_t upperStart, textStart, ranks, rankBases, pathSlots, itemCodes, firstBytes, lineFeeds,
        typeStart, upper, typeText, text, total;
};

namespace {

template <typename T> void appendUnits(std::vector<T>& buffer, const T* units, std::size_t count)
{
    buffer.insert(buffer.end(), units, units + count);
}

// Whether starts (count + 1 of them) begin at first, never decrease (rise by at least gap) and
// end at last.
bool startsHold(const std::uint32_t* starts, std::size_t count, std::uint32_t first, std::uint32_t last,
    std::uint32_t gap)
{
    if (starts[0] != first || starts[count] != last)
        return false;
    for (std::size_t i = 0; i < count; ++i)
        if (starts[i + 1] < starts[i] || starts[i + 1] - starts[i] < gap)
            return false;
    return true;
}

} // namespace

LaunchItemTable::LaunchItemTable()
    : building(std::make_unique<Building>())
    , typeStrings({ LaunchItemType::application, LaunchItemType::document, LaunchItemType::preferencePane,
          LaunchItemType::folder })
    , typeKinds({ LaunchItemKind::Application, LaunchItemKind::Document, LaunchItemKind::PreferencePane,
          LaunchItemKind::Folder })
{
    pointIntoBuilding();
}

LaunchItemTable::~LaunchItemTable() = default;

std::uint64_t LaunchItemTable::packHead(QByteArrayView bytes)
{
    std::uint64_t head = 0;
    for (qsizetype i = 0; i < std::min<qsizetype>(bytes.size(), 8); ++i)
        head |= std::uint64_t(static_cast<std::uint8_t>(bytes[i])) << (8 * i);
    return head;
}

QString LaunchItemTable::upperName(std::size_t i) const
{
    return Wtf8::decode(upperBytes(i));
}

std::uint16_t LaunchItemTable::typeCodeOf(const QString& type)
{
    for (std::size_t code = 0; code < typeStrings.size(); ++code)
        if (typeStrings[code] == type)
            return static_cast<std::uint16_t>(code);
    // Unknown codes are rare; a handful of distinct ones is shared too, beyond that each is new.
    if (typeStrings.size() >= std::numeric_limits<std::uint16_t>::max())
        return static_cast<std::uint16_t>(typeStrings.size() - 1);
    typeStrings.push_back(type);
    typeKinds.push_back(launchItemKindOf(type));
    return static_cast<std::uint16_t>(typeStrings.size() - 1);
}

void LaunchItemTable::pointIntoBuilding()
{
    const Building& b = *building;
    columns.count = b.itemCodes.size();
    columns.upper = b.upper.data();
    columns.upperStart = b.upperStart.data();
    columns.text = b.text.data();
    columns.textStart = b.textStart.data();
    columns.itemCodes = b.itemCodes.data();
    columns.firstBytes = b.firstBytes.data();
    columns.lineFeeds = b.lineFeeds.data();
    columns.lineFeedCount = b.lineFeeds.size();
}

bool LaunchItemTable::append(const QString& name, const QString& type, const QString& path)
{
    if (!building)
        return false; // finished
    Building& b = *building;
    const QString upperCased = FoldedText::of(name);
    const QByteArray upperBytes = Wtf8::of(upperCased);
    const QByteArray pathBytes = path.toUtf8();
    const QByteArray nameBytes = name.toUtf8();
    // A document's or folder's name is the end of its path: the path's bytes serve for both.
    const bool nameEndsPath = pathBytes.endsWith(nameBytes);
    const std::size_t textBytes
        = std::size_t(pathBytes.size()) + (nameEndsPath ? 0 : std::size_t(nameBytes.size()));
    constexpr std::size_t limit = std::numeric_limits<std::uint32_t>::max() - 1;
    if (std::size_t(nameBytes.size()) > longestName
        || b.upperStart.back() + std::size_t(upperBytes.size()) + 1 > limit
        || b.text.size() + textBytes > limit || b.names.size() + std::size_t(name.size()) > limit
        || b.itemCodes.size() + 1 > limit)
        return false;

    b.upper.resize(b.upperStart.back());
    appendUnits(b.upper, upperBytes.constData(), std::size_t(upperBytes.size()));
    b.upper.push_back('\0');
    b.upperStart.push_back(static_cast<std::uint32_t>(b.upper.size()));
    b.upper.resize(b.upper.size() + upperPadding, '\0');
    appendUnits(b.text, pathBytes.constData(), std::size_t(pathBytes.size()));
    if (!nameEndsPath)
        appendUnits(b.text, nameBytes.constData(), std::size_t(nameBytes.size()));
    b.textStart.push_back(static_cast<std::uint32_t>(b.text.size()));
    b.itemCodes.push_back(typeCodeOf(type) | (static_cast<std::uint32_t>(nameBytes.size()) << 16)
        | (nameEndsPath ? 0 : nameAfterPath));
    appendUnits(b.names, reinterpret_cast<const char16_t*>(name.utf16()), std::size_t(name.size()));
    b.namesStart.push_back(static_cast<std::uint32_t>(b.names.size()));
    b.firstBytes.push_back(static_cast<std::uint8_t>(upperBytes.isEmpty() ? 0 : upperBytes[0]));
    if (upperCased.contains(QLatin1Char('\n')))
        b.lineFeeds.push_back(static_cast<std::uint32_t>(b.itemCodes.size() - 1));
    pointIntoBuilding();
    return true;
}

void LaunchItemTable::finish()
{
    if (!building)
        return;
    ownedImage = packedImage();
    building.reset();
    // The order is in the image now.
    std::vector<std::uint32_t>().swap(computedRanks);
    std::vector<std::uint32_t>().swap(itemOfSlot);
    const auto* bytes = reinterpret_cast<const unsigned char*>(ownedImage.data());
    // An image packed from consistent arrays always reads back.
    adoptImage(bytes, ownedImage.size() * sizeof(std::uint64_t), nullptr);
}

QByteArrayView LaunchItemTable::image() const
{
    return imageBytes;
}

std::vector<std::uint64_t> LaunchItemTable::packedImage() const
{
    const std::size_t n = size();
    QString typeText;
    std::vector<std::uint32_t> typeStart = { 0 };
    for (const QString& type : typeStrings) {
        typeText += type;
        typeStart.push_back(static_cast<std::uint32_t>(typeText.size()));
    }
    // Worked out from the names while they are still at hand.
    const std::span<const std::uint32_t> ranks = computedNameRanks();
    const bool steps = NameRanks::fitSteps(ranks);
    const std::vector<std::uint32_t> slots = pathSlotsOfItems();
    const std::uint32_t counts[ImageLayout::CountCount] = { static_cast<std::uint32_t>(n),
        static_cast<std::uint32_t>(upperBufferLength()), columns.textStart[n],
        static_cast<std::uint32_t>(columns.lineFeedCount), static_cast<std::uint32_t>(typeStrings.size()),
        static_cast<std::uint32_t>(typeText.size()),
        steps ? ImageLayout::RankSteps : ImageLayout::RankNumbers, static_cast<std::uint32_t>(slots.size()) };
    const ImageLayout layout(counts);
    std::vector<std::uint64_t> words(layout.total / 8, 0);
    auto* out = reinterpret_cast<unsigned char*>(words.data());
    const auto put = [out](std::uint64_t at, const void* from, std::size_t bytes) {
        if (bytes > 0)
            std::memcpy(out + at, from, bytes);
    };
    put(0, counts, sizeof counts);
    put(layout.upperStart, columns.upperStart, (n + 1) * 4);
    put(layout.textStart, columns.textStart, (n + 1) * 4);
    if (steps)
        NameRanks::packSteps(ranks, reinterpret_cast<std::uint64_t*>(out + layout.ranks),
            reinterpret_cast<std::uint32_t*>(out + layout.rankBases));
    else
        put(layout.ranks, ranks.data(), n * 4);
    put(layout.pathSlots, slots.data(), slots.size() * 4);
    put(layout.itemCodes, columns.itemCodes, n * 4);
    put(layout.firstBytes, columns.firstBytes, n);
    put(layout.lineFeeds, columns.lineFeeds, columns.lineFeedCount * 4);
    put(layout.typeStart, typeStart.data(), typeStart.size() * 4);
    put(layout.upper, columns.upper, upperBufferLength());
    put(layout.typeText, typeText.utf16(), std::size_t(typeText.size()) * 2);
    put(layout.text, columns.text, columns.textStart[n]);
    return words;
}

std::shared_ptr<const LaunchItemTable> LaunchItemTable::fromImage(
    std::shared_ptr<const void> storage, const unsigned char* bytes, std::size_t size, QString* whyNot)
{
    auto table = std::make_shared<LaunchItemTable>();
    if (!table->adoptImage(bytes, size, whyNot))
        return nullptr;
    table->storage = std::move(storage);
    return table;
}

bool LaunchItemTable::adoptImage(const unsigned char* bytes, std::size_t size, QString* whyNot)
{
    const auto fail = [whyNot](const char* reason) {
        if (whyNot)
            *whyNot = QString::fromLatin1(reason);
        return false;
    };
    if (size < ImageLayout::countsSize || reinterpret_cast<std::uintptr_t>(bytes) % 8 != 0)
        return fail("too short");
    std::uint32_t counts[ImageLayout::CountCount];
    std::memcpy(counts, bytes, sizeof counts);
    const ImageLayout layout(counts);
    if (counts[ImageLayout::RankForm] > ImageLayout::RankSteps || layout.total != size)
        return fail("its length does not agree with its counts");
    const Columns c = columnsAt(bytes, layout, counts);
    const auto* typeStart = reinterpret_cast<const std::uint32_t*>(bytes + layout.typeStart);
    if (const char* flaw = flawOf(c, counts, typeStart))
        return fail(flaw);
    adoptTypes(
        reinterpret_cast<const char16_t*>(bytes + layout.typeText), typeStart, counts[ImageLayout::Types]);
    columns = c;
    building.reset();
    imageBytes = QByteArrayView(bytes, static_cast<qsizetype>(size));
    return true;
}

LaunchItemTable::Columns LaunchItemTable::columnsAt(
    const unsigned char* bytes, const ImageLayout& layout, const std::uint32_t* counts)
{
    Columns c;
    c.count = counts[ImageLayout::Items];
    c.upperStart = reinterpret_cast<const std::uint32_t*>(bytes + layout.upperStart);
    c.textStart = reinterpret_cast<const std::uint32_t*>(bytes + layout.textStart);
    c.itemCodes = reinterpret_cast<const std::uint32_t*>(bytes + layout.itemCodes);
    c.firstBytes = bytes + layout.firstBytes;
    if (layout.steps) {
        c.rankSteps = reinterpret_cast<const std::uint64_t*>(bytes + layout.ranks);
        c.rankBases = reinterpret_cast<const std::uint32_t*>(bytes + layout.rankBases);
    } else {
        c.ranks = reinterpret_cast<const std::uint32_t*>(bytes + layout.ranks);
    }
    c.pathSlots = reinterpret_cast<const std::uint32_t*>(bytes + layout.pathSlots);
    c.pathSlotCount = counts[ImageLayout::PathSlots];
    c.lineFeeds = reinterpret_cast<const std::uint32_t*>(bytes + layout.lineFeeds);
    c.lineFeedCount = counts[ImageLayout::LineFeedItems];
    c.upper = reinterpret_cast<const char*>(bytes + layout.upper);
    c.text = reinterpret_cast<const char*>(bytes + layout.text);
    return c;
}

// What is wrong with the arrays of an image, or nullptr: every start, code and index must lie
// within the image, so that a table never reads outside it.
const char* LaunchItemTable::flawOf(
    const Columns& c, const std::uint32_t* counts, const std::uint32_t* typeStart)
{
    const std::size_t n = c.count;
    const std::size_t types = counts[ImageLayout::Types];
    // Every upper-cased name is followed by its NUL, so a search never runs past a name's end.
    if (!startsHold(c.upperStart, n, 1, counts[ImageLayout::UpperBytes], 1))
        return "its upper-cased names are out of bounds";
    for (std::size_t i = 0; i <= n; ++i)
        if (c.upper[c.upperStart[i] - 1] != '\0')
            return "its upper-cased names are not separated";
    // A prefix search trusts the first bytes to turn names away.
    for (std::size_t i = 0; i < n; ++i)
        if (c.firstBytes[i] != static_cast<std::uint8_t>(c.upper[c.upperStart[i]]))
            return "its first bytes do not agree with its names";
    if (!startsHold(c.textStart, n, 0, counts[ImageLayout::TextBytes], 0))
        return "its paths are out of bounds";
    // A name lies within its item's text, so that neither it nor the path before it reach
    // another item's.
    for (std::size_t i = 0; i < n; ++i)
        if (nameLength(c.itemCodes[i]) > c.textStart[i + 1] - c.textStart[i])
            return "its names are out of bounds";
    if (types == 0 || types > std::numeric_limits<std::uint16_t>::max()
        || !startsHold(typeStart, types, 0, counts[ImageLayout::TypeUnits], 0))
        return "its type codes are out of bounds";
    for (std::size_t i = 0; i < n; ++i)
        if ((c.itemCodes[i] & typeBits) >= types || (c.ranks && c.ranks[i] >= n))
            return "an item's type or name order is out of bounds";
    if (c.rankSteps && !NameRanks::stepsHold(c.rankSteps, c.rankBases, n))
        return "its name order is out of bounds";
    if (!pathSlotsHold(c))
        return "its path look-up does not hold every item once";
    for (std::size_t k = 0; k < c.lineFeedCount; ++k)
        if (c.lineFeeds[k] >= n || (k > 0 && c.lineFeeds[k] <= c.lineFeeds[k - 1]))
            return "its items with a line feed are out of bounds";
    return nullptr;
}

void LaunchItemTable::adoptTypes(const char16_t* typeText, const std::uint32_t* typeStart, std::size_t types)
{
    typeStrings.clear();
    typeKinds.clear();
    for (std::size_t t = 0; t < types; ++t) {
        const QString type = QStringView(typeText + typeStart[t], typeStart[t + 1] - typeStart[t]).toString();
        typeStrings.push_back(type);
        typeKinds.push_back(launchItemKindOf(type));
    }
}

// The names in UTF-16 as they were appended: the order is worked out before the table is
// finished, and only then.
QStringView LaunchItemTable::buildingName(std::size_t i) const
{
    const Building& b = *building;
    return QStringView(b.names.data() + b.namesStart[i], b.namesStart[i + 1] - b.namesStart[i]);
}

std::size_t LaunchItemTable::memoryBytes() const
{
    std::size_t bytes = sizeof(*this) + static_cast<std::size_t>(imageBytes.size());
    bytes += computedRanks.capacity() * sizeof(std::uint32_t) + pathLookUpBytes();
    if (building) {
        const Building& b = *building;
        bytes += b.names.capacity() * sizeof(char16_t) + b.upper.capacity() + b.text.capacity();
        bytes += (b.upperStart.capacity() + b.textStart.capacity() + b.itemCodes.capacity()
                     + b.namesStart.capacity() + b.lineFeeds.capacity())
            * sizeof(std::uint32_t);
        bytes += b.firstBytes.capacity();
    }
    for (const QString& type : typeStrings)
        bytes += sizeof(QString) + sizeof(LaunchItemKind)
            + static_cast<std::size_t>(type.capacity()) * sizeof(char16_t);
    return bytes;
}

} // namespace quorvel
