#include "platform/files/FileManager.h"

#include "platform/desktop/DesktopEntry.h"
#include "platform/files/FinderInfo.h"
#include "platform/files/Folders.h"
#include "platform/files/VirtualFileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

namespace quorvel {

namespace {

QByteArray encoded(const QString& path)
{
    return QFile::encodeName(path);
}

// A name from the file system as a QString, or nothing when the bytes are not valid UTF-8 (the
// round trip through the decoder is the one test that rules out lossy or ambiguous forms).
std::optional<QString> decodedName(const char* bytes, std::size_t length)
{
    bool ascii = true;
    for (std::size_t i = 0; i < length && ascii; ++i)
        ascii = static_cast<unsigned char>(bytes[i]) < 0x80;
    if (ascii)
        return QString::fromLatin1(bytes, static_cast<qsizetype>(length));
    const QByteArray raw(bytes, static_cast<qsizetype>(length));
    QString name = QString::fromUtf8(raw);
    if (name.toUtf8() != raw)
        return std::nullopt;
    return name;
}

bool isDotOrDotDot(const char* name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Reads the listing's entries; calls add(name, raw name, dirent type) for each decodable one.
template <typename Add> bool readFolder(DIR* folder, const QString& path, QStringList* undecodable, Add add)
{
    while (const dirent* entry = ::readdir(folder)) {
        if (isDotOrDotDot(entry->d_name))
            continue;
        const std::size_t length = std::strlen(entry->d_name);
        if (std::optional<QString> name = decodedName(entry->d_name, length)) {
            add(*name, entry->d_name, entry->d_type);
            continue;
        }
        if (undecodable) {
            undecodable->append(
                QDir(path).filePath(QString::fromUtf8(entry->d_name, static_cast<qsizetype>(length))));
        }
    }
    return true;
}

bool isSymbolicLink(const QString& path)
{
    struct stat info { };
    return ::lstat(encoded(path).constData(), &info) == 0 && S_ISLNK(info.st_mode);
}

bool hasAppImageSuffix(const QString& path)
{
    return path.endsWith(QLatin1String(".AppImage"), Qt::CaseInsensitive);
}

// The display name of a path whose last component is name, unless a desktop entry names it.
QString displayNameOfName(const QString& name)
{
    if (name.endsWith(QLatin1String(".app")) && name.size() > 4)
        return name.chopped(4);
    return name;
}

// Files without stored codes that this desktop still treats as applications. A desktop entry
// read on the way leaves its name in desktopName (when asked for): the empty string when the
// file is no shown application or has no name; and whether it is a settings panel in
// settingsPanel (when asked for).
std::uint32_t derivedTypeCode(const QString& path, bool followLinks,
    std::optional<QString>* desktopName = nullptr, bool* settingsPanel = nullptr)
{
    const bool desktopEntry = DesktopEntry::hasDesktopEntrySuffix(path);
    if (!desktopEntry && !hasAppImageSuffix(path))
        return 0;
    if (!followLinks && isSymbolicLink(path))
        return 0;
    if (desktopEntry) {
        const std::optional<DesktopEntry> entry = DesktopEntry::fromFile(path);
        if (desktopName)
            *desktopName = entry ? entry->name() : QString();
        if (settingsPanel)
            *settingsPanel = entry && entry->isSettingsPanel();
        return entry && entry->shouldBeShown() ? FileManager::applicationTypeCode : 0;
    }
    return FileManager::isExecutableFile(path) ? FileManager::applicationTypeCode : 0;
}

// typeOfListedEntry for a file listed under name with these stored codes.
FileManager::ListedFileType listedFileType(
    const QString& path, const QString& name, std::uint32_t storedTypeCode)
{
    FileManager::ListedFileType type;
    if (storedTypeCode) {
        type.code = storedTypeCode;
        return type;
    }
    std::optional<QString> desktopName;
    type.code = derivedTypeCode(path, true, &desktopName, &type.settingsPanel);
    if (desktopName)
        type.displayName = desktopName->isEmpty() ? displayNameOfName(name) : *desktopName;
    return type;
}

FolderListing listFolder(const QString& path, QStringList* undecodable)
{
    FolderListing listing;
    const int descriptor = ::open(encoded(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) {
        listing.error = errno;
        return listing;
    }
    struct stat own { };
    DIR* folder = ::fstat(descriptor, &own) == 0 ? ::fdopendir(descriptor) : nullptr;
    if (!folder) {
        listing.error = errno;
        ::close(descriptor);
        return listing;
    }
    listing.readable = true;
    listing.device = own.st_dev;
    listing.inode = own.st_ino;
    listing.virtualFileSystem = VirtualFileSystem::nameOfFolder(descriptor);
    readFolder(folder, path, undecodable, [&](const QString& name, const char* rawName, unsigned char type) {
        FolderEntry entry { name, true, type == DT_DIR, type == DT_REG, type == DT_LNK };
        // Only links and file systems that give no type need a look at the entry itself.
        if (type == DT_LNK || type == DT_UNKNOWN) {
            struct stat info { };
            entry.exists = ::fstatat(descriptor, rawName, &info, 0) == 0;
            entry.isFolder = entry.exists && S_ISDIR(info.st_mode);
            entry.isRegularFile = entry.exists && S_ISREG(info.st_mode);
            if (type == DT_UNKNOWN)
                entry.isLink = ::fstatat(descriptor, rawName, &info, AT_SYMLINK_NOFOLLOW) == 0
                    && S_ISLNK(info.st_mode);
        }
        if (entry.isRegularFile) {
            if (const auto stored = FinderInfo::inFolder(descriptor, path, rawName)) {
                entry.storedTypeCode = stored->type;
                entry.storedCreatorCode = stored->creator;
            }
        }
        listing.entries.push_back(std::move(entry));
    });
    ::closedir(folder); // closes the descriptor too
    return listing;
}

} // namespace

bool FileManager::fileExistsAtPath(const QString& path, bool* isDirectory)
{
    struct stat info { };
    const bool exists = !path.isEmpty() && ::stat(encoded(path).constData(), &info) == 0;
    if (isDirectory)
        *isDirectory = exists && S_ISDIR(info.st_mode);
    return exists;
}

QStringList FileManager::directoryContentsAtPath(const QString& path, QStringList* undecodable)
{
    QStringList names;
    DIR* folder = ::opendir(encoded(path).constData());
    if (!folder)
        return names;
    readFolder(folder, path, undecodable,
        [&](const QString& name, const char*, unsigned char) { names.append(name); });
    ::closedir(folder);
    return names;
}

FolderListing FileManager::listFolderAtPath(const QString& path, QStringList* undecodable)
{
    return listFolder(path, undecodable);
}

std::uint32_t FileManager::typeCodeAtPath(const QString& path, bool followLinks)
{
    if (const auto stored = FinderInfo::atPath(path, followLinks)) {
        if (stored->type)
            return stored->type;
    }
    return derivedTypeCode(path, followLinks);
}

std::uint32_t FileManager::typeCodeOfListedEntry(const QString& path, const FolderEntry& entry)
{
    return entry.storedTypeCode ? entry.storedTypeCode : derivedTypeCode(path, true);
}

FileManager::ListedFileType FileManager::typeOfListedEntry(const QString& path, const FolderEntry& entry)
{
    return listedFileType(path, entry.name, entry.storedTypeCode);
}

std::uint32_t FileManager::creatorCodeAtPath(const QString& path, bool followLinks)
{
    const auto stored = FinderInfo::atPath(path, followLinks);
    return stored ? stored->creator : 0;
}

QString FileManager::fileTypeForHFSTypeCode(std::uint32_t code)
{
    if (code == 0)
        return QStringLiteral("''");
    QString text(QLatin1Char('\''));
    for (int shift = 24; shift >= 0; shift -= 8)
        text.append(QChar(char16_t((code >> shift) & 0xFF)));
    text.append(QLatin1Char('\''));
    return text;
}

QString FileManager::displayNameAtPath(const QString& path)
{
    if (DesktopEntry::hasDesktopEntrySuffix(path)) {
        if (const std::optional<DesktopEntry> entry = DesktopEntry::fromFile(path)) {
            if (!entry->name().isEmpty())
                return entry->name();
        }
    }
    return displayNameOfName(Folders::lastPathComponent(path));
}

QString FileManager::displayNameOfListedEntry(const QString& path, const FolderEntry& entry)
{
    if (DesktopEntry::hasDesktopEntrySuffix(entry.name))
        return displayNameAtPath(path);
    return displayNameOfName(entry.name);
}

bool FileManager::isExecutableFile(const QString& path)
{
    struct stat info { };
    const QByteArray native = encoded(path);
    return ::stat(native.constData(), &info) == 0 && S_ISREG(info.st_mode)
        && ::access(native.constData(), X_OK) == 0;
}

QString FileManager::whyUnreadableAtPath(const QString& path)
{
    const int fd = ::open(encoded(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return {};
    }
    return errno == ENOENT ? QString() : QString::fromLocal8Bit(std::strerror(errno));
}

bool FileManager::removeItemAtPath(const QString& path)
{
    const QByteArray native = encoded(path);
    struct stat info { };
    if (::lstat(native.constData(), &info) != 0)
        return errno == ENOENT;
    // A link is removed itself, never the folder it points to.
    if (S_ISDIR(info.st_mode))
        QDir(path).removeRecursively();
    else
        ::unlink(native.constData());
    return ::lstat(native.constData(), &info) != 0 && errno == ENOENT;
}

bool FileManager::copyItemAtPathToPath(const QString& source, const QString& destination)
{
    return QFile::copy(source, destination);
}

bool FileManager::touchModificationDateAtPath(const QString& path)
{
    // Folders included, which QFile cannot open to set a time.
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), nullptr, 0) == 0;
}

std::optional<QDateTime> FileManager::modificationDateAtPath(const QString& path)
{
    struct stat info { };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return QDateTime::fromMSecsSinceEpoch(
        qint64(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000);
}

bool FileManager::isSymbolicLinkAtPath(const QString& path)
{
    struct stat info { };
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISLNK(info.st_mode);
}

QString FileManager::resolvedPath(const QString& path)
{
    return QFileInfo(path).canonicalFilePath();
}

} // namespace quorvel
