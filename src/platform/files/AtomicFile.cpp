#include "platform/files/AtomicFile.h"

#include "platform/core/Log.h"
#include "platform/core/PlatformLog.h"
#include "platform/files/Folders.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel {

namespace {

constexpr int randomLength = 6;
const QString temporarySuffix = QStringLiteral(".tmp");

std::mutex injectorLock;
AtomicFile::FaultInjector injector; // guarded by injectorLock

int injectedFault(AtomicFile::Stage stage, const QString& path)
{
    AtomicFile::FaultInjector current;
    {
        const std::lock_guard<std::mutex> guard(injectorLock);
        current = injector;
    }
    return current ? current(stage, path) : 0;
}

bool isLetterOrDigit(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9');
}

QString randomPart()
{
    static constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QString part;
    for (int i = 0; i < randomLength; ++i)
        part += QLatin1Char(alphabet[QRandomGenerator::global()->bounded(int(sizeof alphabet - 1))]);
    return part;
}

// Removes the temporary file a killed write left, unless a live write holds its lock.
void removeIfAbandoned(int folder, const char* name)
{
    const int fd = ::openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat opened {
    }, named {};
    if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_uid == ::geteuid()
        && ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) == 0
        && named.st_dev == opened.st_dev && named.st_ino == opened.st_ino)
        ::unlinkat(folder, name, 0);
    ::close(fd);
}

void removeLeftovers(const QString& folderPath, const QString& targetName)
{
    DIR* folder = ::opendir(QFile::encodeName(folderPath).constData());
    if (!folder)
        return;
    while (const dirent* entry = ::readdir(folder)) {
        if (AtomicFile::isTemporaryNameOf(QFile::decodeName(entry->d_name), targetName))
            removeIfAbandoned(::dirfd(folder), entry->d_name);
    }
    ::closedir(folder);
}

// The mode of the new file, and whether it must be set exactly (rather than less the umask).
struct FileMode {
    mode_t bits = 0644;
    bool exact = false;
};

FileMode modeFor(const QString& path, const QByteArray& target)
{
    // The cache folder's files are derived and the user's alone; one that kept the mode of the
    // file it replaced could stay unreadable (mode 000) and be rebuilt by every reader.
    if (Folders::isInPreferencesFolder(path) || Folders::isInCacheFolder(path))
        return { 0600, true };
    struct stat existing { };
    if (::lstat(target.constData(), &existing) == 0 && S_ISREG(existing.st_mode))
        return { mode_t(existing.st_mode & 0755), true };
    return {};
}

// The temporary file, created new (never through a link) and locked; its name in temporary.
int createTemporary(const QString& path, const FileMode& mode, QByteArray& temporary, int& fd)
{
    if (const int fault = injectedFault(AtomicFile::Stage::Create, path))
        return fault;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = QFile::encodeName(path + QLatin1Char('.') + randomPart() + temporarySuffix);
        fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode.bits);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0)
            break;
        struct stat created { };
        // A write beside this one may have taken it for abandoned before it was locked.
        if (::flock(fd, LOCK_EX) == 0 && ::fstat(fd, &created) == 0 && created.st_nlink > 0)
            return mode.exact && ::fchmod(fd, mode.bits) != 0 ? errno : 0;
        ::close(fd);
        fd = -1;
    }
    const int error = errno;
    temporary.clear();
    return error ? error : EEXIST;
}

int writeAll(int fd, const std::vector<QByteArrayView>& parts, const QString& path)
{
    if (const int fault = injectedFault(AtomicFile::Stage::Write, path))
        return fault;
    for (const QByteArrayView data : parts) {
        const char* p = data.constData();
        for (qsizetype left = data.size(); left > 0;) {
            const ssize_t written = ::write(fd, p, size_t(left));
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                return written < 0 ? errno : EIO;
            p += written;
            left -= written;
        }
    }
    return 0;
}

int syncFile(int fd, const QString& path)
{
    if (const int fault = injectedFault(AtomicFile::Stage::Sync, path))
        return fault;
    return ::fsync(fd) == 0 ? 0 : errno;
}

// rename() replaces whatever the target's name is, a symbolic link included, and never follows it.
int renameOver(const QByteArray& temporary, const QByteArray& target, const QString& path)
{
    if (const int fault = injectedFault(AtomicFile::Stage::Rename, path))
        return fault;
    return ::rename(temporary.constData(), target.constData()) == 0 ? 0 : errno;
}

// Makes the rename durable: the folder's entry is on disk once this returns.
void syncFolder(const QString& folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

bool AtomicFile::write(const QString& path, const QByteArray& data)
{
    return write(path, std::vector<QByteArrayView> { QByteArrayView(data) });
}

bool AtomicFile::write(const QString& path, const std::vector<QByteArrayView>& parts)
{
    return write(path, parts, Durability::durable);
}

bool AtomicFile::write(const QString& path, const std::vector<QByteArrayView>& parts, Durability durability)
{
    const bool durable = durability == Durability::durable;
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    const QByteArray target = QFile::encodeName(info.absoluteFilePath());
    removeLeftovers(folder, info.fileName());

    QByteArray temporary;
    int fd = -1;
    int error = createTemporary(info.absoluteFilePath(), modeFor(path, target), temporary, fd);
    if (!error)
        error = writeAll(fd, parts, path);
    if (!error && durable)
        error = syncFile(fd, path);
    if (!error)
        error = renameOver(temporary, target, path);
    if (fd >= 0)
        ::close(fd); // only now: the lock keeps the file from being taken for abandoned
    if (error) {
        if (!temporary.isEmpty())
            ::unlink(temporary.constData());
        Log::line(platformLog(),
            QStringLiteral("Could not write %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(error))));
        return false;
    }
    if (durable)
        syncFolder(folder);
    return true;
}

bool AtomicFile::isTemporaryNameOf(const QString& fileName, const QString& targetName)
{
    const qsizetype length = targetName.size() + 1 + randomLength + temporarySuffix.size();
    if (fileName.size() != length || !fileName.startsWith(targetName) || !fileName.endsWith(temporarySuffix)
        || fileName.at(targetName.size()) != QLatin1Char('.'))
        return false;
    const QStringView random = QStringView(fileName).mid(targetName.size() + 1, randomLength);
    return std::all_of(random.begin(), random.end(), isLetterOrDigit);
}

void AtomicFile::setFaultInjector(FaultInjector faultInjector)
{
    const std::lock_guard<std::mutex> guard(injectorLock);
    injector = std::move(faultInjector);
}

} // namespace quorvel
