#pragma once
// Writes the XML form of a property list into one growing buffer. Characters XML 1.0 cannot
// carry (control characters other than tab, line feed and carriage return; lone surrogates;
// U+FFFE and U+FFFF) are left out: with them no other reader would accept the file at all. A
// carriage return is written as a reference, since XML readers turn a literal one into a line
// feed. Internal to PropertyList.

#include "platform/plist/PropertyList.h"

#include <QByteArray>
#include <QDateTime>
#include <QVariant>

namespace quorvel {

class PropertyListWriter final {
public:
    // The declaration, the document type and the root's start tag.
    void appendHeader();
    // What writeList and writeMap write for an array of dictionaries of strings.
    void writeStringRecords(
        const QStringList& keys, std::size_t count, const PropertyList::StringRecordSource& valueOf);
    // The value at the indentation; false (with the output then unusable) for a value that is
    // no property-list type.
    bool write(const QVariant& value, int indent);
    void append(const char* text, qsizetype n);
    void append(const char* text);
    QByteArray take();

private:
    QByteArray out;
    qsizetype used = 0; // out is grown ahead in large steps; only its first `used` bytes count

    char* room(qsizetype n);
    void reserveForStringRecords(
        const QStringList& keys, std::size_t count, const PropertyList::StringRecordSource& valueOf);
    void indentTo(int indent);
    void line(int indent, const char* text);
    void openTag(const char* tag);
    void closeTag(const char* tag);
    void writeScalar(const char* tag, const QByteArray& text, int indent);
    void writeString(const char* tag, const QString& string, int indent);
    bool writeDate(const QDateTime& date, int indent);
    // "<tag/>" when there are no elements, else "<tag>", each element one level deeper, "</tag>".
    template <typename Elements, typename WriteEach>
    bool writeContainer(const char* tag, const Elements& elements, int indent, WriteEach writeEach);
    bool writeMap(const QVariantMap& map, int indent);
    bool writeHash(const QVariantHash& hash, int indent);
    bool writeList(const QVariantList& list, int indent);
    bool writeStringList(const QStringList& list, int indent);
    // Encodes straight into the output: this runs for every name and path of the index.
    void appendEscaped(const QString& string);
    static char* appendSpecial(char* o, char32_t c);
};

} // namespace quorvel
