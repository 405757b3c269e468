#include "index/LookAheadWalk.h"

#include <algorithm>

namespace quorvel {

namespace {

// One helper per further core: the reporting thread lists too whenever it would wait. A few
// at most, since the walk then waits on the file system rather than on the processors.
std::size_t helperCount()
{
    const unsigned cores = std::thread::hardware_concurrency();
    return std::clamp<std::size_t>(cores > 1 ? cores - 1 : 1, 1, 3);
}

} // namespace

LookAheadWalk::LookAheadWalk(const QString& rootPath, Classifier classifier)
    : classifier(std::move(classifier))
{
    Folder& root = folders.emplace_back();
    root.path = rootPath;
    rootFolder = &root;
    resolvedRoot = FileManager::resolvedPath(rootPath);
    pending.insert(&root);
}

LookAheadWalk::~LookAheadWalk()
{
    {
        const std::lock_guard<std::mutex> guard(lock);
        stopping = true;
    }
    changed.notify_all();
    for (std::thread& helper : helpers)
        helper.join();
}

void LookAheadWalk::waitUntilListed(Folder& folder)
{
    std::unique_lock<std::mutex> guard(lock);
    while (folder.state != Folder::State::listed && folder.state != Folder::State::dropped) {
        // The folder itself if nobody lists it yet, else the next one, rather than wait.
        Folder* next = nullptr;
        if (folder.state == Folder::State::pending) {
            pending.erase(&folder);
            folder.state = Folder::State::listing;
            next = &folder;
        } else if (mayListAhead()) {
            next = takePending(pending.begin());
        }
        if (!next) {
            changed.wait(guard);
            continue;
        }
        guard.unlock();
        list(*next);
        guard.lock();
        finishListing(*next);
    }
    if (folder.state == Folder::State::dropped)
        return;
    --listedAhead;
    changed.notify_all();
    if (!folder.listedBeforeAsked || !folder.exists)
        return;
    // Listed ahead: what has gone since then is reported as gone, as a walk that listed the
    // folder only now would have found it.
    guard.unlock();
    const bool stillThere = FileManager::fileExistsAtPath(folder.path);
    guard.lock();
    if (!stillThere) {
        folder.exists = false;
        for (Entry& entry : folder.entries) {
            if (entry.subfolder)
                drop(*entry.subfolder);
        }
        folder.entries.clear();
    }
}

void LookAheadWalk::release(Folder& folder)
{
    const std::lock_guard<std::mutex> guard(lock);
    std::vector<Entry>().swap(folder.entries);
    folder.undecodable = QStringList();
    folder.path = QString();
}

void LookAheadWalk::leaveOut(Folder& folder)
{
    {
        const std::lock_guard<std::mutex> guard(lock);
        for (Entry& entry : folder.entries) {
            if (entry.subfolder)
                drop(*entry.subfolder);
        }
    }
    release(folder);
}

void LookAheadWalk::runHelper()
{
    std::unique_lock<std::mutex> guard(lock);
    for (;;) {
        // The earliest pending folder is the next one the reporter needs (or lists itself when
        // it gets there): a helper leaves it, so that the reporter never waits on a helper that
        // another thread keeps from running.
        changed.wait(guard, [this] { return stopping || (pending.size() > 1 && mayListAhead()); });
        if (stopping)
            return;
        Folder* folder = takePending(std::next(pending.begin()));
        guard.unlock();
        list(*folder);
        guard.lock();
        finishListing(*folder);
    }
}

// Outside the lock: the folder is this thread's while it is being listed.
void LookAheadWalk::list(Folder& folder)
{
    const FolderListing listing = FileManager::listFolderAtPath(folder.path, &folder.undecodable);
    folder.readable = listing.readable;
    folder.error = listing.error;
    folder.device = listing.device;
    folder.inode = listing.inode;
    folder.virtualFileSystem = listing.virtualFileSystem;
    if (listing.readable && isOutsideFileSystems(folder)) {
        folder.outsideFileSystems = true;
        folder.exists = true;
        return;
    }
    if (listing.readable) {
        // The folders it lies in were listed before it was queued, so their identities are set.
        for (const Folder* outer = folder.parent; outer; outer = outer->parent) {
            if (outer->device == folder.device && outer->inode == folder.inode) {
                folder.leadsBack = true;
                return;
            }
        }
    }
    // A folder that is not there (a location that does not exist on this system, a folder
    // that vanished during the walk) gives no item: it could never be opened.
    folder.exists = listing.readable || FileManager::fileExistsAtPath(folder.path);
    if (folder.exists) {
        classifier(folder, listing);
        markLinksLeadingOut(folder);
    }
}

// Links within the root's tree are walked as folders of it (two ways to one folder give its items
// twice, as two locations that overlap do); a link out of it may lead anywhere, "/" included.
void LookAheadWalk::markLinksLeadingOut(Folder& folder) const
{
    for (Entry& entry : folder.entries) {
        if (entry.kind != Kind::subfolder || !entry.isLink)
            continue;
        const QString target = FileManager::resolvedPath(entry.path);
        entry.leadsOut = resolvedRoot.isEmpty() || target.isEmpty()
            || !(target == resolvedRoot || resolvedRoot == QLatin1String("/")
                || target.startsWith(resolvedRoot + QLatin1Char('/')));
    }
}

// A walk from a folder that holds files keeps out of the kernel's virtual file systems; one from
// a folder of such a file system stays on it (its links lead out to everything else).
bool LookAheadWalk::isOutsideFileSystems(const Folder& folder) const
{
    if (&folder == rootFolder)
        return false;
    if (rootFolder->virtualFileSystem.isEmpty())
        return !folder.virtualFileSystem.isEmpty();
    return folder.device != rootFolder->device;
}

LookAheadWalk::Folder* LookAheadWalk::takePending(std::set<Folder*, EarlierInWalk>::iterator position)
{
    Folder* folder = *position;
    pending.erase(position);
    folder->state = Folder::State::listing;
    folder->listedBeforeAsked = true;
    return folder;
}

void LookAheadWalk::finishListing(Folder& folder)
{
    if (folder.state == Folder::State::dropped) {
        folder.entries.clear(); // dropped while it was being listed: nobody reports it
        return;
    }
    folder.state = Folder::State::listed;
    ++listedAhead;
    bool queued = false;
    for (std::size_t index = 0; index < folder.entries.size(); ++index) {
        Entry& entry = folder.entries[index];
        if (entry.kind != Kind::subfolder)
            continue;
        Folder& subfolder = folders.emplace_back();
        subfolder.path = entry.path;
        subfolder.parent = &folder;
        subfolder.throughLink = folder.throughLink || entry.leadsOut;
        subfolder.place = folder.place;
        subfolder.place.push_back(std::uint32_t(index));
        entry.subfolder = &subfolder;
        pending.insert(&subfolder);
        queued = true;
    }
    std::vector<std::uint32_t>().swap(folder.place); // its subfolders have theirs
    if (queued && helpers.empty() && !stopping) {
        for (std::size_t i = helperCount(); i > 0; --i)
            helpers.emplace_back([this] { runHelper(); });
    }
    changed.notify_all();
}

void LookAheadWalk::drop(Folder& folder)
{
    switch (folder.state) {
    case Folder::State::pending:
        pending.erase(&folder);
        break;
    case Folder::State::listed:
        --listedAhead;
        for (Entry& entry : folder.entries) {
            if (entry.subfolder)
                drop(*entry.subfolder);
        }
        folder.entries.clear();
        break;
    case Folder::State::listing: // its lister sees the state when it is done
    case Folder::State::dropped:
        break;
    }
    folder.state = Folder::State::dropped;
}

} // namespace quorvel
