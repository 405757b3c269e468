#pragma once
// Watches folders for entries that appear, go, are renamed or (where asked) rewritten, through
// one inotify descriptor read on the main thread. It is not recursive: each folder is a watch of
// its own, and the system limits how many watches one user may hold (shared with every other
// program of that user), so a folder may be refused; the caller decides what to watch.
//
// The same folder watched under two paths (a link and its target) is one watch in the kernel:
// its events are reported under each path.

#include <QObject>
#include <QString>
#include <cstddef>
#include <memory>
#include <unordered_map>
#include <vector>

class QSocketNotifier;

namespace quorvel {

class FolderWatcher final : public QObject {
    Q_OBJECT
public:
    enum class WatchResult {
        watching,
        limitReached, // the user's watches are used up (or the kernel's memory for them)
        failed, // no such folder, not a folder, no access, or no inotify at all
    };

    explicit FolderWatcher(QObject* parent = nullptr);
    ~FolderWatcher() override;

    // Whether the descriptor could be opened (a user may also run out of inotify instances).
    bool isAvailable() const { return descriptor >= 0; }
    // Starts watching the folder (the path is reported back exactly as given). With
    // contentChanges, a file closed after writing or whose attributes change is reported too.
    WatchResult watchFolder(const QString& path, bool contentChanges);
    void unwatchFolder(const QString& path);
    void unwatchAll();
    bool isWatching(const QString& path) const { return watchOfPath.count(path) != 0; }
    std::size_t watchCount() const { return watchOfPath.size(); }

    // The most watches one user may hold on this system (fs.inotify.max_user_watches); 0 when
    // it cannot be read.
    static std::size_t systemWatchLimit();

Q_SIGNALS:
    // An entry of the folder appeared, went, was renamed (reported under its old and its new
    // name) or, with contentChanges, was rewritten.
    void entryChanged(const QString& folder, const QString& name);
    // The watched folder itself was removed or moved away; it is no longer watched.
    void folderGone(const QString& folder);
    // The kernel's queue overflowed and events were lost: anything may have changed.
    void eventsLost();

private:
    void readEvents();
    void dispatch(int watch, std::uint32_t mask, const QString& name);
    void forgetWatch(int watch);

    int descriptor = -1;
    std::unique_ptr<QSocketNotifier> notifier;
    std::unordered_map<int, std::vector<QString>> pathsOfWatch;
    std::unordered_map<QString, int> watchOfPath;
};

} // namespace quorvel
