#include "platform/settings/UserDefaults.h"

#include "platform/core/Log.h"
#include "platform/core/PlatformLog.h"
#include "platform/desktop/Bundle.h"
#include "platform/files/AtomicFile.h"
#include "platform/files/Folders.h"
#include "platform/files/UnreadableFile.h"
#include "platform/plist/PropertyList.h"
#include "platform/settings/StoredValue.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>

#include <cerrno>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel {

namespace {

// Used only while the main bundle answers no identifier (a bare executable, a tool).
const QString fallbackIdentifier = QStringLiteral("org.quorvel.launcher");

// Another process holds the lock for one write of a small file; longer than this means it hangs.
constexpr int lockTimeoutMilliseconds = 5000;

std::unique_ptr<UserDefaults>& sharedInstance()
{
    static std::unique_ptr<UserDefaults> instance;
    return instance;
}

bool isReal(const QVariant& value)
{
    const int type = value.metaType().id();
    return type == QMetaType::Float || type == QMetaType::Double;
}

// QLockFile creates its file exclusively, so it never writes through a link planted at the
// lock's name; but it would wait on one as on a lock held elsewhere. Such a link is no lock.
void removeLinkAt(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat info { };
    if (::lstat(native.constData(), &info) == 0 && S_ISLNK(info.st_mode))
        ::unlink(native.constData());
}

// QLockFile makes its file readable and writable by all, less the umask; this layer's files
// are the user's alone.
void makeOwnerOnly(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fchmod(fd, 0600);
    ::close(fd);
}

// QLockFile clears a stale lock under a lock of its own, the lock's name with ".rmlock" added, and
// clears a stale one of those the same way. A process killed while it clears leaves that lock
// behind, and nothing else would ever clear it: no later write finds its own lock stale. With the
// settings' lock held no clearing can need them (a live holder's lock is never stale): they go.
void removeClearingLocks(const QString& lockPath)
{
    const QFileInfo lock(lockPath);
    const QString lockName = lock.fileName();
    const QDir folder = lock.dir();
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (!name.startsWith(lockName) || name.size() == lockName.size())
            continue;
        QStringView rest = QStringView(name).mid(lockName.size());
        while (rest.startsWith(u".rmlock"))
            rest = rest.mid(7);
        if (rest.isEmpty())
            QFile::remove(folder.filePath(name));
    }
}

// Why QLockFile could not take a lock that nobody holds: it tells only that it failed (and
// removes the file it could not fill). Doing what it does, creating a file beside the lock and
// writing to it, meets the same refusal, which errno names (a full disk, a read-only folder).
QString whyNoLockFile(const QString& lockPath)
{
    const QByteArray probe = QFile::encodeName(lockPath + QStringLiteral(".probe"));
    const int fd = ::open(probe.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    const QByteArray contents = QByteArray::number(::getpid()) + "\nquorvel\nhost\n";
    const int error = ::write(fd, contents.constData(), size_t(contents.size())) < 0 ? errno : 0;
    ::close(fd);
    ::unlink(probe.constData());
    return error ? QString::fromLocal8Bit(std::strerror(error)) : QStringLiteral("reason unknown");
}

QString lockFailure(const QLockFile& lock, const QString& lockPath, const QString& path)
{
    if (lock.error() == QLockFile::LockFailedError)
        return QStringLiteral("Settings not synchronised: %1 stays locked").arg(path);
    return QStringLiteral("Settings not synchronised: the lock file %1 could not be created (%2)")
        .arg(lockPath, whyNoLockFile(lockPath));
}

} // namespace

UserDefaults& UserDefaults::standardUserDefaults()
{
    std::unique_ptr<UserDefaults>& instance = sharedInstance();
    if (!instance) {
        QString identifier = Bundle::mainBundle().bundleIdentifier();
        if (identifier.isEmpty())
            identifier = fallbackIdentifier;
        instance = std::make_unique<UserDefaults>(identifier);
    }
    return *instance;
}

void UserDefaults::resetStandardUserDefaults()
{
    sharedInstance().reset();
}

UserDefaults::UserDefaults(const QString& applicationIdentifier)
    : identifier(applicationIdentifier)
{
    const QString path = domainFilePath();
    if (std::optional<QVariantMap> stored = PropertyList::readDictionaryFile(path))
        persistent = std::move(*stored);
    else if (QFileInfo::exists(path))
        UnreadableFile::keepCopy(path);
}

