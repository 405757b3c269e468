// The index order (_sortAlphabetically) and the scan's sort into it, which folds each name
// once instead of in every comparison.

#include "index/FileList.h"

#include <QStringView>
#include <algorithm>

namespace quorvel {

namespace {

// The name as QString::compare with Qt::CaseInsensitive sees it: every UTF-16 unit folded on
// its own, so that comparing two keys unit by unit (then by length) answers as that comparison
// does. Answers false for a name holding a surrogate pair, whose code point is folded whole
// there and may not fit one unit; such names are compared as they are.
bool foldedForComparison(const QString& name, QString& key)
{
    const char16_t* units = reinterpret_cast<const char16_t*>(name.constData());
    const qsizetype size = name.size();
    auto fold = [](char16_t unit) -> char32_t {
        if (unit < 0x80)
            return unit >= u'A' && unit <= u'Z' ? char16_t(unit + 32) : unit;
        return QChar::toCaseFolded(char32_t(unit));
    };
    qsizetype first = 0; // the first unit folding changes; the name is shared up to it
    for (; first < size; ++first) {
        if (QChar::isSurrogate(units[first]) || fold(units[first]) != units[first])
            break;
    }
    key = name;
    if (first == size)
        return true;
    char16_t* out = reinterpret_cast<char16_t*>(key.data());
    for (qsizetype i = first; i < size; ++i) {
        if (QChar::isLowSurrogate(units[i]) && i > 0 && QChar::isHighSurrogate(units[i - 1]))
            return false;
        const char32_t folded = fold(units[i]);
        if (folded > 0xFFFF)
            return false;
        out[i] = char16_t(folded);
    }
    return true;
}

int sign(int comparison)
{
    return (comparison > 0) - (comparison < 0);
}

} // namespace

void FileList::sortAlphabetically(ItemArray& list)
{
    // The names decide nearly every comparison, so each name is folded once instead of in every
    // comparison; std::sort given the same answers makes the same permutation as with
    // _sortAlphabetically itself, ties included.
    // The first four folded units, packed so that comparing the numbers compares the units (a
    // shorter name is padded with zeros, which no name holds): most comparisons end there.
    struct Entry {
        QString foldedName;
        std::uint64_t head;
        bool folded;
        std::uint32_t index;
    };
    std::vector<Entry> entries;
    entries.reserve(list.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        Entry entry { QString(), 0, false, std::uint32_t(i) };
        entry.folded = foldedForComparison(list[i].name, entry.foldedName);
        for (qsizetype unit = 0; unit < 4; ++unit) {
            const char16_t code = unit < entry.foldedName.size() ? entry.foldedName.at(unit).unicode() : 0;
            entry.head = (entry.head << 16) | code;
        }
        entries.push_back(std::move(entry));
    }
    std::sort(entries.begin(), entries.end(), [&list](const Entry& a, const Entry& b) {
        if (a.folded && b.folded && a.head != b.head)
            return a.head < b.head;
        const Item& itemA = list[a.index];
        const Item& itemB = list[b.index];
        const int byName = a.folded && b.folded
            ? QStringView(a.foldedName).compare(QStringView(b.foldedName))
            : QString::compare(itemA.name, itemB.name, Qt::CaseInsensitive);
        if (byName)
            return byName < 0;
        return _sortAlphabetically(itemA, itemB) < 0;
    });
    ItemArray sorted;
    sorted.reserve(list.size());
    for (const Entry& entry : entries)
        sorted.push_back(std::move(list[entry.index]));
    list = std::move(sorted);
}

int _sortAlphabetically(const LaunchItem& a, const LaunchItem& b)
{
    if (const int byName = QString::compare(a.name, b.name, Qt::CaseInsensitive))
        return sign(byName);
    if (a.type.isEmpty() || a.type == b.type)
        return sign(QString::compare(a.path, b.path, Qt::CaseInsensitive));
    for (const QLatin1StringView first :
        { LaunchItemType::preferencePane, LaunchItemType::application, LaunchItemType::folder }) {
        if (a.type == first)
            return -1;
        if (b.type == first)
            return 1;
    }
    return 0;
}

} // namespace quorvel
