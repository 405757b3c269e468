#include "index/FolderVisits.h"

#include "index/IndexLog.h"
#include "platform/core/Log.h"

#include <cstring>

namespace quorvel {

void FolderVisits::LeftOut::add(const QString& path)
{
    if (count++ == 0)
        first = path;
}

void FolderVisits::startScan()
{
    *this = FolderVisits();
}

void FolderVisits::startLocation(bool onVirtualFileSystem)
{
    limited = onVirtualFileSystem;
    walkedInLocation = 0;
}

bool FolderVisits::mayEnter(LookAheadWalk& walk, LookAheadWalk::Folder& folder)
{
    const bool isRoot = &folder == &walk.root();
    if (folder.outsideFileSystems) {
        const bool virtualRoot = !walk.root().virtualFileSystem.isEmpty();
        leftOutOnFileSystem(folder.path, virtualRoot ? QString() : folder.virtualFileSystem);
        return false;
    }
    if (isRoot)
        startLocation(!folder.virtualFileSystem.isEmpty());
    if (limited && walkedInLocation >= virtualLocationLimit) {
        beyondLimit.add(folder.path);
        walk.leaveOut(folder);
        return false;
    }
    if (folder.readable && !enter(folder.device, folder.inode, folder.throughLink)) {
        reachedAgain.add(folder.path);
        walk.leaveOut(folder);
        return false;
    }
    ++walkedInLocation;
    // A location that cannot be read is the user's to see; a folder inside one is not.
    if (!folder.readable && !isRoot)
        leftOutUnreadable(folder.path, folder.error);
    return true;
}

bool FolderVisits::enter(std::uint64_t device, std::uint64_t inode, bool throughLink)
{
    return walked.emplace(device, inode).second || !throughLink;
}

void FolderVisits::leftOutOnFileSystem(const QString& path, const QString& virtualFileSystem)
{
    if (virtualFileSystem.isEmpty()) {
        offLocationFileSystem.add(path);
        return;
    }
    onVirtualFileSystems.add(path);
    if (!fileSystemsLeftOut.split(QStringLiteral(", ")).contains(virtualFileSystem))
        fileSystemsLeftOut
            += (fileSystemsLeftOut.isEmpty() ? QString() : QStringLiteral(", ")) + virtualFileSystem;
}

void FolderVisits::leftOutUnreadable(const QString& path, int error)
{
    if (unreadable.insert(path).second)
        Log::line(indexLog(),
            QStringLiteral("Not indexing %1: it cannot be read (%2)")
                .arg(path, QString::fromLocal8Bit(std::strerror(error))));
}

void FolderVisits::LeftOut::log(const QString& what) const
{
    if (count)
        Log::line(indexLog(),
            QStringLiteral("Not indexing ") + what.arg(count) + QStringLiteral(", such as ") + first);
}

void FolderVisits::logLeftOut() const
{
    reachedAgain.log(QStringLiteral("%1 folders again that links lead to"));
    onVirtualFileSystems.log(
        QStringLiteral("%1 folders on virtual file systems (") + fileSystemsLeftOut + ')');
    offLocationFileSystem.log(QStringLiteral("%1 folders off the virtual file system of their location"));
    beyondLimit.log(QStringLiteral("%1 folders beyond the first ") + QString::number(virtualLocationLimit)
        + QStringLiteral(" of a location on a virtual file system"));
}

} // namespace quorvel
