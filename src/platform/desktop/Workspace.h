#pragma once
// Opening documents, launching applications, showing folders, icons and URLs on the desktop.
// Each call answers whether it succeeded and, when it did not and the caller asks, why: a short
// sentence that can be shown to the user. Never builds a command line for a shell.
// Tests replace the shared instance with a recording fake.

#include "platform/desktop/FileIcons.h"

#include <QIcon>
#include <QString>
#include <QUrl>

namespace quorvel {

class Workspace {
public:
    static Workspace& sharedWorkspace();
    // Tests: use this instance instead (not owned); nullptr returns to the real one.
    static void setSharedWorkspace(Workspace* workspace);

    virtual ~Workspace() = default;

    // A document with the desktop's default handler; a bundle or desktop entry as launchApplication.
    virtual bool openFile(const QString& path, QString* whyNot = nullptr);
    // A .app bundle by its executable, a desktop entry (Type=Application) through GIO, an
    // executable file (such as an AppImage) directly, a .prefPane by the pane's executable.
    virtual bool launchApplication(const QString& path, QString* whyNot = nullptr);
    // Shows rootFolder in the file manager (org.freedesktop.FileManager1, else the default
    // handler); with a file, that file is selected in its folder.
    virtual bool selectFileInFileViewerRootedAtPath(
        const QString& file, const QString& rootFolder, QString* whyNot = nullptr);
    // Applications: desktop entry Icon=, a bundle's icon file, else the theme's generic
    // application icon, else a drawn one (never a document's page). Documents: the theme icon
    // of the MIME type, else its generic one (cached per type). Folders: the folder icon. Never a
    // null icon (the style's file-type icons, then drawn shapes, stand in). Main thread only.
    virtual QIcon iconForFile(const QString& path);
    virtual bool openURL(const QUrl& url, QString* whyNot = nullptr);

private:
    FileIcons icons;
};

} // namespace quorvel
