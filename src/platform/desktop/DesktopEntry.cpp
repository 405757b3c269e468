#include "platform/desktop/DesktopEntry.h"

#include "platform/files/Folders.h"

#include <QDir>
#include <QFile>

#include <gio/gdesktopappinfo.h>

#include <memory>

namespace quorvel {

namespace {

struct GObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
using DesktopAppInfo = std::unique_ptr<GDesktopAppInfo, GObjectUnref>;

QString fromGString(const char* text)
{
    return text ? QString::fromUtf8(text) : QString();
}

// "folder/applications/" with exactly one "/" between the parts and a trailing "/".
QString applicationsFolderIn(const QString& dataFolder)
{
    QString folder = QDir::cleanPath(dataFolder);
    if (!folder.endsWith(QLatin1Char('/')))
        folder.append(QLatin1Char('/'));
    return folder + QStringLiteral("applications/");
}

QStringList dataFolders()
{
    QStringList folders;
    const QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    folders.append(
        QDir::isAbsolutePath(dataHome) ? dataHome : Folders::joinPath(Folders::homeFolder(), ".local/share"));
    QString dataDirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dataDirs.isEmpty())
        dataDirs = QStringLiteral("/usr/local/share/:/usr/share/");
    for (const QString& folder : dataDirs.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        if (QDir::isAbsolutePath(folder))
            folders.append(folder);
    }
    return folders;
}

} // namespace

std::optional<DesktopEntry> DesktopEntry::fromFile(const QString& path)
{
    if (path.isEmpty())
        return std::nullopt;
    // GIO refuses files that are not Type=Application, whose TryExec or Exec program is missing,
    // and files that are not well-formed key files.
    DesktopAppInfo info(g_desktop_app_info_new_from_filename(QFile::encodeName(path).constData()));
    if (!info)
        return std::nullopt;
    DesktopEntry entry;
    entry.filePath = path;
    entry.localizedName = fromGString(g_app_info_get_name(G_APP_INFO(info.get())));
    char* icon = g_desktop_app_info_get_string(info.get(), G_KEY_FILE_DESKTOP_KEY_ICON);
    entry.icon = fromGString(icon);
    g_free(icon);
    entry.shown
        = !g_desktop_app_info_get_is_hidden(info.get()) && g_app_info_should_show(G_APP_INFO(info.get()));
    return entry;
}

bool DesktopEntry::hasDesktopEntrySuffix(const QString& path)
{
    return path.endsWith(QLatin1String(".desktop"));
}

QStringList DesktopEntry::applicationFolders()
{
    QStringList folders;
    for (const QString& dataFolder : dataFolders()) {
        const QString folder = applicationsFolderIn(dataFolder);
        if (!folders.contains(folder))
            folders.append(folder);
    }
    return folders;
}

} // namespace quorvel
