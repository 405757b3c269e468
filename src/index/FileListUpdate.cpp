// Bringing the index up to date for a few changed folders without walking every location: the
// entries named in the change are taken out of the index the scanner last wrote, the folder is
// read again, and what those entries give now is merged in. This is only done where the result
// is the index a full scan would write; wherever that cannot be known, a full scan runs instead.

#include "index/FileList.h"

#include "index/DocumentTypes.h"
#include "index/FileExclusionList.h"
#include "index/FileListDelegate.h"
#include "index/FolderExclusionList.h"
#include "index/IndexLog.h"
#include "index/SearchLocations.h"
#include "platform/core/Log.h"
#include "platform/files/FileManager.h"
#include "platform/files/Folders.h"
#include "search/IndexFile.h"

#include <QSet>
#include <algorithm>

namespace quorvel {

namespace {

// The folder's entries' paths begin with this, as the walk joins them.
QString entryPrefix(const QString& folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

bool isInside(const QString& path, const QString& folder)
{
    return folder == QLatin1String("/") ? path.startsWith(folder)
                                        : path.startsWith(folder + QLatin1Char('/'));
}

bool sameItem(const LaunchItem& a, const LaunchItem& b)
{
    return a.name == b.name && a.type == b.type && a.path == b.path;
}

} // namespace

// What an update works from: the enabled locations and the index as the last scan left it.
struct FileList::IndexUpdate {
    struct Root {
        QString path; // as stored
        QString resolved; // links resolved, no trailing "/"
        bool recursive;
    };
    std::vector<Root> roots;
    ItemArray items;
    QSet<QString> walkedFolders; // the "fold" items' paths
    // The changed entries, by folder: their items are taken out, with everything below them.
    struct ChangedFolder {
        QString prefix; // the folder's path with one "/" after it
        QSet<QString> names;
    };
    std::vector<ChangedFolder> changed;

