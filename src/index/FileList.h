#pragma once
// The disk scanner. On request it walks every enabled search location on its own thread,
// classifies each entry as a preference pane, an application, a document or a folder, leaves
// out what the exclusion lists name, sorts the launch items and writes the index file in one
// atomic write (an index there that cannot be read is set aside first). It keeps a one-line
// status text and tells its delegate of every change of it and of each new index file, and its
// listener (the watcher) of each new index and of each scan's end; all these calls are made on
// the scanning thread. Helper threads list and classify folders ahead of the walk
// (LookAheadWalk); the reports and the items keep the order of a walk on one thread. A scan
// that could not write the index ends with the status "The index could not be written."
// instead of the completion line.
//
// One scan at a time; a request while one runs is dropped. Destroying the scanner stops a
// running scan at the next entry and waits for its thread; an interrupted scan writes nothing
// and makes no further calls to the delegate. The lists and the delegate must outlive it.

#include "index/FolderVisits.h"
#include "index/LookAheadWalk.h"
#include "platform/files/FileIdentity.h"
#include "search/LaunchItem.h"
#include "search/LaunchItemTable.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace quorvel {

class DocumentTypes;
class FileExclusionList;
class FileListDelegate;
class FolderExclusionList;
class ScanListener;
class SearchLocations;

class FileList final {
public:
    using Item = LaunchItem;
    using ItemArray = std::vector<LaunchItem>;

    FileList();
    ~FileList();
    FileList(const FileList&) = delete;
    FileList& operator=(const FileList&) = delete;

    void setAppController(FileListDelegate* controller) { appController = controller; }
    void setSearchLocations(SearchLocations* list) { locations = list; }
    void setDocumentTypes(DocumentTypes* list) { documentTypes = list; }
    void setFileExclusionList(FileExclusionList* list) { fileExclusionList = list; }
    void setFolderExclusionList(FolderExclusionList* list) { folderExclusionList = list; }
    // The one listener told of each new index and of each scan's end (nullptr: none). May be
    // changed while a scan runs: once this returns, the one replaced is told nothing more.
    void setScanListener(ScanListener* listener);

    // What the scan timer fires and what scanning now asks for.
    void timeUpForRedoingFileList() { redoFileList(); }
    // Starts a scan on a new thread unless one is in progress; returns at once.
    void redoFileList();
    // Entries of one folder that appeared, went, were renamed or rewritten, by name.
    struct FolderChange {
        QString folder; // as the index spells it
        QStringList names;
    };
    // Brings the index up to date for changed folders on a new scanning thread, one at a time as
    // scans are; answers false, doing nothing, while a scan or an update runs (FileListUpdate.cpp).
    bool updateChangedFolders(std::vector<FolderChange> changes);
    // The body of one update: re-reads only the changed folders where that gives the index a full
    // scan would, else scans every location. Runs on the scanning thread.
    void updateIndexForChangedFolders(const std::vector<FolderChange>& changes);

    // Blocks until the scan in progress (if any) has finished, its last report included.
    void waitUntilScanHasFinished();

    QString statusString() const;
    // Before the first scan of this run: the status the last scan left, when it completed
    // dated by the index file it wrote; nothing when there is no index file.
    void recallLastCompletedScan();
    bool showProgressIndicator() const { return currentlyUpdatingApplicationList.load(); }
    // Whether the last scan that ran to its end wrote the index file.
    bool lastScanWroteIndex() const { return indexWritten.load(); }

    // The body of one scan. Runs on the scanning thread.
    void updateApplicationNames();
    // Walks one folder, depth first, appending to list. Further threads list and classify the
    // subfolders ahead; the status reports and the items keep the walk's order.
    void searchPathAddToCombinedListRecursive(const QString& path, ItemArray& list, bool recursive);

    bool isPreferencesPane(const QString& path) const;
    QString nameOfPreferencesPane(const QString& path) const;
    bool isApplicationAtPath(const QString& path) const;
    bool isDocumentAtPath(const QString& path) const;

    // Sorts into the index order (_sortAlphabetically), once after the walk.
    static void sortAlphabetically(ItemArray& list);

private:
    using WalkedFolder = LookAheadWalk::Folder;
    using WalkedEntries = std::vector<LookAheadWalk::Entry>;

