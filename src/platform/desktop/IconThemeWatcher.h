#pragma once
// Tells when the icon themes' folders change, so that an icon installed while the launcher runs
// is found: a package writes its desktop entry before its icon files, and a look-up made in
// between has found nothing, which Qt's icon loader remembers. Watched, in each folder icon
// themes are read from: the folder itself (or, while it does not exist, its parent), the
// current theme's and hicolor's folders, their size folders and the "apps" folder of each size,
// where applications put their icons; and the unthemed fallback folders (/usr/share/pixmaps).
// That is a few dozen folders, not every context of every theme: a user's supply of watches is
// shared with all of their programs. Main thread only.

#include "platform/files/FolderWatcher.h"

#include <QObject>
#include <QStringList>

namespace quorvel {

class IconThemeWatcher final : public QObject {
    Q_OBJECT
public:
    explicit IconThemeWatcher(QObject* parent = nullptr);

    QStringList watchedFolders() const { return watched; }

Q_SIGNALS:
    // Something in the watched folders changed: icons missing before may be there now. Once for
    // a burst of changes (a package's many icon files), from the event loop.
    void iconsChanged();

private:
    // Watches the folders as they now stand (new size or "apps" folders included).
    void watchThemeFolders();
    QStringList foldersToWatch() const;
    void folderChanged();

    FolderWatcher watcher;
    QStringList watched;
    bool changePending = false;
};

} // namespace quorvel
