#pragma once
// The ordered list of folders the disk scan walks. Each entry: "path" (stored as entered, a
// trailing "/" included), "includeSubFolders", "enabled"; further keys are kept.
// Threads and the lock: see IndexingList.

#include "index/IndexingList.h"

#include <optional>
#include <vector>

namespace quorvel {

class SearchLocations final : public IndexingList {
public:
    // The default locations, replaced by the list file's content when that file can be read.
    SearchLocations();

    // Replaces the entries by the list file's when it can be read; a missing or unreadable file
    // leaves them as they are (an unreadable one is set aside, see UnreadableFile).
    void load();

    void addLocationIncludeSubFoldersEnabled(const QString& path, bool includeSubFolders, bool enabled);
    // The caller passes a legal index.
    void removeAtIndex(int index);
    // The entry becomes one holding only "path" and "includeSubFolders" (so it reads as disabled).
    void updateLocationIncludeSubFoldersAtIndex(const QString& path, bool includeSubFolders, int index);

    // An enabled location whose path is absolute: a definite folder for scans to walk.
    struct Folder {
        QString path; // as stored
        bool includeSubFolders;
    };
    // Those locations in list order; the others name nothing to walk.
    std::vector<Folder> enabledFolders() const;

    QString pathAtIndex(int index) const;
    bool enabledAtIndex(int index) const;
    bool includeSubFoldersAtIndex(int index) const;

    // Table data source: the number of rows, and the "path" of a (legal) row for every column.
    int numberOfRowsInTableView() const { return count(); }
    QString tableViewObjectValueForTableColumnRow(int row) const;

private:
    void addDefaultLocations();
    // The entry at a legal index; logs and answers nothing for an illegal one.
    std::optional<QVariantMap> entryAtIndex(int index) const;
};

QString _searchLocationsPath();

} // namespace quorvel
