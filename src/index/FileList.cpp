#include "index/FileList.h"

#include "index/DocumentTypes.h"
#include "index/FileExclusionList.h"
#include "index/FileListDelegate.h"
#include "index/FolderExclusionList.h"
#include "index/IndexLog.h"
#include "index/ScanListener.h"
#include "index/SearchLocations.h"
#include "platform/core/Clock.h"
#include "platform/core/InternalInconsistency.h"
#include "platform/core/Log.h"
#include "platform/desktop/Bundle.h"
#include "platform/files/FileIdentity.h"
#include "platform/files/FileManager.h"
#include "platform/files/Folders.h"
#include "search/IndexFile.h"

#include <algorithm>
#include <cstdlib>
#include <optional>

namespace quorvel {

namespace {

// Shared by every item of a type, so that a million items hold four strings.
const QString paneType = LaunchItemType::preferencePane;
const QString applicationType = LaunchItemType::application;
const QString documentType = LaunchItemType::document;
const QString folderType = LaunchItemType::folder;

// "2024-05-01 13:45:07 +0200": the local date and time with its offset from UTC.
QString completionTimeText(const QDateTime& now)
{
    const int offset = now.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
        + QStringLiteral(" %1%2%3")
              .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
              .arg(minutes / 60, 2, 10, QLatin1Char('0'))
              .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString completionStatus(const QDateTime& when)
{
    return QStringLiteral("Last disk scan was completed at %1").arg(completionTimeText(when));
}

} // namespace

FileList::FileList() = default;

FileList::~FileList()
{
    // Quitting must not wait for a whole disk walk: the scan stops at its next entry.
    stopRequested.store(true);
    if (scanningThread.joinable())
        scanningThread.join();
}

void FileList::redoFileList()
{
    startScanningThread([this] { scanAsBasisForUpdates(); });
}

bool FileList::startScanningThread(std::function<void()> body)
{
    bool idle = false;
    if (!currentlyUpdatingApplicationList.compare_exchange_strong(idle, true))
        return false;
    // The previous scan has written its index; let it make its last reports before the next
    // scan makes its first, so that the delegate sees them in order.
    if (scanningThread.joinable())
        scanningThread.join();
    scanningThread = std::thread([this, body = std::move(body)] {
        body();
        if (!stopping())
            tellListener(&ScanListener::scanEnded);
    });
    return true;
}

void FileList::setScanListener(ScanListener* listener)
{
    const std::lock_guard<std::mutex> guard(listenerLock);
    scanListener = listener;
}

void FileList::tellListener(void (ScanListener::*call)())
{
    const std::lock_guard<std::mutex> guard(listenerLock);
    if (scanListener)
        (scanListener->*call)();
}

void FileList::reportWrittenIndex()
{
    if (appController)
        appController->fileListWasRefreshed(WrittenIndex { lastWrittenTable, lastWrittenIndex });
    tellListener(&ScanListener::indexWasWritten);
}

void FileList::waitUntilScanHasFinished()
{
    if (scanningThread.joinable())
        scanningThread.join();
}

QString FileList::statusString() const
{
    const std::lock_guard<std::mutex> guard(statusLock);
    return status;
}

void FileList::recallLastCompletedScan()
{
    const std::optional<QDateTime> written = FileManager::modificationDateAtPath(_combinedListPath());
    if (!written || showProgressIndicator() || !statusString().isEmpty())
        return; // no index, or a scan of this run has its own word
    changeStatus(completionStatus(*written));
}

bool FileList::withListSnapshots(const std::function<void(const SearchLocations& snapshot)>& walk)
{
    std::unique_ptr<SearchLocations> locationsSnapshot;
    try {
        // The live lists are saved first, so that the copies read back what the user sees.
        if (locations)
            locations->save();
        locationsSnapshot = std::make_unique<SearchLocations>();
        if (documentTypes)
            documentTypes->save();
        documentTypesCopy = std::make_unique<DocumentTypes>();
    } catch (const InternalInconsistency&) {
        return false; // the application's own defaults are gone (already logged)
    }
    visits.startScan();
    walk(*locationsSnapshot);
    visits.logLeftOut();
    documentTypesCopy.reset();
    return true;
}

void FileList::updateApplicationNames()
{
    ItemArray list;
    const bool listsTaken = withListSnapshots([this, &list](const SearchLocations& snapshot) {
        changeStatus(QStringLiteral("Starting scan..."));
        currentlyUpdatingApplicationList.store(true);
        for (const SearchLocations::Folder& folder : snapshot.enabledFolders()) {
            if (stopping())
                break;
            searchPathAddToCombinedListRecursive(folder.path, list, folder.includeSubFolders);
        }
    });
    if (!listsTaken) {
        // There is nothing to scan with.
        currentlyUpdatingApplicationList.store(false);
        if (appController)
            appController->updateStatusBar();
        return;
    }
    if (stopping())
        return;
    sortAlphabetically(list);
    const bool written = writeIndex(list);
    indexWritten.store(written);
    currentlyUpdatingApplicationList.store(false);
    if (!written) {
        // Reported as what it is: the index on disk is still the old one (or none).
        changeStatus(QStringLiteral("The index could not be written."));
        return;
    }
    reportWrittenIndex();
    changeStatus(completionStatus(Clock::currentDateTime()));
}

void FileList::searchPathAddToCombinedListRecursive(const QString& path, ItemArray& list, bool recursive)
{
    // The walk's threads share the document types, which must not prepare their rules at once.
    if (const DocumentTypes* types = documentTypesCopy ? documentTypesCopy.get() : documentTypes)
        types->prepareRules();
    LookAheadWalk walk(path, [this, recursive](WalkedFolder& folder, const FolderListing& listing) {
        classifyFolder(folder, listing, recursive);
    });
    reportFolder(walk, walk.root(), list);
}

void FileList::reportFolder(LookAheadWalk& walk, WalkedFolder& folder, ItemArray& list)
{
    walk.waitUntilListed(folder);
    if (folder.leadsBack) {
        Log::line(indexLog(),
            QStringLiteral("Not indexing %1 again: it leads back to a folder being indexed")
                .arg(folder.path));
        return;
    }
    if (!folder.exists || !visits.mayEnter(walk, folder))
        return;
    for (const QString& name : folder.undecodable)
        Log::line(indexLog(), QStringLiteral("Not indexing %1: its name is not valid UTF-8").arg(name));

    if (indexLog().isDebugEnabled()) // the text is made only when it is printed: this runs per folder
        Log::debug(indexLog(), QStringLiteral("%1: %2 entries").arg(folder.path).arg(folder.entries.size()));
    changeStatus(QStringLiteral("Indexing ") + folder.path + QStringLiteral(".."));
    if (!folder.excluded)
        list.push_back(Item { folder.displayName, folderType, folder.path });
    for (LookAheadWalk::Entry& entry : folder.entries) {
        if (stopping())
            break;
        switch (entry.kind) {
        case LookAheadWalk::Kind::unrepresentable:
            Log::line(indexLog(),
                QStringLiteral("Not indexing %1: its name holds control characters").arg(entry.path));
            break;
        case LookAheadWalk::Kind::subfolder:
            reportFolder(walk, *entry.subfolder, list);
            break;
        case LookAheadWalk::Kind::preferencePane:
            list.push_back(Item { std::move(entry.name), paneType, std::move(entry.path) });
            break;
        case LookAheadWalk::Kind::application:
            list.push_back(Item { std::move(entry.name), applicationType, std::move(entry.path) });
            break;
        case LookAheadWalk::Kind::document:
            list.push_back(Item { std::move(entry.name), documentType, std::move(entry.path) });
            break;
        }
    }
    walk.release(folder);
}

void FileList::classifyFolder(WalkedFolder& folder, const FolderListing& listing, bool recursive) const
{
    folder.displayName = FileManager::displayNameAtPath(folder.path);
    folder.excluded = fileExclusionList && fileExclusionList->exclude(folder.path);
    // Listed names never begin with "/": joining is one concatenation.
    const QString prefix
        = folder.path.endsWith(QLatin1Char('/')) ? folder.path : folder.path + QLatin1Char('/');
    folder.entries.reserve(listing.entries.size());
    for (const FolderEntry& entry : listing.entries) {
        if (entry.name.startsWith(QLatin1Char('.')))
            continue;
        QString entryPath = prefix + entry.name;
        if (!canStandInTheIndex(entry.name)) {
            folder.entries.push_back({ LookAheadWalk::Kind::unrepresentable, std::move(entryPath), {} });
            continue;
        }
        classifyEntry(std::move(entryPath), entry, recursive, folder.entries);
    }
}

void FileList::classifyEntry(
    QString path, const FolderEntry& entry, bool recursive, WalkedEntries& entries) const
{
    const bool isFolder = entry.exists && entry.isFolder;
    // A FIFO, socket or device node is nothing to open, and reading one may never end. (A
    // dangling link is classified by its name, as anything whose attributes cannot be read.)
    if (entry.exists && !isFolder && !entry.isRegularFile)
        return;
    if (isPreferencesPane(path, isFolder)) {
        QString name = nameOfPreferencesPane(path);
        addUnlessExcluded(LookAheadWalk::Kind::preferencePane, std::move(path), std::move(name), entries);
        return;
    }
    std::optional<QString> displayName;
    bool isApplication = false;
    if (isFolder) {
        isApplication = isApplicationFolder(path);
    } else {
        FileManager::ListedFileType type = FileManager::typeOfListedEntry(path, entry);
        // The desktop's own settings panels are what preference panes are on this desktop.
        if (type.settingsPanel) {
            addUnlessExcluded(LookAheadWalk::Kind::preferencePane, std::move(path),
                type.displayName.value_or(QString()), entries);
            return;
        }
        isApplication = type.code == FileManager::applicationTypeCode;
        displayName = std::move(type.displayName);
    }
    if (isApplication || isDocumentAtPath(path)) {
        QString name = displayName ? *displayName : FileManager::displayNameOfListedEntry(path, entry);
        addUnlessExcluded(isApplication ? LookAheadWalk::Kind::application : LookAheadWalk::Kind::document,
            std::move(path), std::move(name), entries);
        return;
    }
    if (isFolder && recursive && !(folderExclusionList && folderExclusionList->exclude(path)))
        entries.push_back({ LookAheadWalk::Kind::subfolder, std::move(path), {}, nullptr, entry.isLink });
}

void FileList::addUnlessExcluded(
    LookAheadWalk::Kind kind, QString path, QString name, WalkedEntries& entries) const
{
    if (fileExclusionList && fileExclusionList->exclude(path))
        return;
    entries.push_back({ kind, std::move(path), std::move(name) });
}

bool FileList::isPreferencesPane(const QString& path) const
{
    bool isFolder = false;
    return FileManager::fileExistsAtPath(path, &isFolder) && isPreferencesPane(path, isFolder);
}

bool FileList::isPreferencesPane(const QString& path, bool isFolder)
{
    return isFolder && path.endsWith(QLatin1String(".prefPane"));
}

QString FileList::nameOfPreferencesPane(const QString& path) const
{
    QString label = Folders::lastPathComponent(path);
    const qsizetype dot = label.lastIndexOf(QLatin1Char('.'));
    if (dot > 0)
        label.truncate(dot);
    if (const std::optional<Bundle> bundle = Bundle::bundleWithPath(path)) {
        QVariant value = bundle->objectForInfoDictionaryKey(QStringLiteral("NSPrefPaneIconLabel"));
        if (value.typeId() != QMetaType::QString || value.toString().isEmpty())
            value = bundle->localizedInfoDictionary().value(QStringLiteral("CFBundleName"));
        if (value.typeId() == QMetaType::QString && !value.toString().isEmpty())
            label = value.toString();
    }
    label.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return label;
}

bool FileList::isApplicationAtPath(const QString& path) const
{
    bool isFolder = false;
    FileManager::fileExistsAtPath(path, &isFolder);
    if (!isFolder)
        return FileManager::typeCodeAtPath(path, true) == FileManager::applicationTypeCode;
    return isApplicationFolder(path);
}

bool FileList::isApplicationFolder(const QString& path)
{
    if (path.endsWith(QLatin1String(".app")))
        return true;
    const std::optional<Bundle> bundle = Bundle::bundleWithPath(path);
    if (!bundle || bundle->executablePath().isEmpty())
        return false;
    // A folder that holds an item named like itself is an ordinary folder that happens to look
    // like a bundle, unless it also has the bundle's "Contents".
    const QStringList names = FileManager::directoryContentsAtPath(path);
    if (!names.contains(Folders::lastPathComponent(path)))
        return true;
    return names.contains(QStringLiteral("Contents"));
}

bool FileList::isDocumentAtPath(const QString& path) const
{
    if (documentTypesCopy)
        return documentTypesCopy->shouldIndexDocument(path);
    return documentTypes && documentTypes->shouldIndexDocument(path);
}

void FileList::changeStatus(const QString& text)
{
    {
        const std::lock_guard<std::mutex> guard(statusLock);
        status = text;
    }
    if (appController)
        appController->updateStatusBar();
}

// The index is an XML property list, and XML 1.0 cannot carry most control characters: a
// name holding one could not be stored as it is.
bool FileList::canStandInTheIndex(const QString& name)
{
    return std::none_of(name.begin(), name.end(), [](QChar c) {
        const char16_t code = c.unicode();
        return (code < 0x20 && code != u'\t' && code != u'\n' && code != u'\r') || code == 0xFFFE
            || code == 0xFFFF;
    });
}

bool FileList::writeIndex(const ItemArray& list)
{
    const QString path = _combinedListPath();
    // An index this scanner did not write may be damaged: it is set aside before it is replaced.
    const std::optional<FileIdentity> present = FileIdentity::ofFile(path);
    if (present && !(lastWrittenIndex && *lastWrittenIndex == *present))
        IndexFile::keepCopyIfUnreadable(path);
    std::optional<WrittenIndex> written = IndexFile::writeWithCache(path, list);
    if (!written)
        return false;
    lastWrittenIndex = written->identity;
    // On the scanner's thread, what the panel's search needs of the new table, not on the main one.
    written->table->prepareForSearch();
    lastWrittenTable = std::move(written->table);
    return true;
}

} // namespace quorvel
