#include "platform/desktop/DesktopEntry.h"

#include "platform/desktop/SettingsPanels.h"
#include "platform/files/Folders.h"

#include <QDir>
#include <QFile>

#include <gio/gdesktopappinfo.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

bool readAll(int descriptor, QByteArray& bytes)
{
    char buffer[16384];
    for (;;) {
        const ssize_t count = ::read(descriptor, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return count == 0;
        bytes.append(buffer, count);
        if (bytes.size() > largestEntry)
            return false;
    }
}

// The file's bytes when it is a regular file: a FIFO or a device named like an entry is opened
// without blocking and then refused, never read.
std::optional<QByteArray> regularFileContents(const QString& path)
{
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0)
        return std::nullopt;
    struct stat info { };
    QByteArray bytes;
    const bool read = ::fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= largestEntry
        && readAll(descriptor, bytes);
    ::close(descriptor);
    if (!read)
        return std::nullopt;
    return bytes;
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
