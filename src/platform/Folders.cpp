#include "platform/Folders.h"

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
    const QString library = libraryFolder();
    const QString preferences = joinPath(library, QStringLiteral("Preferences"));
    if (!QFileInfo::exists(preferences)) {
        createPrivateFolder(library);
        createPrivateFolder(preferences);
    }
    return preferences;
}

QString Folders::pathInPreferencesFolder(const QString& fileName)
{
    return joinPath(preferencesFolder(), fileName);
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

} // namespace quorvel
