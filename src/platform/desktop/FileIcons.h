#pragma once
// The icons the workspace shows for files: an application's own (a desktop entry's Icon=, a
// bundle's icon file), else the theme's generic application icon; a document's theme icon of its
// MIME type, else its generic one; the folder icon. Never a null icon: without an icon theme (a
// bare session) drawn shapes of a folder, a page and a program window stand in. The theme is
// asked once per MIME type. What the themes lacked is asked again once their folders change (an
// application's icons installed while the launcher runs). Main thread only.

#include <QHash>
#include <QIcon>
#include <QPointer>
#include <QString>

namespace quorvel {

class IconThemeWatcher;

class FileIcons final {
public:
    FileIcons();
    ~FileIcons();
    FileIcons(const FileIcons&) = delete;
    FileIcons& operator=(const FileIcons&) = delete;

    // The icon a desktop entry names, else the generic application icon.
    QIcon iconOfDesktopEntry(const QString& path);
    // The bundle's CFBundleIconFile or NSPrefPaneIconFile, else the generic application icon.
    QIcon iconOfBundle(const QString& path);
    // An application that names no icon, or one the theme lacks, must not look like a document.
    QIcon applicationIcon();
    // A folder's or a document's icon (also of one that no longer exists, by its extension).
    QIcon iconOfDocument(const QString& path);

private:
    // Watches the themes from the first look-up on, while the application object lives.
    void watchThemes();
    void forgetLookUps();

    QPointer<IconThemeWatcher> themeWatcher; // a child of the application object, which may go first
    QHash<QString, QIcon> iconsByMimeType; // theme look-ups are slow; the panel asks on every selection
    QIcon genericApplicationIcon;
};

} // namespace quorvel