    // Runs body on a new scanning thread unless a scan or an update is in progress, and tells
    // the listener when it has ended; answers whether it was started.
    bool startScanningThread(std::function<void()> body);
    void changeStatus(const QString& text);
    // The delegate and the listener hear of the index just written.
    void reportWrittenIndex();
    void tellListener(void (ScanListener::*call)());
    // The start of every walk of a scan or an update: saves the live lists and runs walk with a
    // copy of the locations, keeping one of the document types for the walk's classifying until
    // walk returns. Answers false, running nothing, when the application's defaults are gone.
    bool withListSnapshots(const std::function<void(const SearchLocations& snapshot)>& walk);
    // The walk's two sides: classifying a listed folder (on any of the walk's threads) and
    // reporting it in walk order (on the scanning thread).
    void classifyFolder(WalkedFolder& folder, const FolderListing& listing, bool recursive) const;
    void classifyEntry(QString path, const FolderEntry& entry, bool recursive, WalkedEntries& entries) const;
    void addUnlessExcluded(
        LookAheadWalk::Kind kind, QString path, QString name, WalkedEntries& entries) const;
    void reportFolder(LookAheadWalk& walk, WalkedFolder& folder, ItemArray& list);
    static bool isPreferencesPane(const QString& path, bool isFolder);
    static bool isApplicationFolder(const QString& path);
    static bool canStandInTheIndex(const QString& name);
    // Writes the index file where the launcher reads it; answers whether it was written.
    bool writeIndex(const ItemArray& list);

    // One update in progress (FileListUpdate.cpp): the index it starts from, the locations'
    // folders and the changed entries.
    struct IndexUpdate;
    // An update's new index: nullopt where the changed folders alone cannot tell it for sure.
    std::optional<ItemArray> indexWithChangedFolders(
        const std::vector<FolderChange>& changes, bool& changed, QString& why);
    // Whether the last scan's index can be brought up to date for a few folders alone.
    bool startUpdate(const SearchLocations& snapshot, IndexUpdate& update, QString& why);
    bool readLastWrittenIndex(ItemArray& items) const;
    // Answers false where two locations reach the same folder.
    bool collectSeparateRoots(const SearchLocations& snapshot, IndexUpdate& update) const;
    bool walkedFoldersAreFreeOfLinks(IndexUpdate& update);
    bool addAllChangedEntries(
        IndexUpdate& update, const std::vector<FolderChange>& changes, ItemArray& added, QString& why);
    bool addChangedEntriesOfFolder(
        IndexUpdate& update, const FolderChange& change, ItemArray& added, QString& why);
    bool walkIntoChangedEntry(const QString& path, ItemArray& added, QString& why);
    // The kept items with the added ones in their places, in the index order.
    static std::optional<ItemArray> mergedIndex(const IndexUpdate& update, ItemArray added, QString& why);
    // A scan that keeps the lists it ran with, the basis the updates after it check they still
    // stand on; runs on the scanning thread.
    void scanAsBasisForUpdates();
    // The four lists as they stand now, as text.
    QString describeLists() const;

    bool stopping() const { return stopRequested.load(std::memory_order_relaxed); }

    std::atomic<bool> currentlyUpdatingApplicationList { false };
    std::atomic<bool> indexWritten { false };
    // The index file as this scanner last wrote it; scanning thread only.
    std::optional<FileIdentity> lastWrittenIndex;
    // The table of what it wrote; replaced with each write, handed to the delegate.
    std::shared_ptr<const LaunchItemTable> lastWrittenTable;
    // The lists of the last scan that wrote the index, and whether no folder it walked is a
    // link (nullopt: not looked at yet); scanning thread only.
    std::optional<QString> listsOfLastScan;
    std::optional<bool> walkedFoldersHaveNoLinks;
    SearchLocations* locations = nullptr;
    DocumentTypes* documentTypes = nullptr;
    FileExclusionList* fileExclusionList = nullptr;
    FolderExclusionList* folderExclusionList = nullptr;
    // The scan's snapshot: made and dropped by the scanning thread, asked by the walk's threads.
    std::unique_ptr<DocumentTypes> documentTypesCopy;
    FolderVisits visits; // scanning thread only
    FileListDelegate* appController = nullptr;
    std::mutex listenerLock;
    ScanListener* scanListener = nullptr; // guarded by listenerLock

    mutable std::mutex statusLock;
    QString status; // guarded by statusLock

    std::atomic<bool> stopRequested { false };
    std::thread scanningThread; // started and joined on the main thread
};

// The index order: names ignoring case, then pane, application, folder, document, then paths
// ignoring case. Answers -1, 0 or 1.
int _sortAlphabetically(const LaunchItem& a, const LaunchItem& b);

} // namespace quorvel