QString UserDefaults::domainFilePath() const
{
    return Folders::pathInPreferencesFolder(identifier + QStringLiteral(".plist"));
}

void UserDefaults::registerDefaults(const QVariantMap& defaults)
{
    for (auto it = defaults.cbegin(); it != defaults.cend(); ++it)
        registered.insert(it.key(), it.value());
}

QVariant UserDefaults::objectForKey(const QString& key) const
{
    const auto stored = persistent.constFind(key);
    if (stored != persistent.cend())
        return *stored;
    return registered.value(key);
}

qint64 UserDefaults::integerForKey(const QString& key) const
{
    return StoredValue::toInteger(objectForKey(key));
}

float UserDefaults::floatForKey(const QString& key) const
{
    return static_cast<float>(doubleForKey(key));
}

double UserDefaults::doubleForKey(const QString& key) const
{
    return StoredValue::toDouble(objectForKey(key));
}

bool UserDefaults::boolForKey(const QString& key) const
{
    return StoredValue::toBool(objectForKey(key));
}

QString UserDefaults::stringForKey(const QString& key) const
{
    const QVariant value = objectForKey(key);
    if (value.metaType().id() == QMetaType::QString)
        return value.toString();
    if (value.metaType().id() == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    if (isReal(value))
        return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    if (StoredValue::isNumber(value))
        return value.toString();
    return {};
}

QVariantMap UserDefaults::dictionaryForKey(const QString& key) const
{
    const QVariant value = objectForKey(key);
    const int type = value.metaType().id();
    if (type == QMetaType::QVariantMap || type == QMetaType::QVariantHash)
        return value.toMap();
    return {};
}

void UserDefaults::setObject(const QString& key, const QVariant& value)
{
    if (!value.isValid()) {
        removeObjectForKey(key);
        return;
    }
    // A value the file cannot hold would make every later synchronize fail; it is refused here.
    if (PropertyList::toData(value).isEmpty()) {
        Log::line(platformLog(),
            QStringLiteral("Setting \"%1\" not stored: %2 is not a property-list value")
                .arg(key, QString::fromLatin1(value.metaType().name())));
        return;
    }
    persistent.insert(key, value);
    changedKeys.insert(key);
}

void UserDefaults::setInteger(const QString& key, qint64 value)
{
    setObject(key, QVariant(value));
}

void UserDefaults::setFloat(const QString& key, float value)
{
    setObject(key, QVariant(value));
}

void UserDefaults::setBool(const QString& key, bool value)
{
    setObject(key, QVariant(value));
}

void UserDefaults::setString(const QString& key, const QString& value)
{
    setObject(key, QVariant(value));
}

void UserDefaults::removeObjectForKey(const QString& key)
{
    persistent.remove(key);
    changedKeys.insert(key);
}

// A missing file holds no keys (someone reset the settings). An unreadable one (truncated,
// binary, not a dictionary) is set aside rather than merged: the values last read stand in for
// it, so that writing does not drop the keys the file held when it was good.
QVariantMap UserDefaults::storedValues(const QString& path) const
{
    if (const std::optional<QVariantMap> stored = PropertyList::readDictionaryFile(path))
        return *stored;
    if (!QFileInfo::exists(path))
        return {};
    UnreadableFile::keepCopy(path);
    return persistent;
}

bool UserDefaults::synchronize()
{
    const QString path = domainFilePath();
    // Nothing to write: the file is only ever replaced whole, so a read sees one writer's file
    // and needs no lock (taking one creates and flushes a file, and waits for any writer).
    if (changedKeys.isEmpty()) {
        persistent = storedValues(path);
        return true;
    }
    const QString lockPath = path + QStringLiteral(".lock");
    removeLinkAt(lockPath);
    QLockFile lock(lockPath);
    if (!lock.tryLock(lockTimeoutMilliseconds)) {
        Log::line(platformLog(), lockFailure(lock, lockPath, path));
        return false; // the changes stay pending for the next synchronize
    }
    makeOwnerOnly(lockPath);
    removeClearingLocks(lockPath);
    QVariantMap merged = storedValues(path);
    for (const QString& key : std::as_const(changedKeys)) {
        const auto own = persistent.constFind(key);
        if (own != persistent.cend())
            merged.insert(key, *own);
        else
            merged.remove(key);
    }
    persistent = merged;
    if (!PropertyList::writeFile(path, merged))
        return false;
    changedKeys.clear();
    return true;
}

} // namespace quorvel
