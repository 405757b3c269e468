#include "platform/files/FolderWatcher.h"

#include "platform/core/Log.h"
#include "platform/core/PlatformLog.h"
#include "platform/files/RegularFile.h"

#include <QFile>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/inotify.h>
#include <unistd.h>

namespace quorvel {

namespace {

constexpr std::uint32_t entryEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
constexpr std::uint32_t contentEvents = IN_CLOSE_WRITE | IN_ATTRIB;
constexpr std::uint32_t selfEvents = IN_DELETE_SELF | IN_MOVE_SELF;

} // namespace

FolderWatcher::FolderWatcher(QObject* parent)
    : QObject(parent)
{
    descriptor = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (descriptor < 0) {
        Log::line(platformLog(),
            QStringLiteral("Folders cannot be watched: %1")
                .arg(QString::fromLocal8Bit(std::strerror(errno))));
        return;
    }
    notifier = std::make_unique<QSocketNotifier>(descriptor, QSocketNotifier::Read);
    connect(notifier.get(), &QSocketNotifier::activated, this, [this] { readEvents(); });
}

FolderWatcher::~FolderWatcher()
{
    notifier.reset();
    if (descriptor >= 0)
        ::close(descriptor); // drops every watch with it
}

FolderWatcher::WatchResult FolderWatcher::watchFolder(const QString& path, bool contentChanges)
{
    if (descriptor < 0)
        return WatchResult::failed;
    if (isWatching(path))
        return WatchResult::watching;
    std::uint32_t mask = entryEvents | selfEvents | IN_ONLYDIR;
    if (contentChanges)
        mask |= contentEvents;
    // Another path of the same folder may hold the watch already: the masks are merged, not
    // replaced, so that its content changes stay reported.
    const int watch
        = ::inotify_add_watch(descriptor, QFile::encodeName(path).constData(), mask | IN_MASK_ADD);
    if (watch < 0)
        return errno == ENOSPC || errno == ENOMEM ? WatchResult::limitReached : WatchResult::failed;
    pathsOfWatch[watch].push_back(path);
    watchOfPath.emplace(path, watch);
    return WatchResult::watching;
}

void FolderWatcher::unwatchFolder(const QString& path)
{
    const auto found = watchOfPath.find(path);
    if (found == watchOfPath.end())
        return;
    const int watch = found->second;
    watchOfPath.erase(found);
    std::vector<QString>& paths = pathsOfWatch[watch];
    paths.erase(std::remove(paths.begin(), paths.end(), path), paths.end());
    if (!paths.empty())
        return;
    pathsOfWatch.erase(watch);
    ::inotify_rm_watch(descriptor, watch);
}

void FolderWatcher::unwatchAll()
{
    for (const auto& [watch, paths] : pathsOfWatch)
        ::inotify_rm_watch(descriptor, watch);
    pathsOfWatch.clear();
    watchOfPath.clear();
}

std::size_t FolderWatcher::systemWatchLimit()
{
    const std::optional<QByteArray> bytes
        = RegularFile::readAll(QStringLiteral("/proc/sys/fs/inotify/max_user_watches"));
    if (!bytes)
        return 0;
    bool ok = false;
    const qulonglong limit = bytes->trimmed().toULongLong(&ok);
    return ok ? static_cast<std::size_t>(limit) : 0;
}

void FolderWatcher::readEvents()
{
    alignas(inotify_event) char buffer[16384];
    for (;;) {
        const ssize_t length = ::read(descriptor, buffer, sizeof buffer);
        if (length <= 0)
            return; // EAGAIN: all read
        for (ssize_t offset = 0; offset < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            const QString name = event->len ? QFile::decodeName(event->name) : QString();
            dispatch(event->wd, event->mask, name);
        }
    }
}

void FolderWatcher::dispatch(int watch, std::uint32_t mask, const QString& name)
{
    if (mask & IN_Q_OVERFLOW) {
        Q_EMIT eventsLost();
        return;
    }
    const auto found = pathsOfWatch.find(watch);
    if (found == pathsOfWatch.end())
        return; // a watch removed a moment ago
    const std::vector<QString> paths = found->second; // a receiver may change the watches
    if (mask & (IN_IGNORED | selfEvents)) {
        // The kernel drops the watch of a folder that was removed; one moved away would go on
        // reporting under a path that no longer names it.
        forgetWatch(watch);
        for (const QString& path : paths)
            Q_EMIT folderGone(path);
        return;
    }
    if (name.isEmpty())
        return;
    for (const QString& path : paths)
        Q_EMIT entryChanged(path, name);
}

void FolderWatcher::forgetWatch(int watch)
{
    const auto found = pathsOfWatch.find(watch);
    if (found == pathsOfWatch.end())
        return;
    for (const QString& path : found->second)
        watchOfPath.erase(path);
    pathsOfWatch.erase(found);
    ::inotify_rm_watch(descriptor, watch); // harmless when the kernel has dropped it already
}

} // namespace quorvel
