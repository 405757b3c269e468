// The index on any bytes, read as the panel reads it: the streaming reader of string records,
// then a list over the file filtered in every mode. The streaming reader must agree with the
// whole-value reader: both accept the same files, and each dictionary's string "name", "type"
// and "path" are the same.

#include "fuzz/FuzzTargets.h"

#include "platform/plist/PropertyList.h"
#include "search/InteractiveCombinedList.h"

#include <algorithm>
#include <vector>

namespace quorvel::fuzz {

namespace {

struct Record {
    QString values[3];
    bool present[3];
};

const QStringList& recordKeys()
{
    static const QStringList keys
        = { QStringLiteral("name"), QStringLiteral("type"), QStringLiteral("path") };
    return keys;
}

// The records the whole-value reader gives, in the streaming reader's terms.
std::vector<Record> recordsOf(const QVariantList& items)
{
    std::vector<Record> records;
    for (const QVariant& item : items) {
        if (item.typeId() != QMetaType::QVariantMap)
            continue;
        const QVariantMap dictionary = item.toMap();
        Record record;
        for (int key = 0; key < 3; ++key) {
            const QVariant value = dictionary.value(recordKeys()[key]);
            record.present[key] = value.typeId() == QMetaType::QString;
            record.values[key] = record.present[key] ? value.toString() : QString();
        }
        records.push_back(record);
    }
    return records;
}

void compareReaders(const QString& path, const QVariant& whole)
{
    std::vector<Record> streamed;
    const bool read = PropertyList::readStringRecords(
        path, recordKeys(), [&](const QString* values, const bool* present) {
            Record record;
            for (int key = 0; key < 3; ++key) {
                record.present[key] = present[key];
                record.values[key] = present[key] ? values[key] : QString();
            }
            streamed.push_back(record);
        });
    const bool isArray = whole.typeId() == QMetaType::QVariantList;
    if (read != isArray) {
        fail(read ? QStringLiteral("the streaming reader accepts an index the whole reader refuses")
                  : QStringLiteral("the streaming reader refuses an array the whole reader accepts"));
        return;
    }
    if (!read)
        return;
    const std::vector<Record> expected = recordsOf(whole.toList());
    check(streamed.size() == expected.size(), "both readers find the same number of dictionaries");
    for (std::size_t i = 0; i < std::min(streamed.size(), expected.size()); ++i) {
        for (int key = 0; key < 3; ++key) {
            if (streamed[i].present[key] != expected[i].present[key]
                || streamed[i].values[key] != expected[i].values[key])
                fail(QStringLiteral("the readers disagree on \"%1\" of record %2: \"%3\" and \"%4\"")
                         .arg(recordKeys()[key])
                         .arg(i)
                         .arg(streamed[i].values[key], expected[i].values[key]));
        }
    }
}

// Whether an item's upper-cased name matches the upper-cased term in a literal mode, by the
// plain definitions that the list's faster searches must agree with.
bool matchesLiterally(QStringView name, const QString& term, int mode)
{
    if (term.isEmpty() && mode != InteractiveList::WordMode)
        return false;
    switch (mode) {
    case InteractiveList::PrefixMode:
        return name.startsWith(term);
    case InteractiveList::ContainsMode:
        return name.contains(term);
    case InteractiveList::WordMode:
        return (!term.isEmpty() && name.startsWith(term)) || name.contains(QStringLiteral(" ") + term);
    default:
        return false;
    }
}

void filterInEveryMode(const QString& path)
{
    InteractiveCombinedList list;
    list.setFilePath(path);
    list.load();
    const LaunchItemTable& items = list.items();
    for (const QString& term : { QStringLiteral("a"), QStringLiteral(""), QStringLiteral("?*") }) {
        for (int mode = 0; mode <= 4; ++mode) {
            list.setFilterWithMode(term, mode);
            std::vector<std::uint32_t> found = list.matchingItemIndices();
            std::sort(found.begin(), found.end());
            if (mode == InteractiveList::WildcardMode)
                continue;
            std::vector<std::uint32_t> expected;
            for (std::uint32_t i = 0; i < items.size(); ++i) {
                if (matchesLiterally(items.upperName(i), term.toUpper(), mode))
                    expected.push_back(i);
            }
            if (found != expected)
                fail(QStringLiteral("mode %1 with \"%2\" finds %3 items where %4 match")
                         .arg(mode)
                         .arg(term)
                         .arg(found.size())
                         .arg(expected.size()));
        }
    }
}

} // namespace

void indexReader(const std::uint8_t* data, std::size_t size)
{
    const QString path = scratchFile(QStringLiteral("index"));
    writeScratch(path, data, size);
    compareReaders(path, PropertyList::readFile(path));
    filterInEveryMode(path);
}

} // namespace quorvel::fuzz
