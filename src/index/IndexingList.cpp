#include "index/IndexingList.h"

#include "index/IndexLog.h"
#include "platform/core/InternalInconsistency.h"
#include "platform/core/Log.h"
#include "platform/desktop/Bundle.h"
#include "platform/files/FileManager.h"
#include "platform/files/Folders.h"
#include "platform/files/UnreadableFile.h"
#include "platform/plist/PropertyList.h"
#include "platform/settings/StoredValue.h"

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
    // A list file damaged since it was read is set aside before the entries take its place.
    UnreadableFile::keepCopyIfUnreadable(
        path, [](const QString& file) { return PropertyList::readArrayFile(file).has_value(); });
    if (!PropertyList::writeFile(path, entryArray))
        Log::line(indexLog(), QStringLiteral("Could not write %1").arg(path));
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
    std::optional<QVariantList> loaded = readListFile();
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

std::optional<QVariantList> IndexingList::readListFile() const
{
    const QString path = listFilePath();
    std::optional<QVariantList> loaded = PropertyList::readArrayFile(path);
    if (!loaded && FileManager::fileExistsAtPath(path))
        UnreadableFile::keepCopy(path); // the list's defaults stand in for it, as for a missing file
    return loaded;
}

QVariantMap IndexingList::entryMap(const QVariant& entry)
{
    if (entry.typeId() != QMetaType::QVariantMap)
        return {};
    return entry.toMap();
}

bool IndexingList::boolValue(const QVariant& value)
{
    return StoredValue::toBool(value);
}

QString IndexingList::stringValue(const QVariant& value)
{
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

qint64 IndexingList::integerValue(const QVariant& value)
{
    return StoredValue::toInteger(value);
}

} // namespace quorvel
