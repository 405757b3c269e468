#pragma once
// The streaming reader behind PropertyList::readStringRecords: walks a document whose root is
// an array of dictionaries and hands each dictionary's requested string values to a visitor,
// without building QVariants for them. What it passes over is read by the tree reader and
// dropped. Internal to the property-list reader.

#include "platform/plist/PropertyList.h"
#include "platform/plist/PropertyListParser.h"

#include <QByteArray>
#include <memory>
#include <vector>

namespace quorvel {

class StringRecordReader final {
public:
    StringRecordReader(PropertyListScanner& scanner, const QStringList& keys);

    // The whole document; false at a fault (records visited before it must then be dropped).
    bool read(const PropertyList::StringRecordVisitor& visit);

private:
    PropertyListScanner& scanner;
    PropertyListParser skipped; // reads the values nobody asked for
    std::vector<QByteArray> wanted;
    // One value and one flag per wanted key, reused from record to record: their buffers
    // grow to the longest value once instead of being allocated for every record.
    std::vector<QString> values;
    std::unique_ptr<bool[]> present;

    bool readRecord(const Tag& dictionary);
    int indexOfKey(const Text& key) const;
    static void clearReused(QString& value);
};

} // namespace quorvel
