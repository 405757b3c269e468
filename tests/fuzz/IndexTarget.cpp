// The index on any bytes, read as the panel reads it: the streaming reader of string records,
// then a list over the file filtered in every mode. The streaming reader must agree with the
// whole-value reader: both accept the same files, and each dictionary's string "name", "type"
// and "path" are the same.

#include "fuzz/FuzzTargets.h"

#include "platform/PropertyList.h"
#include "search/InteractiveCombinedList.h"

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

void filterInEveryMode(const QString& path)
{
    InteractiveCombinedList list;
    list.setFilePath(path);
    list.load();
    for (const QString& term : { QStringLiteral("a"), QStringLiteral(""), QStringLiteral("?*") }) {
        for (int mode = 0; mode <= 4; ++mode) {
            list.setFilterWithMode(term, mode);
            check(list.numberOfMatchingItems() <= static_cast<int>(list.items().size()),
                "no more matches than items");
            for (int row = 0; row < list.numberOfMatchingItems(); ++row)
                list.matchingFilePathAt(row);
            list.resultCountString();
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
