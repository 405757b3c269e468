#pragma once
// What one scan has walked and what it left out, across all its locations. A folder reached
// through a symbolic link that leads out of its location's tree is walked only when the scan has
// not walked it already under another path (by device and inode): a link to "/" or to a folder
// above it would otherwise walk the disk once more for every way in. Folders of a location's own
// tree are walked as they are met, so that locations that overlap, and links between folders of
// one location, still give their items twice. What was left out is logged once per
// scan: one line per unreadable folder, one line per other kind of folder left out.
// Scanning thread only.

#include "index/LookAheadWalk.h"

#include <QString>
#include <cstdint>
#include <set>
#include <utility>

namespace quorvel {

class FolderVisits final {
public:
    // At most this many folders are walked from a location on a virtual file system.
    static constexpr int virtualLocationLimit = 1000;

    // A new scan (or update): nothing walked, nothing left out.
    void startScan();
    // Whether the folder, just listed by the walk, is to be walked, noting it as walked when it
    // is; what is left out is left out of the walk too. The first folder of a walk starts a
    // location.
    bool mayEnter(LookAheadWalk& walk, LookAheadWalk::Folder& folder);
    // The lines for the kinds of folders left out since the scan started.
    void logLeftOut() const;

private:
    // The walk of one location starts; onVirtualFileSystem: the location itself is on one.
    void startLocation(bool onVirtualFileSystem);
    // Notes the folder as walked; false when it was, and is reached through a link.
    bool enter(std::uint64_t device, std::uint64_t inode, bool throughLink);
    // Left out for its file system: a virtual one (named), or another than the location's ("").
    void leftOutOnFileSystem(const QString& path, const QString& virtualFileSystem);
    void leftOutUnreadable(const QString& path, int error);

    struct LeftOut {
        int count = 0;
        QString first;
        void add(const QString& path);
        void log(const QString& what) const; // what: "%1 folders ..." with %1 for the count
    };

    std::set<std::pair<std::uint64_t, std::uint64_t>> walked;
    std::set<QString> unreadable;
    QString fileSystemsLeftOut; // their names, ", "-separated
    LeftOut reachedAgain;
    LeftOut onVirtualFileSystems;
    LeftOut offLocationFileSystem;
    LeftOut beyondLimit;
    bool limited = false;
    int walkedInLocation = 0;
};

} // namespace quorvel
