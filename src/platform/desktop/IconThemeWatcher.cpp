#include "platform/desktop/IconThemeWatcher.h"

#include "platform/files/FileManager.h"
#include "platform/files/Folders.h"

#include <QIcon>

namespace quorvel {

namespace {

constexpr qsizetype maximumWatches = 200;

bool isFolder(const QString& path)
{
    bool folder = false;
    return FileManager::fileExistsAtPath(path, &folder) && folder;
}

QStringList subfolders(const QString& folder)
{
    QStringList found;
    for (const FolderEntry& entry : FileManager::listFolderAtPath(folder).entries) {
        if (entry.exists && entry.isFolder && !entry.name.startsWith(QLatin1Char('.')))
            found.append(Folders::joinPath(folder, entry.name));
    }
    return found;
}

// A theme's folder, its size folders ("48x48", "scalable") and their "apps" folders.
void addThemeFolders(const QString& theme, QStringList& folders)
{
    folders.append(theme);
    for (const QString& size : subfolders(theme)) {
        folders.append(size);
        const QString apps = Folders::joinPath(size, QStringLiteral("apps"));
        if (isFolder(apps))
            folders.append(apps);
    }
}

} // namespace

IconThemeWatcher::IconThemeWatcher(QObject* parent)
    : QObject(parent)
{
    connect(&watcher, &FolderWatcher::entryChanged, this, [this] { folderChanged(); });
    connect(&watcher, &FolderWatcher::folderGone, this, [this] { folderChanged(); });
    connect(&watcher, &FolderWatcher::eventsLost, this, [this] { folderChanged(); });
    watchThemeFolders();
}

QStringList IconThemeWatcher::foldersToWatch() const
{
    QStringList themes { QStringLiteral("hicolor") };
    if (!QIcon::themeName().isEmpty() && QIcon::themeName() != themes.first())
        themes.prepend(QIcon::themeName());
    QStringList folders;
    for (const QString& base : QIcon::themeSearchPaths()) {
        if (base.startsWith(QLatin1Char(':')))
            continue; // resources never change
        if (!isFolder(base)) {
            const QString parent = Folders::withoutTrailingSlashes(base).section(QLatin1Char('/'), 0, -2);
            if (isFolder(parent))
                folders.append(parent); // to see the icons folder itself appear
            continue;
        }
        folders.append(base);
        for (const QString& theme : themes) {
            const QString themeFolder = Folders::joinPath(base, theme);
            if (isFolder(themeFolder))
                addThemeFolders(themeFolder, folders);
        }
    }
    for (const QString& fallback : QIcon::fallbackSearchPaths()) {
        if (isFolder(fallback))
            folders.append(fallback);
    }
    folders.removeDuplicates();
    return folders.mid(0, maximumWatches);
}

void IconThemeWatcher::watchThemeFolders()
{
    const QStringList folders = foldersToWatch();
    for (const QString& folder : std::as_const(watched)) {
        if (!folders.contains(folder))
            watcher.unwatchFolder(folder);
    }
    watched.clear();
    for (const QString& folder : folders) {
        // Content changes too: an icon written in place under its final name.
        if (watcher.watchFolder(folder, true) == FolderWatcher::WatchResult::watching)
            watched.append(folder);
    }
}

void IconThemeWatcher::folderChanged()
{
    if (changePending)
        return;
    changePending = true;
    // Whatever else of the burst is already queued is read first, then the change is told once.
    QMetaObject::invokeMethod(
        this,
        [this] {
            changePending = false;
            watchThemeFolders();
            Q_EMIT iconsChanged();
        },
        Qt::QueuedConnection);
}

} // namespace quorvel
