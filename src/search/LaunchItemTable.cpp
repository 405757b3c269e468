#include "search/LaunchItemTable.h"

#include "search/FoldedText.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <numeric>

namespace quorvel {

// The image stores its numbers as this machine holds them; the cache is little-endian.
static_assert(std::endian::native == std::endian::little, "the table image is little-endian");

// The arrays of a table while it is built.
struct LaunchItemTable::Building {
    std::vector<char16_t> names, upper = { u'\0' };
    std::vector<char> paths;
    std::vector<std::uint32_t> nameStart = { 0 }, upperStart = { 1 }, pathStart = { 0 };
    std::vector<std::uint64_t> heads;
    std::vector<std::uint16_t> typeCodes;
    std::vector<std::uint32_t> lineFeeds;
};

// Where each array of an image lies, worked out from the counts at its start alone:
// eight 32-bit counts (items, upper-cased units, name units, path bytes, items with a line
// feed, type codes, type text units, zero), then each array from an 8-byte boundary: heads,
// upper starts, name starts, path starts, name ranks, line-feed items, type starts, type codes,
// upper-cased names, names, type texts, paths.
class LaunchItemTable::ImageLayout final {
public:
    enum Count { Items, UpperUnits, NameUnits, PathBytes, LineFeedItems, Types, TypeUnits, Zero, CountCount };
    static constexpr std::size_t countsSize = CountCount * sizeof(std::uint32_t);

    explicit ImageLayout(const std::uint32_t (&counts)[CountCount])
    {
        const std::uint64_t n = counts[Items];
        std::uint64_t at = countsSize;
        const auto place = [&at](std::uint64_t bytes) {
            const std::uint64_t start = at;
            at = (at + bytes + 7) & ~std::uint64_t(7);
            return start;
        };
        heads = place(n * 8);
        upperStart = place((n + 1) * 4);
        nameStart = place((n + 1) * 4);
        pathStart = place((n + 1) * 4);
        ranks = place(n * 4);
        lineFeeds = place(std::uint64_t(counts[LineFeedItems]) * 4);
        typeStart = place((std::uint64_t(counts[Types]) + 1) * 4);
        typeCodes = place(n * 2);
        upper = place(std::uint64_t(counts[UpperUnits]) * 2);
        names = place(std::uint64_t(counts[NameUnits]) * 2);
        typeText = place(std::uint64_t(counts[TypeUnits]) * 2);
        paths = place(counts[PathBytes]);
        total = at;
    }

