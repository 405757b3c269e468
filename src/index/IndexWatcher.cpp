#include "index/IndexWatcher.h"

#include "index/SearchLocations.h"
#include "index/WatchLog.h"
#include "platform/core/Log.h"
#include "platform/desktop/DesktopEntry.h"
#include "platform/files/FileManager.h"
#include "platform/files/Folders.h"

#include <algorithm>
#include <deque>

namespace quorvel {

namespace {

// Long enough that a file copied or an entry written in several steps is one change; short
// enough that the panel shows it while the user still waits for it.
constexpr int defaultQuietMilliseconds = 300;
constexpr int defaultLongestDelayMilliseconds = 2000;
// Applications sit one or two folders deep in their folders (menus' subfolders, suites).
constexpr int applicationFolderDepth = 3;

bool isApplicationFolder(const QString& path, const QStringList& desktopFolders)
{
    const QString folder = Folders::withoutTrailingSlashes(path);
    if (std::any_of(desktopFolders.begin(), desktopFolders.end(),
            [&folder](const QString& known) { return Folders::withoutTrailingSlashes(known) == folder; }))
        return true;
    const QString name = Folders::lastPathComponent(folder);
    return name.compare(QLatin1String("applications"), Qt::CaseInsensitive) == 0
        || name == QLatin1String("PreferencePanes");
}

// The closest folder above an absolute path that exists; "/" in the end.
QString nearestExistingFolderAbove(const QString& path)
{
    QString folder = Folders::withoutTrailingSlashes(path);
    while (folder.lastIndexOf(QLatin1Char('/')) > 0) {
        folder.truncate(folder.lastIndexOf(QLatin1Char('/')));
        bool isFolder = false;
        if (FileManager::fileExistsAtPath(folder, &isFolder) && isFolder)
            return folder;
    }
    return QStringLiteral("/");
}

// The walk does not go into bundles or hidden folders: neither is watched.
bool isWalkableName(const QString& name)
{
    return !name.startsWith(QLatin1Char('.')) && !name.endsWith(QLatin1String(".app"))
        && !name.endsWith(QLatin1String(".prefPane"));
}

} // namespace

IndexWatcher::IndexWatcher(FileList& scanner, const SearchLocations& locations, QObject* parent)
    : QObject(parent)
    , scanner(scanner)
    , locations(locations)
{
    quiet.setSingleShot(true);
    setQuietPeriod(defaultQuietMilliseconds, defaultLongestDelayMilliseconds);
    connect(&quiet, &QTimer::timeout, this, [this] { handOver(); });
    connect(&watcher, &FolderWatcher::entryChanged, this, &IndexWatcher::entryChanged);
    connect(&watcher, &FolderWatcher::folderGone, this, &IndexWatcher::folderGone);
    connect(&watcher, &FolderWatcher::eventsLost, this, [this] {
        fullScanPending = true;
        changeSeen();
    });
    // The scanner calls on its own thread; the queued connections bring the calls here.
    connect(
        this, &IndexWatcher::scannerWroteIndex, this, &IndexWatcher::watchLocations, Qt::QueuedConnection);
    connect(this, &IndexWatcher::scannerEnded, this, &IndexWatcher::takeUpAfterScan, Qt::QueuedConnection);
    scanner.setScanListener(this);
}

IndexWatcher::~IndexWatcher()
{
    scanner.setScanListener(nullptr);
}

void IndexWatcher::indexWasWritten()
{
    Q_EMIT scannerWroteIndex(QPrivateSignal());
}

void IndexWatcher::scanEnded()
{
    Q_EMIT scannerEnded(QPrivateSignal());
}

void IndexWatcher::takeUpAfterScan()
{
    if (!scannerBusy)
        return;
    scannerBusy = false;
    handOver();
}

void IndexWatcher::setQuietPeriod(int milliseconds, int delay)
{
    quiet.setInterval(milliseconds);
    longestDelay = delay;
}

std::size_t IndexWatcher::watchBudget() const
{
    // The system's supply is shared by all of the user's programs: take an eighth at most.
    const std::size_t systemLimit = FolderWatcher::systemWatchLimit();
    return systemLimit ? std::min(maximumWatches, systemLimit / 8) : maximumWatches;
}

void IndexWatcher::watchLocations()
{
    if (!watcher.isAvailable())
        return;
    const QSet<QString> wereMissing = missingLocations;
    const std::vector<Folder> folders = foldersToWatch();
    QSet<QString> wanted;
    for (const Folder& folder : folders)
        wanted.insert(folder.path);
    for (const QString& path : std::as_const(watched)) {
        if (!wanted.contains(path))
            watcher.unwatchFolder(path);
    }
    watched.clear();
    Log::debug(watchLog(), QStringLiteral("Watching %1 folders").arg(folders.size()));
    watchAll(folders);
    takeUpAppearedLocations(wereMissing);
}

void IndexWatcher::watchAll(const std::vector<Folder>& folders)
{
    for (const Folder& folder : folders) {
        const FolderWatcher::WatchResult result = watcher.watchFolder(folder.path, folder.contentChanges);
        if (result == FolderWatcher::WatchResult::watching) {
            watched.append(folder.path);
            continue;
        }
        if (result == FolderWatcher::WatchResult::limitReached) {
            // Every later folder would be refused as well; they are left to the scan timer.
            if (!limitLogged)
                Log::line(watchLog(),
                    QStringLiteral(
                        "Watching %1 folders only: the system's limit of inotify watches is "
                        "reached (fs.inotify.max_user_watches); the rest is left to the scan timer")
                        .arg(watched.size()));
            limitLogged = true;
            for (const Folder& rest : folders) {
                if (!watched.contains(rest.path))
                    watcher.unwatchFolder(rest.path);
            }
            return;
        }
    }
}

void IndexWatcher::takeUpAppearedLocations(const QSet<QString>& wereMissing)
{
    bool appeared = false;
    for (const QString& location : wereMissing) {
        if (missingLocations.contains(location) || !watched.contains(location))
            continue;
        // Watched from now on; what it held before that is listed here, so nothing falls between.
        QSet<QString>& names = pending[location];
        for (const FolderEntry& entry : FileManager::listFolderAtPath(location).entries) {
            if (!entry.name.startsWith(QLatin1Char('.')))
                names.insert(entry.name);
        }
        if (names.isEmpty())
            pending.erase(location);
        else
            appeared = true;
    }
    if (appeared)
        changeSeen();
}

std::vector<IndexWatcher::Folder> IndexWatcher::foldersToWatch()
{
    const QStringList desktopFolders = DesktopEntry::applicationFolders();
    std::vector<Folder> applicationRoots;
    std::vector<Folder> documentRoots;
    std::vector<QString> recursiveApplicationRoots;
    for (const SearchLocations::Folder& location : locations.enabledFolders()) {
        if (!isApplicationFolder(location.path, desktopFolders)) {
            documentRoots.push_back({ location.path, false });
            continue;
        }
        applicationRoots.push_back({ location.path, true });
        if (location.includeSubFolders)
            recursiveApplicationRoots.push_back(location.path);
    }
    const std::size_t budget = watchBudget();
    std::vector<Folder> folders = applicationRoots;
    folders.insert(folders.end(), documentRoots.begin(), documentRoots.end());
    locationFolders.clear();
    for (const Folder& folder : folders)
        locationFolders.insert(folder.path);
    lookOutForMissingLocations(folders);
    for (const QString& root : recursiveApplicationRoots)
        addSubfolders(root, folders, budget);
    if (folders.size() > budget)
        folders.resize(budget);
    return folders;
}

void IndexWatcher::lookOutForMissingLocations(std::vector<Folder>& folders)
{
    missingLocations.clear();
    lookouts.clear();
    QSet<QString> watchedAnyway = locationFolders;
    for (const QString& location : std::as_const(locationFolders)) {
        if (!location.startsWith(QLatin1Char('/')))
            continue; // no parent to look out from
        bool isFolder = false;
        if (FileManager::fileExistsAtPath(location, &isFolder) && isFolder)
            continue;
        missingLocations.insert(location);
        const QString parent = nearestExistingFolderAbove(location);
        if (watchedAnyway.contains(parent))
            continue;
        watchedAnyway.insert(parent);
        lookouts.insert(parent);
        folders.push_back({ parent, false });
    }
}

bool IndexWatcher::leadsToMissingLocation(const QString& folder, const QString& name) const
{
    const QString path = Folders::joinPath(Folders::withoutTrailingSlashes(folder), name);
    return std::any_of(missingLocations.begin(), missingLocations.end(), [&path](const QString& location) {
        const QString missing = Folders::withoutTrailingSlashes(location);
        return missing == path || missing.startsWith(path + QLatin1Char('/'));
    });
}

// Breadth first, so that what the budget leaves out is the deepest.
void IndexWatcher::addSubfolders(const QString& root, std::vector<Folder>& folders, std::size_t budget) const
{
    std::deque<std::pair<QString, int>> queue { { root, 0 } };
    while (!queue.empty() && folders.size() < budget) {
        const auto [folder, depth] = queue.front();
        queue.pop_front();
        if (depth >= applicationFolderDepth)
            continue;
        const FolderListing listing = FileManager::listFolderAtPath(folder);
        for (const FolderEntry& entry : listing.entries) {
            if (!entry.exists || !entry.isFolder || !isWalkableName(entry.name))
                continue;
            const QString path = folder.endsWith(QLatin1Char('/')) ? folder + entry.name
                                                                   : folder + QLatin1Char('/') + entry.name;
            folders.push_back({ path, true });
            queue.emplace_back(path, depth + 1);
        }
    }
}

void IndexWatcher::entryChanged(const QString& folder, const QString& name)
{
    // A folder on the way to a missing location appeared (perhaps a hidden one, ~/.local):
    // watch the next one down, or the location itself.
    if (leadsToMissingLocation(folder, name))
        watchLocations();
    if (lookouts.contains(folder))
        return;
    // Hidden entries are never indexed: editors' and downloaders' scratch files change nothing.
    if (name.startsWith(QLatin1Char('.')))
        return;
    pending[folder].insert(name);
    changeSeen();
}

void IndexWatcher::folderGone(const QString& folder)
{
    watched.removeAll(folder);
    if (lookouts.contains(folder)) {
        watchLocations(); // look out from further up
        return;
    }
    // A subfolder that goes is an entry of its watched parent, which reports it; a location's own
    // folder has no watched parent.
    if (locationFolders.contains(folder))
        fullScanPending = true;
    changeSeen();
}

void IndexWatcher::changeSeen()
{
    if (!firstPendingChange.isValid())
        firstPendingChange.start();
    if (scannerBusy)
        return; // handed over as soon as the scanner is free
    // A steady stream of changes still brings the index up to date now and then.
    if (firstPendingChange.elapsed() >= longestDelay) {
        quiet.stop();
        handOver();
        return;
    }
    quiet.start();
}

void IndexWatcher::handOver()
{
    if (!hasPendingChanges()) {
        firstPendingChange.invalidate();
        return;
    }
    // One at a time: a change seen while the scanner works is taken up after it.
    // The scanner tells when it is done (scanEnded), which it does after it stops showing
    // progress: a hand-over put off here is always taken up.
    if (scanner.showProgressIndicator()) {
        scannerBusy = true;
        return;
    }
    if (fullScanPending) {
        Log::debug(watchLog(), QStringLiteral("Handing a full scan to the scanner"));
        scanner.redoFileList();
    } else {
        std::vector<FileList::FolderChange> changes;
        for (const auto& [folder, names] : pending) {
            Log::debug(watchLog(),
                QStringLiteral("Handing over %1 changed entries of %2").arg(names.size()).arg(folder));
            changes.push_back({ folder, QStringList(names.begin(), names.end()) });
        }
        if (!scanner.updateChangedFolders(std::move(changes))) {
            scannerBusy = true;
            return;
        }
    }
    pending.clear();
    fullScanPending = false;
    firstPendingChange.invalidate();
}

} // namespace quorvel
