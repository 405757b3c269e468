#pragma once
// The icons the workspace shows for files: an application's own (a desktop entry's Icon=, a
// bundle's icon file), else the theme's generic application icon; a document's theme icon of its
// MIME type, else its generic one; the folder icon. Never a null icon: without an icon theme (a
// bare session) drawn shapes of a folder, a page and a program window stand in. The theme is
// asked once per MIME type. Main thread only.

#include <QHash>
#include <QIcon>
#include <QString>

namespace quorvel {

class FileIcons final {
public:
    // The icon a desktop entry names, else the generic application icon.
    QIcon iconOfDesktopEntry(const QString& path);
    // The bundle's CFBundleIconFile or NSPrefPaneIconFile, else the generic application icon.
    QIcon iconOfBundle(const QString& path);
    // An application that names no icon, or one the theme lacks, must not look like a document.
    QIcon applicationIcon();
    // A folder's or a document's icon (also of one that no longer exists, by its extension).
    QIcon iconOfDocument(const QString& path);

private:
    QHash<QString, QIcon> iconsByMimeType; // theme look-ups are slow; the panel asks on every selection
    QIcon genericApplicationIcon;
};

} // namespace quorvel