    bool isChanged(const QString& path) const;
};

bool FileList::IndexUpdate::isChanged(const QString& path) const
{
    for (const ChangedFolder& folder : changed) {
        if (!path.startsWith(folder.prefix))
            continue;
        const qsizetype start = folder.prefix.size();
        const qsizetype slash = path.indexOf(QLatin1Char('/'), start);
        if (folder.names.contains(path.mid(start, slash < 0 ? -1 : slash - start)))
            return true;
    }
    return false;
}

bool FileList::updateChangedFolders(std::vector<FolderChange> changes)
{
    return startScanningThread(
        [this, changes = std::move(changes)] { updateIndexForChangedFolders(changes); });
}

void FileList::scanAsBasisForUpdates()
{
    const QString lists = describeLists();
    listsOfLastScan.reset();
    walkedFoldersHaveNoLinks.reset();
    updateApplicationNames();
    if (indexWritten.load() && !stopping())
        listsOfLastScan = lists;
}

QString FileList::describeLists() const
{
    QString text;
    for (const IndexingList* list :
        { static_cast<const IndexingList*>(locations), static_cast<const IndexingList*>(documentTypes),
            static_cast<const IndexingList*>(folderExclusionList),
            static_cast<const IndexingList*>(fileExclusionList) })
        text += (list ? list->description() : QString()) + QLatin1Char('\n');
    return text;
}

void FileList::updateIndexForChangedFolders(const std::vector<FolderChange>& changes)
{
    // The status line keeps the last scan's completion line: an update re-reads a few folders,
    // it is no disk scan. While it runs, the walk shows the folders it reads.
    const QString statusBefore = statusString();
    QString why;
    bool changed = false;
    std::optional<ItemArray> updated = indexWithChangedFolders(changes, changed, why);
    if (stopping())
        return;
    if (!updated) {
        Log::line(indexLog(), QStringLiteral("Scanning every location: %1").arg(why));
        scanAsBasisForUpdates();
        return;
    }
    const bool written = !changed || writeIndex(*updated);
    indexWritten.store(written);
    if (!written)
        listsOfLastScan.reset();
    currentlyUpdatingApplicationList.store(false);
    if (!written) {
        changeStatus(QStringLiteral("The index could not be written."));
        return;
    }
    if (changed)
        reportWrittenIndex();
    changeStatus(statusBefore);
}

std::optional<FileList::ItemArray> FileList::indexWithChangedFolders(
    const std::vector<FolderChange>& changes, bool& changed, QString& why)
{
    if (!listsOfLastScan) {
        why = QStringLiteral("no scan of this run has written the index");
        return std::nullopt;
    }
    // The same snapshots a scan takes, so that the entries are classified as a scan would.
    std::optional<ItemArray> merged;
    const bool listsTaken = withListSnapshots([&](const SearchLocations& snapshot) {
        IndexUpdate update;
        ItemArray added;
        if (!startUpdate(snapshot, update, why) || !addAllChangedEntries(update, changes, added, why))
            return;
        merged = mergedIndex(update, std::move(added), why);
        if (merged)
            changed = !std::equal(
                merged->begin(), merged->end(), update.items.begin(), update.items.end(), sameItem);
    });
    if (!listsTaken)
        why = QStringLiteral("the document types cannot be read");
    return merged;
}

bool FileList::startUpdate(const SearchLocations& snapshot, IndexUpdate& update, QString& why)
{
    if (describeLists() != *listsOfLastScan) {
        why = QStringLiteral("the lists changed since the last scan");
        return false;
    }
    if (!readLastWrittenIndex(update.items)) {
        why = QStringLiteral("the index is not the one the last scan wrote");
        return false;
    }
    if (!collectSeparateRoots(snapshot, update)) {
        why = QStringLiteral("the locations overlap");
        return false;
    }
    if (!walkedFoldersAreFreeOfLinks(update)) {
        why = QStringLiteral("a folder of the index is reached through a link");
        return false;
    }
    return true;
}

bool FileList::addAllChangedEntries(
    IndexUpdate& update, const std::vector<FolderChange>& changes, ItemArray& added, QString& why)
{
    // A folder below a changed entry is read again with that entry: its own change is covered.
    std::vector<const FolderChange*> outermostFirst;
    for (const FolderChange& change : changes)
        outermostFirst.push_back(&change);
    std::sort(outermostFirst.begin(), outermostFirst.end(),
        [](const FolderChange* a, const FolderChange* b) { return a->folder.size() < b->folder.size(); });
    for (const FolderChange* change : outermostFirst) {
        if (!update.isChanged(Folders::withoutTrailingSlashes(change->folder))
            && !addChangedEntriesOfFolder(update, *change, added, why))
            return false;
    }
    return true;
}

std::optional<FileList::ItemArray> FileList::mergedIndex(
    const IndexUpdate& update, ItemArray added, QString& why)
{
    sortAlphabetically(added);
    // Each added item's place is found by a binary search of the kept ones, which are already in
    // the index order: a change costs a pass over the index, not a comparison with every item.
    const auto before
        = [](const LaunchItem& a, const LaunchItem& b) { return _sortAlphabetically(a, b) < 0; };
    ItemArray merged;
    merged.reserve(update.items.size() + added.size());
    auto next = update.items.begin();
    const auto copyKeptUpTo = [&](ItemArray::const_iterator end) {
        for (; next != end; ++next) {
            if (!update.isChanged(next->path))
                merged.push_back(*next);
        }
    };
    for (LaunchItem& item : added) {
        copyKeptUpTo(std::upper_bound(next, update.items.end(), item, before));
        merged.push_back(std::move(item));
    }
    copyKeptUpTo(update.items.end());
    // Items the index order cannot tell apart end up in whatever order a full scan's sort leaves
    // them, which a merge cannot reproduce.
    for (std::size_t i = 1; i < merged.size(); ++i) {
        if (_sortAlphabetically(merged[i - 1], merged[i]) == 0 && !sameItem(merged[i - 1], merged[i])) {
            why = QStringLiteral("two items the index order cannot tell apart");
            return std::nullopt;
        }
    }
    return merged;
}

bool FileList::readLastWrittenIndex(ItemArray& items) const
{
    const QString path = _combinedListPath();
    const std::optional<FileIdentity> before = FileIdentity::ofFile(path);
    if (!before || !lastWrittenIndex || !(*before == *lastWrittenIndex))
        return false;
    const bool read = IndexFile::readItems(path, items);
    // Replaced while it was read: what was read may be a mixture.
    const std::optional<FileIdentity> after = FileIdentity::ofFile(path);
    return read && after && *after == *before;
}

bool FileList::collectSeparateRoots(const SearchLocations& snapshot, IndexUpdate& update) const
{
    for (const SearchLocations::Folder& location : snapshot.enabledFolders()) {
        const QString resolved = FileManager::resolvedPath(location.path);
        update.roots.push_back(
            { location.path, Folders::withoutTrailingSlashes(resolved.isEmpty() ? location.path : resolved),
                location.includeSubFolders });
    }
    // A folder reached from two locations is in the index twice: a change of it would have to
    // be found under both.
    for (std::size_t a = 0; a < update.roots.size(); ++a) {
        for (std::size_t b = a + 1; b < update.roots.size(); ++b) {
            const QString& one = update.roots[a].resolved;
            const QString& other = update.roots[b].resolved;
            if (one == other || isInside(one, other) || isInside(other, one))
                return false;
        }
    }
    return true;
}

// A walk that follows a link to a folder may meet the same folder under two paths, or stop where
// it leads back to a folder being walked, neither of which a walk of one folder can see.
bool FileList::walkedFoldersAreFreeOfLinks(IndexUpdate& update)
{
    for (const LaunchItem& item : update.items) {
        if (item.type == LaunchItemType::folder)
            update.walkedFolders.insert(item.path);
    }
    if (!walkedFoldersHaveNoLinks) {
        walkedFoldersHaveNoLinks = std::none_of(
            update.walkedFolders.begin(), update.walkedFolders.end(), [&update](const QString& folder) {
                const bool isRoot = std::any_of(update.roots.begin(), update.roots.end(),
                    [&folder](const IndexUpdate::Root& root) { return root.path == folder; });
                return !isRoot && FileManager::isSymbolicLinkAtPath(folder);
            });
    }
    return *walkedFoldersHaveNoLinks;
}

bool FileList::addChangedEntriesOfFolder(
    IndexUpdate& update, const FolderChange& change, ItemArray& added, QString& why)
{
    const QString& folder = change.folder;
    const auto root = std::find_if(update.roots.begin(), update.roots.end(), [&folder](const auto& root) {
        return root.path == folder
            || (root.recursive && isInside(folder, Folders::withoutTrailingSlashes(root.path)));
    });
    if (root == update.roots.end()) {
        why = QStringLiteral("%1 is in no location").arg(folder);
        return false;
    }
    // Below the location's own folder, only a folder the last scan walked is read as it would.
    if (root->path != folder && !update.walkedFolders.contains(folder)) {
        why = QStringLiteral("%1 was not walked by the last scan").arg(folder);
        return false;
    }
    ItemArray listed;
    searchPathAddToCombinedListRecursive(folder, listed, false);
    if (listed.empty() && !FileManager::fileExistsAtPath(folder)) {
        why = QStringLiteral("%1 is gone").arg(folder);
        return false;
    }
    IndexUpdate::ChangedFolder changed { entryPrefix(folder), {} };
    for (const QString& name : change.names) {
        if (!name.isEmpty() && !name.contains(QLatin1Char('/')))
            changed.names.insert(name);
    }
    // The folder's own item stays as it is: the folder was not renamed, its parent would say so.
    for (LaunchItem& item : listed) {
        if (item.path.startsWith(changed.prefix)
            && changed.names.contains(item.path.mid(changed.prefix.size())))
            added.push_back(std::move(item));
    }
    for (const QString& name : std::as_const(changed.names)) {
        if (root->recursive && !name.startsWith(QLatin1Char('.')) && canStandInTheIndex(name)
            && !walkIntoChangedEntry(changed.prefix + name, added, why))
            return false;
    }
    update.changed.push_back(std::move(changed));
    return true;
}

// The entry as the walk of its folder would go into it: a folder that is no pane, application or
// document and that the folder exclusion list lets through is walked with all below it.
bool FileList::walkIntoChangedEntry(const QString& path, ItemArray& added, QString& why)
{
    bool isFolder = false;
    if (!FileManager::fileExistsAtPath(path, &isFolder) || !isFolder)
        return true;
    if (isPreferencesPane(path, true) || isApplicationFolder(path) || isDocumentAtPath(path))
        return true;
    if (folderExclusionList && folderExclusionList->exclude(path))
        return true;
    const std::size_t first = added.size();
    searchPathAddToCombinedListRecursive(path, added, true);
    for (std::size_t i = first; i < added.size(); ++i) {
        if (added[i].type == LaunchItemType::folder && FileManager::isSymbolicLinkAtPath(added[i].path)) {
            why = QStringLiteral("%1 is reached through a link").arg(added[i].path);
            return false;
        }
    }
    return true;
}

} // namespace quorvel
