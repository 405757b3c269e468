#include "index/IndexingList.h"

#include "platform/Bundle.h"
#include "platform/Folders.h"
#include "platform/InternalInconsistency.h"
#include "platform/Log.h"
#include "platform/PropertyList.h"

#include <QDebug>

namespace quorvel {

IndexingList::IndexingList(QString listFileName)
    : storedFileName(std::move(listFileName))
{
}

IndexingList::~IndexingList() = default;

void IndexingList::save() const
{
    // Written under the lock: a list file is small, and no copy of the entries outlives the lock
    // on the saving thread (their data is shared, and its last reference may not be dropped
    // there while an editor works on it).
    const QString path = listFilePath();
    const std::lock_guard<std::mutex> guard(entryLock);
    if (!PropertyList::writeFile(path, entryArray))
        Log::line(QStringLiteral("Could not write %1").arg(path));
}

int IndexingList::count() const
{
    return static_cast<int>(entryArray.size());
}

QVariantList& IndexingList::contents()
{
    return entryArray;
}

std::mutex& IndexingList::lock() const
{
    return entryLock;
}

QVariantList IndexingList::copyOfContents() const
{
    const std::lock_guard<std::mutex> guard(entryLock);
    return entryArray;
}

QString IndexingList::description() const
{
    QString text;
    QDebug(&text).noquote() << copyOfContents();
    return text;
}

QString IndexingList::listFilePath() const
{
    return Folders::pathInPreferencesFolder(storedFileName);
}

void IndexingList::replaceEntries(QVariantList newEntries)
{
    const std::lock_guard<std::mutex> guard(entryLock);
    entryArray = std::move(newEntries);
}

void IndexingList::loadFromFileOrDefaults(
    const QString& resourceName, const QString& failureDescription, const char* sourceFile)
{
    std::optional<QVariantList> loaded = PropertyList::readArrayFile(listFilePath());
    if (!loaded) {
        const QString resource = Bundle::mainBundle().pathForResource(resourceName, QStringLiteral("xml"));
        if (!resource.isEmpty())
            loaded = PropertyList::readArrayFile(resource);
    }
    if (!loaded)
        throw InternalInconsistency(failureDescription, "load", sourceFile);
    // QVariantMap entries are values already: each entry is the list's own, editable copy.
    replaceEntries(std::move(*loaded));
}

QVariantMap IndexingList::entryMap(const QVariant& entry)
{
    if (entry.typeId() != QMetaType::QVariantMap)
        return {};
    return entry.toMap();
}

bool IndexingList::boolValue(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return value.toDouble() != 0.0;
    case QMetaType::QString: {
        // As the platform reads a string as a flag: "YES", "true", or a non-zero number.
        const QString text = value.toString().trimmed();
        if (text.startsWith(QLatin1Char('Y'), Qt::CaseInsensitive)
            || text.startsWith(QLatin1Char('T'), Qt::CaseInsensitive))
            return true;
        return integerValue(value) != 0;
    }
    default:
        return false;
    }
}

QString IndexingList::stringValue(const QVariant& value)
{
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

qint64 IndexingList::integerValue(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return value.toLongLong();
    case QMetaType::Double:
        return static_cast<qint64>(value.toDouble());
    case QMetaType::QString: {
        // The leading integer of the text, as the platform reads a string as a number.
        const QString text = value.toString().trimmed();
        qsizetype end = 0;
        if (end < text.size() && (text[end] == QLatin1Char('-') || text[end] == QLatin1Char('+')))
            ++end;
        while (end < text.size() && text[end].isDigit() && text[end].unicode() < 0x80)
            ++end;
        return text.left(end).toLongLong();
    }
    default:
        return 0;
    }
}

} // namespace quorvel