    std::uint64_t heads, upperStart, nameStart, pathStart, ranks, lineFeeds, typeStart, typeCodes, upper,
        names, typeText, paths, total;
};

namespace {

template <typename T> void appendUnits(std::vector<T>& buffer, const T* units, std::size_t count)
{
    buffer.insert(buffer.end(), units, units + count);
}

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

std::uint64_t LaunchItemTable::packHead(QStringView text)
{
    std::uint64_t head = 0;
    for (qsizetype i = 0; i < std::min<qsizetype>(text.size(), 4); ++i)
        head |= std::uint64_t(text[i].unicode()) << (16 * i);
    return head;
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
    columns.count = b.heads.size();
    columns.names = b.names.data();
    columns.nameStart = b.nameStart.data();
    columns.upper = b.upper.data();
    columns.upperStart = b.upperStart.data();
    columns.paths = b.paths.data();
    columns.pathStart = b.pathStart.data();
    columns.heads = b.heads.data();
    columns.typeCodes = b.typeCodes.data();
    columns.ranks = nullptr;
    columns.lineFeeds = b.lineFeeds.data();
    columns.lineFeedCount = b.lineFeeds.size();
}

bool LaunchItemTable::append(const QString& name, const QString& type, const QString& path)
{
    if (!building)
        return false; // finished
    Building& b = *building;
    const QString upperCased = FoldedText::of(name);
    const QByteArray pathBytes = path.toUtf8();
    constexpr std::size_t limit = std::numeric_limits<std::uint32_t>::max() - 1;
    if (b.names.size() + std::size_t(name.size()) > limit
        || b.upper.size() + std::size_t(upperCased.size()) + 1 > limit
        || b.paths.size() + std::size_t(pathBytes.size()) > limit || b.heads.size() + 1 > limit)
        return false;

    appendUnits(b.names, reinterpret_cast<const char16_t*>(name.utf16()), std::size_t(name.size()));
    b.nameStart.push_back(static_cast<std::uint32_t>(b.names.size()));
    appendUnits(
        b.upper, reinterpret_cast<const char16_t*>(upperCased.utf16()), std::size_t(upperCased.size()));
    b.upper.push_back(u'\0');
    b.upperStart.push_back(static_cast<std::uint32_t>(b.upper.size()));
    appendUnits(b.paths, pathBytes.constData(), std::size_t(pathBytes.size()));
    b.pathStart.push_back(static_cast<std::uint32_t>(b.paths.size()));
    b.heads.push_back(packHead(upperCased));
    b.typeCodes.push_back(typeCodeOf(type));
    if (upperCased.contains(QLatin1Char('\n')))
        b.lineFeeds.push_back(static_cast<std::uint32_t>(b.heads.size() - 1));
    pointIntoBuilding();
    return true;
}

void LaunchItemTable::finish()
{
    if (!building)
        return;
    ownedImage = packedImage();
    building.reset();
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
    const std::uint32_t counts[ImageLayout::CountCount] = { static_cast<std::uint32_t>(n),
        static_cast<std::uint32_t>(upperBufferLength()), columns.nameStart[n], columns.pathStart[n],
        static_cast<std::uint32_t>(columns.lineFeedCount), static_cast<std::uint32_t>(typeStrings.size()),
        static_cast<std::uint32_t>(typeText.size()), 0 };
    const ImageLayout layout(counts);
    std::vector<std::uint64_t> words(layout.total / 8, 0);
    auto* out = reinterpret_cast<unsigned char*>(words.data());
    const auto put = [out](std::uint64_t at, const void* from, std::size_t bytes) {
        if (bytes > 0)
            std::memcpy(out + at, from, bytes);
    };
    put(0, counts, sizeof counts);
    put(layout.heads, columns.heads, n * 8);
    put(layout.upperStart, columns.upperStart, (n + 1) * 4);
    put(layout.nameStart, columns.nameStart, (n + 1) * 4);
    put(layout.pathStart, columns.pathStart, (n + 1) * 4);
    put(layout.ranks, nameRanks().data(), n * 4);
    put(layout.lineFeeds, columns.lineFeeds, columns.lineFeedCount * 4);
    put(layout.typeStart, typeStart.data(), typeStart.size() * 4);
    put(layout.typeCodes, columns.typeCodes, n * 2);
    put(layout.upper, columns.upper, upperBufferLength() * 2);
    put(layout.names, columns.names, std::size_t(columns.nameStart[n]) * 2);
    put(layout.typeText, typeText.utf16(), std::size_t(typeText.size()) * 2);
    put(layout.paths, columns.paths, columns.pathStart[n]);
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
    if (counts[ImageLayout::Zero] != 0 || layout.total != size)
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
    c.heads = reinterpret_cast<const std::uint64_t*>(bytes + layout.heads);
    c.upperStart = reinterpret_cast<const std::uint32_t*>(bytes + layout.upperStart);
    c.nameStart = reinterpret_cast<const std::uint32_t*>(bytes + layout.nameStart);
    c.pathStart = reinterpret_cast<const std::uint32_t*>(bytes + layout.pathStart);
    c.ranks = reinterpret_cast<const std::uint32_t*>(bytes + layout.ranks);
    c.lineFeeds = reinterpret_cast<const std::uint32_t*>(bytes + layout.lineFeeds);
    c.lineFeedCount = counts[ImageLayout::LineFeedItems];
    c.typeCodes = reinterpret_cast<const std::uint16_t*>(bytes + layout.typeCodes);
    c.upper = reinterpret_cast<const char16_t*>(bytes + layout.upper);
    c.names = reinterpret_cast<const char16_t*>(bytes + layout.names);
    c.paths = reinterpret_cast<const char*>(bytes + layout.paths);
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
    if (!startsHold(c.upperStart, n, 1, counts[ImageLayout::UpperUnits], 1))
        return "its upper-cased names are out of bounds";
    for (std::size_t i = 0; i <= n; ++i)
        if (c.upper[c.upperStart[i] - 1] != u'\0')
            return "its upper-cased names are not separated";
    if (!startsHold(c.nameStart, n, 0, counts[ImageLayout::NameUnits], 0)
        || !startsHold(c.pathStart, n, 0, counts[ImageLayout::PathBytes], 0))
        return "its names or paths are out of bounds";
    if (types == 0 || types > std::numeric_limits<std::uint16_t>::max()
        || !startsHold(typeStart, types, 0, counts[ImageLayout::TypeUnits], 0))
        return "its type codes are out of bounds";
    for (std::size_t i = 0; i < n; ++i)
        if (c.typeCodes[i] >= types || c.ranks[i] >= n)
            return "an item's type or name order is out of bounds";
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

std::span<const std::uint32_t> LaunchItemTable::nameRanks() const
{
    if (columns.ranks)
        return { columns.ranks, columns.count };
    std::call_once(ranksOnce, [this] { computeRanks(); });
    return computedRanks;
}

void LaunchItemTable::computeRanks() const
{
    const std::size_t n = size();
    std::vector<std::uint32_t> order(n);
    std::iota(order.begin(), order.end(), 0u);
    const auto inOrder
        = [this](std::uint32_t a, std::uint32_t b) { return compareIgnoringCase(name(a), name(b)) <= 0; };
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
            keyed[i] = { foldedKey(name(i)), i };
        std::sort(keyed.begin(), keyed.end(), [this](const auto& a, const auto& b) {
            if (a.first != b.first)
                return a.first < b.first;
            return compareIgnoringCase(name(a.second), name(b.second)) < 0;
        });
        for (std::size_t i = 0; i < n; ++i)
            order[i] = keyed[i].second;
        // The folded keys are a shortcut; the comparison itself has the last word.
        if (!sorted())
            std::sort(order.begin(), order.end(), [this](std::uint32_t a, std::uint32_t b) {
                return compareIgnoringCase(name(a), name(b)) < 0;
            });
    }
    computedRanks.assign(n, 0);
    std::uint32_t rank = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0 && compareIgnoringCase(name(order[i - 1]), name(order[i])) != 0)
            ++rank;
        computedRanks[order[i]] = rank;
    }
}

std::size_t LaunchItemTable::memoryBytes() const
{
    std::size_t bytes = sizeof(*this) + static_cast<std::size_t>(imageBytes.size());
    bytes += computedRanks.capacity() * sizeof(std::uint32_t) + pathLookUpBytes();
    if (building) {
        const Building& b = *building;
        bytes += (b.names.capacity() + b.upper.capacity()) * sizeof(char16_t) + b.paths.capacity();
        bytes += (b.nameStart.capacity() + b.upperStart.capacity() + b.pathStart.capacity()
                     + b.lineFeeds.capacity())
            * sizeof(std::uint32_t);
        bytes += b.heads.capacity() * sizeof(std::uint64_t) + b.typeCodes.capacity() * sizeof(std::uint16_t);
    }
    for (const QString& type : typeStrings)
        bytes += sizeof(QString) + sizeof(LaunchItemKind)
            + static_cast<std::size_t>(type.capacity()) * sizeof(char16_t);
    return bytes;
}

} // namespace quorvel
