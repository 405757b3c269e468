#include "platform/files/Folders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel {

namespace {

QString homeOfAccount(const char* name)
{
    const passwd* entry = name ? getpwnam(name) : getpwuid(getuid());
    if (!entry || !entry->pw_dir)
        return {};
    return QString::fromLocal8Bit(entry->pw_dir);
}

// mkdir with an explicit mode, so that the folder is private whatever the umask says.
void createPrivateFolder(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) == 0)
        ::chmod(native.constData(), 0700);
}

// Takes group's and others' access away from a folder of this user's that has it.
void makePrivate(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat info { };
    if (::stat(native.constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid()
        && (info.st_mode & 077) != 0)
        ::chmod(native.constData(), info.st_mode & 0700);
}

QString preferencesFolderPath()
{
    return Folders::joinPath(Folders::libraryFolder(), QStringLiteral("Preferences"));
}

// The base directory specification ignores a relative value.
QString cacheBasePath()
{
    const QString base = QFile::decodeName(qgetenv("XDG_CACHE_HOME"));
    if (base.isEmpty() || !base.startsWith(QLatin1Char('/')))
        return Folders::joinPath(Folders::homeFolder(), QStringLiteral(".cache"));
    return base;
}

} // namespace

QString Folders::homeFolder()
{
    const QByteArray home = qgetenv("HOME");
    if (!home.isEmpty())
        return QFile::decodeName(home);
    return homeOfAccount(nullptr);
}

QString Folders::libraryFolder()
{
    return joinPath(homeFolder(), QStringLiteral("Library"));
}

QString Folders::preferencesFolder()
{
    const QString preferences = preferencesFolderPath();
    if (!QFileInfo::exists(preferences)) {
        createPrivateFolder(libraryFolder());
        createPrivateFolder(preferences);
    }
    makePrivate(preferences);
    return preferences;
}

bool Folders::isInPreferencesFolder(const QString& path)
{
    return QDir::cleanPath(QFileInfo(path).absolutePath()) == QDir::cleanPath(preferencesFolderPath());
}

QString Folders::pathInPreferencesFolder(const QString& fileName)
{
    return joinPath(preferencesFolder(), fileName);
}

QString Folders::cacheFolder()
{
    const QString base = cacheBasePath();
    createPrivateFolders(base);
    const QString folder = joinPath(base, QStringLiteral("quorvel"));
    if (!QFileInfo::exists(folder))
        createPrivateFolder(folder);
    makePrivate(folder);
    return folder;
}

bool Folders::createPrivateFolders(const QString& path)
{
    if (path.isEmpty())
        return false;
    if (QFileInfo(path).isDir())
        return true;
    const QString cleaned = QDir::cleanPath(path);
    const QString parent = QFileInfo(cleaned).path();
    if (parent != cleaned && !createPrivateFolders(parent))
        return false;
    createPrivateFolder(cleaned);
    return QFileInfo(cleaned).isDir();
}

bool Folders::isInCacheFolder(const QString& path)
{
    const QString folder = joinPath(cacheBasePath(), QStringLiteral("quorvel"));
    return QDir::cleanPath(QFileInfo(path).absolutePath()) == QDir::cleanPath(folder);
}

QString Folders::expandTilde(const QString& path)
{
    if (!path.startsWith(QLatin1Char('~')))
        return path;
    const qsizetype slash = path.indexOf(QLatin1Char('/'));
    const QString user = path.mid(1, slash < 0 ? -1 : slash - 1);
    const QString rest = slash < 0 ? QString() : path.mid(slash);
    const QString home = user.isEmpty() ? homeFolder() : homeOfAccount(user.toLocal8Bit().constData());
    if (home.isEmpty())
        return path;
    if (rest.isEmpty())
        return home;
    if (home.endsWith(QLatin1Char('/')))
        return home + rest.mid(1);
    return home + rest;
}

QString Folders::joinPath(const QString& folder, const QString& name)
{
    if (folder.isEmpty())
        return name;
    QString trimmedName = name;
    while (trimmedName.startsWith(QLatin1Char('/')))
        trimmedName.remove(0, 1);
    if (folder.endsWith(QLatin1Char('/')))
        return folder + trimmedName;
    return folder + QLatin1Char('/') + trimmedName;
}

QString Folders::lastPathComponent(const QString& path)
{
    qsizetype end = path.size();
    while (end > 1 && path.at(end - 1) == QLatin1Char('/'))
        --end;
    if (end == 1 && path.at(0) == QLatin1Char('/'))
        return QStringLiteral("/");
    const qsizetype start = path.lastIndexOf(QLatin1Char('/'), end - 1) + 1;
    return path.mid(start, end - start);
}

QString Folders::withoutTrailingSlashes(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

} // namespace quorvel
