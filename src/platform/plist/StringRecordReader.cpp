#include "platform/plist/StringRecordReader.h"

#include "platform/plist/Utf8.h"

#include <algorithm>

namespace quorvel {

StringRecordReader::StringRecordReader(PropertyListScanner& scanner, const QStringList& keys)
    : scanner(scanner)
    , skipped(scanner)
    , values(std::size_t(keys.size()))
    , present(new bool[std::size_t(keys.size()) + 1])
{
    for (const QString& key : keys)
        wanted.push_back(key.toUtf8());
}

bool StringRecordReader::read(const PropertyList::StringRecordVisitor& visit)
{
    Tag array;
    if (!scanner.openPlist() || !scanner.readValueTag(array) || !array.is("array"))
        return false;
    const bool read = scanner.forEachChild(array, [&](const Tag& child) {
        if (!child.is("dict")) {
            QVariant value;
            return skipped.parseElement(child, value);
        }
        std::fill(present.get(), present.get() + wanted.size(), false);
        for (QString& value : values)
            clearReused(value);
        if (!readRecord(child))
            return false;
        visit(values.data(), present.get());
        return true;
    });
    return read && scanner.closePlist();
}

bool StringRecordReader::readRecord(const Tag& dictionary)
{
    return scanner.forEachChild(dictionary, [this](const Tag& keyTag) {
        Text key;
        Tag valueTag;
        if (!scanner.readEntry(keyTag, key, valueTag))
            return false;
        const int index = indexOfKey(key);
        if (index >= 0 && valueTag.is("string")) {
            Text text;
            if (!scanner.readText(valueTag, text))
                return false;
            Utf8::decodeInto(values[std::size_t(index)], text.data, text.size);
            present[index] = true;
            return true;
        }
        QVariant value;
        if (!skipped.parseElement(valueTag, value))
            return false;
        if (index >= 0) { // a later non-string value replaces an earlier string
            clearReused(values[std::size_t(index)]);
            present[index] = false;
        }
        return true;
    });
}

int StringRecordReader::indexOfKey(const Text& key) const
{
    const auto match = std::find_if(wanted.begin(), wanted.end(),
        [&key](const QByteArray& w) { return key.equals(w.constData(), w.size()); });
    return match == wanted.end() ? -1 : int(match - wanted.begin());
}

// Empties a value but keeps its buffer, unless the visitor kept a copy of the string.
void StringRecordReader::clearReused(QString& value)
{
    if (value.isDetached())
        value.truncate(0);
    else
        value = QString();
}

} // namespace quorvel
