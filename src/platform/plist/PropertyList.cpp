#include "platform/plist/PropertyList.h"

#include "platform/core/Log.h"
#include "platform/core/PlatformLog.h"
#include "platform/files/AtomicFile.h"
#include "platform/files/RegularFile.h"
#include "platform/plist/PropertyListParser.h"
#include "platform/plist/PropertyListWriter.h"
#include "platform/plist/StringRecordReader.h"
#include "platform/plist/Utf8.h"

#include <new>

namespace quorvel {

namespace {

// The bytes of a whole file, read in one go, which the reader then decodes in place. Not mapped: a mapped
// file that another program truncates while it is parsed would end the process with a bus error, and a bad
// file must never do more than read as no value. Nor opened as it comes: a FIFO in its place would
// keep the reader waiting for good (RegularFile).
std::optional<QByteArray> fileBytes(const QString& path)
{
    return RegularFile::readAll(path);
}

// Runs a reader (or a writer). A file too large for the memory left reads as no value, and a
// value too large to write as no data, with one line saying so, instead of ending the process.
template <typename Result, typename Run> Result guarded(const QString& failure, Result failed, Run run)
{
    try {
        return run();
    } catch (const std::bad_alloc&) {
        Log::line(platformLog(), failure + QStringLiteral(": not enough memory"));
        return failed;
    }
}

QString couldNotRead(const QString& what)
{
    return QStringLiteral("Could not read ") + what;
}

const QString couldNotWrite = QStringLiteral("Could not write a property list");

QVariant parsed(QByteArray& bytes)
{
    if (bytes.isEmpty())
        return {};
    PropertyListScanner scanner(bytes.data(), bytes.data() + bytes.size());
    return PropertyListParser(scanner).parseDocument().value_or(QVariant());
}

// Empty data is what the writer answers for a value it cannot write (or could not, for want of
// memory): nothing is written then.
bool written(const QString& path, const QByteArray& data)
{
    return !data.isEmpty() && AtomicFile::write(path, data);
}

} // namespace

QVariant PropertyList::fromData(const QByteArray& data)
{
    return guarded(couldNotRead(QStringLiteral("property list data")), QVariant(), [&data] {
        QByteArray bytes = data; // a copy of its own: the reader decodes in place
        bytes.detach();
        return parsed(bytes);
    });
}

QVariant PropertyList::readFile(const QString& path)
{
    return guarded(couldNotRead(path), QVariant(), [&path] {
        std::optional<QByteArray> bytes = fileBytes(path);
        return bytes ? parsed(*bytes) : QVariant();
    });
}

std::optional<QVariantList> PropertyList::readArrayFile(const QString& path)
{
    const QVariant root = readFile(path);
    if (root.metaType().id() != QMetaType::QVariantList)
        return std::nullopt;
    return root.toList();
}

std::optional<QVariantMap> PropertyList::readDictionaryFile(const QString& path)
{
    const QVariant root = readFile(path);
    if (root.metaType().id() != QMetaType::QVariantMap)
        return std::nullopt;
    return root.toMap();
}

bool PropertyList::readStringRecords(
    const QString& path, const QStringList& keys, const StringRecordVisitor& visit)
{
    return guarded(couldNotRead(path), false, [&] {
        std::optional<QByteArray> bytes = fileBytes(path);
        if (!bytes || bytes->isEmpty())
            return false;
        PropertyListScanner scanner(bytes->data(), bytes->data() + bytes->size());
        return StringRecordReader(scanner, keys).read(visit);
    });
}

QByteArray PropertyList::toData(const QVariant& value)
{
    return guarded(couldNotWrite, QByteArray(), [&value] {
        PropertyListWriter writer;
        writer.appendHeader();
        if (!writer.write(value, 0))
            return QByteArray();
        writer.append("</plist>\n");
        return writer.take();
    });
}

QByteArray PropertyList::stringRecordsToData(
    const QStringList& keys, std::size_t count, const StringRecordSource& valueOf)
{
    return guarded(couldNotWrite, QByteArray(), [&] {
        PropertyListWriter writer;
        writer.appendHeader();
        writer.writeStringRecords(keys, count, valueOf);
        writer.append("</plist>\n");
        return writer.take();
    });
}

bool PropertyList::writeStringRecords(
    const QString& path, const QStringList& keys, std::size_t count, const StringRecordSource& valueOf)
{
    return written(path, stringRecordsToData(keys, count, valueOf));
}

bool PropertyList::writeFile(const QString& path, const QVariant& value)
{
    return written(path, toData(value));
}

QString PropertyList::storedString(const QString& text)
{
    const auto carried = [&text](qsizetype i, qsizetype& width) {
        const char16_t unit = text.at(i).unicode();
        width = 1;
        if (QChar::isHighSurrogate(unit) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            width = 2;
            return true;
        }
        return Utf8::isXmlCharacter(unit);
    };
    qsizetype width = 1;
    qsizetype i = 0;
    while (i < text.size() && carried(i, width))
        i += width;
    if (i == text.size())
        return text; // nearly always: shared, not copied
    QString stored = text.left(i);
    for (; i < text.size(); i += width) {
        if (carried(i, width))
            stored += QStringView(text).mid(i, width);
    }
    return stored;
}

} // namespace quorvel
