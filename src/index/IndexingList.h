#pragma once
// The common shape of the four lists that steer the disk scan: an owned array of entries
// (QVariantMap, unknown keys kept) loaded from a property-list file in the Preferences folder,
// written back whole and atomically, and handed out live for in-place editing.
//
// Threads: the scanning thread saves or reads a live list while the main thread may edit it.
// Whoever touches contents() must hold lock() for as long as it does (reads through the
// non-const array included: they may detach it). The list's own editing operations and save()
// take the lock themselves, so never call them while holding it (the mutex is not recursive).
// The other read accessors are main-thread reads and take no lock.

#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>
#include <mutex>
#include <optional>

namespace quorvel {

class IndexingList {
public:
    virtual ~IndexingList();
    IndexingList(const IndexingList&) = delete;
    IndexingList& operator=(const IndexingList&) = delete;

    // Writes the entries to the list file atomically; a failed write is logged. A list file that
    // cannot be read is set aside first (UnreadableFile).
    void save() const;
    int count() const;
    // The live array itself. Hold lock() while using it.
    QVariantList& contents();
    std::mutex& lock() const;
    // A copy of the entries as they are now, taken under the lock.
    QVariantList copyOfContents() const;
    // The textual rendering of the whole entry array.
    QString description() const;

    QString listFilePath() const;

protected:
    explicit IndexingList(QString listFileName);

    // Replaces the entries, under the lock.
    void replaceEntries(QVariantList newEntries);
    // The list file's entries; std::nullopt when it is missing or cannot be read (a copy of an
    // unreadable one is then set aside).
    std::optional<QVariantList> readListFile() const;
    // Fills the entries from the list file, else from the application's defaults resource
    // "<resourceName>.xml"; with neither readable, raises failureDescription from load.
    void loadFromFileOrDefaults(
        const QString& resourceName, const QString& failureDescription, const char* sourceFile);
    const QVariantList& entries() const { return entryArray; }
    // For the list's own edits, made while holding lock().
    QVariantList& mutableEntries() { return entryArray; }

    // Values of an entry as the stored dictionaries may hold them: flags and numbers as
    // StoredValue reads them; a string of the wrong type reads as "".
    static QVariantMap entryMap(const QVariant& entry);
    static bool boolValue(const QVariant& value);
    static QString stringValue(const QVariant& value);
    static qint64 integerValue(const QVariant& value);

private:
    const QString storedFileName;
    QVariantList entryArray;
    mutable std::mutex entryLock;
};

} // namespace quorvel
