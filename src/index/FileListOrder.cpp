// The index order (_sortAlphabetically) and the scan's sort into it, which folds each name
// once instead of in every comparison.

#include "index/FileList.h"

#include <QStringView>
#include <algorithm>

namespace quorvel {

namespace {

// Appends the name as QString::compare with Qt::CaseInsensitive sees it to keys: every UTF-16
// unit folded on its own, so that comparing two keys unit by unit (then by length) answers as
// that comparison does. Answers false, leaving keys as they were, for a name holding a
// surrogate pair, whose code point is folded whole there and may not fit one unit; such names
// are compared as they are.
bool appendFolded(const QString& name, std::vector<char16_t>& keys)
{
    const char16_t* units = reinterpret_cast<const char16_t*>(name.constData());
    const qsizetype size = name.size();
    const std::size_t start = keys.size();
    keys.resize(start + std::size_t(size));
    char16_t* out = keys.data() + start;
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t unit = units[i];
        if (unit < 0x80) {
            out[i] = unit >= u'A' && unit <= u'Z' ? char16_t(unit + 32) : unit;
            continue;
        }
        const bool pair = QChar::isLowSurrogate(unit) && i > 0 && QChar::isHighSurrogate(units[i - 1]);
        const char32_t folded = pair ? 0x10000 : QChar::toCaseFolded(char32_t(unit));
        if (folded > 0xFFFF) {
            keys.resize(start);
            return false;
        }
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
    // The names decide nearly every comparison, so each name is folded once, into one buffer,
    // instead of in every comparison; std::sort given the same answers makes the same
    // permutation as with _sortAlphabetically itself, ties included.
    // The first eight folded units, packed in two numbers so that comparing them compares the
    // units (a shorter name is padded with zeros, which no name holds): most comparisons end there.
    struct Entry {
        std::uint64_t head;
        std::uint64_t nextHead;
        std::uint32_t keyStart;
        std::uint32_t keyLength;
        std::uint32_t index;
        bool folded;
    };
    std::vector<char16_t> keys;
    std::vector<Entry> entries;
    entries.reserve(list.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::size_t start = keys.size();
        const bool folded = appendFolded(list[i].name, keys);
        Entry entry { 0, 0, std::uint32_t(start), std::uint32_t(keys.size() - start), std::uint32_t(i),
            folded };
        for (std::uint32_t unit = 0; unit < 8; ++unit) {
            std::uint64_t& part = unit < 4 ? entry.head : entry.nextHead;
            part = (part << 16) | (unit < entry.keyLength ? keys[start + unit] : 0);
        }
        entries.push_back(entry);
    }
    const char16_t* const key = keys.data();
    // Folded names with equal heads share their first eight units, or are equal and shorter.
    const auto compareFolded = [key](const Entry& a, const Entry& b) {
        if (a.keyLength <= 8 || b.keyLength <= 8)
            return int(a.keyLength > b.keyLength) - int(a.keyLength < b.keyLength);
        return QStringView(key + a.keyStart + 8, a.keyLength - 8)
            .compare(QStringView(key + b.keyStart + 8, b.keyLength - 8));
    };
    std::sort(entries.begin(), entries.end(), [&list, &compareFolded](const Entry& a, const Entry& b) {
        const bool bothFolded = a.folded && b.folded;
        if (bothFolded && a.head != b.head)
            return a.head < b.head;
        if (bothFolded && a.nextHead != b.nextHead)
            return a.nextHead < b.nextHead;
        const Item& itemA = list[a.index];
        const Item& itemB = list[b.index];
        const int byName = bothFolded ? compareFolded(a, b)
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
