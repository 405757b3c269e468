#pragma once
// Reader and writer of the XML property-list format.
// Values are QVariant: dict -> QVariantMap, array -> QVariantList, string -> QString,
// integer -> qint64, real -> double, true/false -> bool, date -> QDateTime (UTC), data -> QByteArray.
// A file that is missing, truncated, not well-formed or of the wrong root type reads as no value.
// Writing is atomic: temporary file in the same folder, flushed, renamed, folder synced.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <optional>

namespace quorvel {

class PropertyList final {
public:
    // The root value, or an invalid QVariant when the data is not a whole, well-formed property list.
    static QVariant fromData(const QByteArray& data);
    static QVariant readFile(const QString& path);
    // The root when it is an array / a dictionary; std::nullopt otherwise (missing file included).
    static std::optional<QVariantList> readArrayFile(const QString& path);
    static std::optional<QVariantMap> readDictionaryFile(const QString& path);

    // Streams a file whose root is an array of dictionaries without building QVariants: for each
    // dictionary, visit gets one value per requested key (in the keys' order) and whether that
    // key held a string; other keys and non-string values are passed over. Elements of the array
    // that are not dictionaries are skipped. Answers false when the file is missing or is not a
    // whole, well-formed array; records visited before the fault was found must then be dropped.
    using StringRecordVisitor = std::function<void(const QString* values, const bool* present)>;
    static bool readStringRecords(
        const QString& path, const QStringList& keys, const StringRecordVisitor& visit);

    // The mirror of readStringRecords: an array of count dictionaries of strings, written without
    // building QVariants. valueOf(record, key) gives the string of one key (an index into keys) of
    // one record; keys are written in the order given, so pass them sorted to get exactly the bytes
    // toData gives for the same dictionaries.
    using StringRecordSource = std::function<QString(std::size_t record, int key)>;
    static QByteArray stringRecordsToData(
        const QStringList& keys, std::size_t count, const StringRecordSource& valueOf);
    static bool writeStringRecords(
        const QString& path, const QStringList& keys, std::size_t count, const StringRecordSource& valueOf);

    // The string as a file written here gives it back: the characters XML cannot carry (most
    // control characters, unpaired surrogates, U+FFFE, U+FFFF) are left out, as the writer does.
    static QString storedString(const QString& text);

    // The XML form of the value, with the standard header and DOCTYPE.
    static QByteArray toData(const QVariant& value);
    // Writes toData(value) atomically; answers whether the file now holds it. A failed write
    // leaves the old file untouched.
    static bool writeFile(const QString& path, const QVariant& value);
};

} // namespace quorvel
