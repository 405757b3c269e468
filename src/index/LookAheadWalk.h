#pragma once
// The folders of one depth-first walk, listed and classified ahead of the thread that reports
// them. Helper threads (one per further core) take the pending folder that comes second in the
// walk's order (the first is the reporter's), list it, hand its entries to the classifier and queue the
// subfolders it chose; the reporting thread asks for each folder in walk order and, when its folder is not
// ready, lists it itself or lists the next pending one meanwhile. So the reports keep the order of a walk
// made on one thread while both cores list and read attributes.
//
// Only the reporting thread calls the public operations; the classifier runs on any thread.
// A folder listed ahead that is gone by the time the reporter reaches it counts as vanished,
// with everything listed below it, as if it had been listed when reached. At most
// aheadLimit folders wait listed ahead, which bounds the memory and the time a file system
// change can go unseen. Destroying the walk stops the helpers after the folder each is listing.
// A walk from a folder that holds files does not go into the kernel's virtual file systems (proc,
// sysfs, ...); a walk from a folder of one stays on that file system. Which folders the reporter
// then leaves out (leaveOut) is its own business: see FolderVisits.

#include "platform/files/FileManager.h"

#include <QString>
#include <QStringList>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace quorvel {

class LookAheadWalk final {
public:
    enum class Kind : std::uint8_t { preferencePane, application, document, subfolder, unrepresentable };
    struct Folder;
    // One entry the classifier kept, in listed order. A subfolder entry to be walked has its
    // folder once the walk has queued it.
    struct Entry {
        Kind kind;
        QString path;
        QString name; // the item's name; empty for subfolders and unrepresentable names
        Folder* subfolder = nullptr;
        bool isLink = false; // a subfolder entry that is a symbolic link
        bool leadsOut = false; // such a link to a folder outside the root's tree (set by the walk)
    };
    struct Folder {
        QString path;
        // Filled in by the listing, read by the reporter once waitUntilListed returns.
        bool exists = false; // false: nothing to report (vanished, or no folder there)
        bool readable = false;
        bool leadsBack = false; // the same folder as one it lies in: not walked again
        // Reached through a symbolic link that leads out of the root's tree, on the way from
        // the root (set when queued).
        bool throughLink = false;
        // Left out: on a virtual file system (named in virtualFileSystem) where the root is
        // not, or, where the root is, on another file system than the root's.
        bool outsideFileSystems = false;
        QString virtualFileSystem; // as the listing found it
        int error = 0; // why it could not be read
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        QString displayName;
        bool excluded = false; // its own folder item is left out
        QStringList undecodable; // names the listing could not decode
        std::vector<Entry> entries;

    private:
        friend class LookAheadWalk;
        enum class State : std::uint8_t { pending, listing, listed, dropped };
        Folder* parent = nullptr;
        std::vector<std::uint32_t> place; // entry indices from the root: the walk's order
        State state = State::pending; // guarded by the walk's lock
        bool listedBeforeAsked = false;
    };
    // Fills in the folder's displayName, excluded and entries from its listing (which may be
    // unreadable and empty). Runs on helper threads and on the reporting thread at once.
    using Classifier = std::function<void(Folder& folder, const FolderListing& listing)>;

    LookAheadWalk(const QString& rootPath, Classifier classifier);
    ~LookAheadWalk();
    LookAheadWalk(const LookAheadWalk&) = delete;
    LookAheadWalk& operator=(const LookAheadWalk&) = delete;

    Folder& root() { return folders.front(); }
    // Blocks until the folder is listed (listing it, or another one, meanwhile).
    void waitUntilListed(Folder& folder);
    // The reporter is done with the folder: its entries are freed.
    void release(Folder& folder);
    // The reporter leaves the listed folder out: nothing below it is listed or reported.
    void leaveOut(Folder& folder);

    static constexpr std::size_t aheadLimit = 256;

private:
    void runHelper();
    void list(Folder& folder);
    // Under lock.
    struct EarlierInWalk {
        bool operator()(const Folder* a, const Folder* b) const { return a->place < b->place; }
    };
    Folder* takePending(std::set<Folder*, EarlierInWalk>::iterator position);
    void finishListing(Folder& folder);
    void drop(Folder& folder);
    bool mayListAhead() const { return !pending.empty() && listedAhead < aheadLimit; }

    bool isOutsideFileSystems(const Folder& folder) const;
    void markLinksLeadingOut(Folder& folder) const;

    const Classifier classifier;
    const Folder* rootFolder = nullptr; // listed before any other folder is queued
    QString resolvedRoot; // the root's path with every link resolved
    std::mutex lock;
    std::condition_variable changed;
    std::deque<Folder> folders; // every folder met, at stable addresses; guarded by lock
    std::set<Folder*, EarlierInWalk> pending; // guarded by lock
    std::size_t listedAhead = 0; // listed, not yet reached by the reporter; guarded by lock
    bool stopping = false; // guarded by lock
    std::vector<std::thread> helpers; // started with the first subfolder queued
};

} // namespace quorvel
