#include "search/LaunchItemTable.h"

#include <QChar>
#include <algorithm>
#include <limits>
#include <numeric>

namespace quorvel {

LaunchItemKind launchItemKindOf(QStringView type)
{
    if (type == LaunchItemType::application)
        return LaunchItemKind::Application;
    if (type == LaunchItemType::document)
        return LaunchItemKind::Document;
    if (type == LaunchItemType::preferencePane)
        return LaunchItemKind::PreferencePane;
    if (type == LaunchItemType::folder)
        return LaunchItemKind::Folder;
    return LaunchItemKind::Other;
}

namespace {

void appendText(std::vector<char16_t>& buffer, const QString& text)
{
    const auto* units = reinterpret_cast<const char16_t*>(text.utf16());
    buffer.insert(buffer.end(), units, units + text.size());
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

} // namespace

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
    return static_cast<std::uint16_t>(typeStrings.size() - 1);
}

bool LaunchItemTable::append(const QString& name, const QString& type, const QString& path)
{
    const QString upperCased = name.toUpper();
    constexpr std::size_t limit = std::numeric_limits<std::uint32_t>::max() - 1;
    if (names.size() + name.size() > limit || upper.size() + upperCased.size() + 1 > limit
        || paths.size() + path.size() > limit)
        return false;

    appendText(names, name);
    nameStart.push_back(static_cast<std::uint32_t>(names.size()));
    appendText(upper, upperCased);
    upper.push_back(u'\0');
    upperStart.push_back(static_cast<std::uint32_t>(upper.size()));
    appendText(paths, path);
    pathStart.push_back(static_cast<std::uint32_t>(paths.size()));

    heads.push_back(packHead(upperCased));
    const std::uint16_t code = typeCodeOf(type);
    typeCodes.push_back(code);
    kinds.push_back(launchItemKindOf(typeStrings[code]));
    if (upperCased.contains(QLatin1Char('\n')))
        lineFeedItems.push_back(static_cast<std::uint32_t>(kinds.size() - 1));
    return true;
}

void LaunchItemTable::finish()
{
    names.shrink_to_fit();
    upper.shrink_to_fit();
    paths.shrink_to_fit();
    nameStart.shrink_to_fit();
    upperStart.shrink_to_fit();
    pathStart.shrink_to_fit();
    heads.shrink_to_fit();
    typeCodes.shrink_to_fit();
    kinds.shrink_to_fit();
    lineFeedItems.shrink_to_fit();
}

const std::vector<std::uint32_t>& LaunchItemTable::nameRanks() const
{
    std::call_once(ranksOnce, [this] { computeRanks(); });
    return ranks;
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
    ranks.assign(n, 0);
    std::uint32_t rank = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0 && compareIgnoringCase(name(order[i - 1]), name(order[i])) != 0)
            ++rank;
        ranks[order[i]] = rank;
    }
}

std::size_t LaunchItemTable::memoryBytes() const
{
    std::size_t bytes = sizeof(*this);
    bytes += (names.capacity() + upper.capacity() + paths.capacity()) * sizeof(char16_t);
    bytes += (nameStart.capacity() + upperStart.capacity() + pathStart.capacity()) * sizeof(std::uint32_t);
    bytes += heads.capacity() * sizeof(std::uint64_t) + typeCodes.capacity() * sizeof(std::uint16_t);
    bytes += kinds.capacity() + lineFeedItems.capacity() * sizeof(std::uint32_t);
    bytes += ranks.capacity() * sizeof(std::uint32_t);
    for (const QString& type : typeStrings)
        bytes += sizeof(QString) + static_cast<std::size_t>(type.capacity()) * sizeof(char16_t);
    return bytes;
}

} // namespace quorvel
