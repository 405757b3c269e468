#include "platform/desktop/DesktopEntry.h"

#include "platform/desktop/SettingsPanels.h"
#include "platform/files/Folders.h"
#include "platform/files/RegularFile.h"

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

struct KeyFileUnref {
    void operator()(GKeyFile* file) const { g_key_file_unref(file); }
};
using KeyFile = std::unique_ptr<GKeyFile, KeyFileUnref>;

// Far beyond any real entry; what is larger is no desktop entry.
constexpr qint64 largestEntry = 1 << 20;

QString fromGString(const char* text)
{
    return text ? QString::fromUtf8(text) : QString();
}

// The file's bytes when it is a regular file of an entry's size: a FIFO or a device named like
// an entry is refused, never read.
std::optional<QByteArray> regularFileContents(const QString& path)
{
    std::optional<RegularFile> file = RegularFile::open(path);
    if (!file || file->size() > largestEntry)
        return std::nullopt;
    return file->readAll();
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
    const std::optional<QByteArray> bytes = regularFileContents(path);
    if (!bytes)
        return std::nullopt;
    KeyFile keyFile(g_key_file_new());
    if (!g_key_file_load_from_data(
            keyFile.get(), bytes->constData(), gsize(bytes->size()), G_KEY_FILE_NONE, nullptr))
        return std::nullopt;
    // GIO refuses entries that are not Type=Application and those whose TryExec or Exec program
    // is missing.
    DesktopAppInfo info(g_desktop_app_info_new_from_keyfile(keyFile.get()));
    if (!info)
        return std::nullopt;
    DesktopEntry entry;
    entry.filePath = path;
    entry.localizedName = fromGString(g_app_info_get_name(G_APP_INFO(info.get())));
    char* icon = g_desktop_app_info_get_string(info.get(), G_KEY_FILE_DESKTOP_KEY_ICON);
    entry.icon = fromGString(icon);
    g_free(icon);
    const bool hidden = g_desktop_app_info_get_is_hidden(info.get());
    entry.shown = !hidden && g_app_info_should_show(G_APP_INFO(info.get()));
    entry.settingsPanel = !hidden && SettingsPanels::ofRunningDesktop().isPanel(keyFile.get(), path);
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
