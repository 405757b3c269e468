#include "platform/FileManager.h"

#include "platform/DesktopEntry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

namespace quorvel {

namespace {

constexpr char finderInfoAttribute[] = "user.com.apple.FinderInfo";

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

// The 8 leading bytes of the Finder information (type, then creator, big-endian), if present.
std::optional<std::array<unsigned char, 8>> finderInfo(const QString& path, bool followLinks)
{
    std::array<unsigned char, 32> buffer {};
    const QByteArray native = encoded(path);
    const ssize_t length = followLinks
        ? ::getxattr(native.constData(), finderInfoAttribute, buffer.data(), buffer.size())
        : ::lgetxattr(native.constData(), finderInfoAttribute, buffer.data(), buffer.size());
    if (length < 8)
        return std::nullopt;
    std::array<unsigned char, 8> info {};
    std::copy_n(buffer.begin(), 8, info.begin());
    return info;
}

// getxattrat(2) (Linux 6.13) reads an attribute by a name relative to an open folder, sparing
// the lookup of the whole path for every file of a listing; older kernels answer ENOSYS.
#ifndef SYS_getxattrat
#define SYS_getxattrat 464
#endif
struct XattrArguments {
    std::uint64_t value;
    std::uint32_t size;
    std::uint32_t flags;
};
std::atomic<bool> relativeAttributesWork { true };

ssize_t finderInfoInFolder(
    int folder, const QString& folderPath, const char* name, unsigned char* buffer, std::size_t size)
{
    if (relativeAttributesWork.load(std::memory_order_relaxed)) {
        XattrArguments arguments { reinterpret_cast<std::uintptr_t>(buffer), std::uint32_t(size), 0 };
        const long length
            = ::syscall(SYS_getxattrat, folder, name, 0u, finderInfoAttribute, &arguments, sizeof arguments);
        if (length >= 0 || errno != ENOSYS)
            return length;
        relativeAttributesWork.store(false);
    }
    const QByteArray path = encoded(folderPath) + '/' + name;
    return ::getxattr(path.constData(), finderInfoAttribute, buffer, size);
}

std::uint32_t bigEndianCode(const unsigned char* bytes)
{
    return (std::uint32_t(bytes[0]) << 24) | (std::uint32_t(bytes[1]) << 16) | (std::uint32_t(bytes[2]) << 8)
        | std::uint32_t(bytes[3]);
}

// Tells the processor that this thread is spinning.
void spinPause()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

} // namespace

// The stored codes of one listing's files, read by the reading thread while the walk classifies
// the entries. Whoever claims an entry first (the reading thread, or the walk when it gets
// there first) reads it, so nothing is read twice and the walk waits only on a read under way
// (where the two meet).
struct ListedCodes {
    enum State : std::uint8_t { unclaimed, reading, done };

    ListedCodes(int folder, QString folderPath)
        : folder(folder)
        , folderPath(std::move(folderPath))
    {
    }
    ~ListedCodes() { ::close(folder); }
    ListedCodes(const ListedCodes&) = delete;
    ListedCodes& operator=(const ListedCodes&) = delete;

    // While listing: one call per entry, in listed order.
    void add(const char* rawName, bool hasCodes)
    {
        nameOffsets.push_back(names.size());
        names.insert(names.end(), rawName, rawName + std::strlen(rawName) + 1);
        needsReading.push_back(hasCodes);
    }
    void finishListing()
    {
        typeCodes.assign(needsReading.size(), 0);
        states = std::vector<std::atomic<std::uint8_t>>(needsReading.size());
        for (std::size_t i = 0; i < needsReading.size(); ++i) {
            if (!needsReading[i])
                states[i].store(done, std::memory_order_relaxed);
        }
    }

    std::size_t count() const { return states.size(); }
    bool claim(std::size_t i)
    {
        std::uint8_t expected = unclaimed;
        return states[i].compare_exchange_strong(expected, reading, std::memory_order_acq_rel);
    }
    void read(std::size_t i)
    {
        std::array<unsigned char, 32> info {};
        if (finderInfoInFolder(folder, folderPath, names.data() + nameOffsets[i], info.data(), info.size())
            >= 8)
            typeCodes[i] = bigEndianCode(info.data());
        states[i].store(done, std::memory_order_release);
    }
    // Entry i's type code, read now unless the reading thread has it or is reading it.
    std::uint32_t typeCode(std::size_t i)
    {
        if (claim(i))
            read(i);
        // A read under way ends within microseconds: spin, and give way only if it does not.
        for (int spins = 0; states[i].load(std::memory_order_acquire) != done; ++spins) {
            if (spins < 4096)
                spinPause();
            else
                std::this_thread::yield();
        }
        return typeCodes[i];
    }

private:
    const int folder;
    const QString folderPath;
    std::vector<char> names; // each entry's name as listed, NUL-terminated, at its offset
    std::vector<std::size_t> nameOffsets;
    std::vector<bool> needsReading;
    std::vector<std::uint32_t> typeCodes;
    std::vector<std::atomic<std::uint8_t>> states;
};

namespace {

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
// file is no shown application or has no name.
std::uint32_t derivedTypeCode(
    const QString& path, bool followLinks, std::optional<QString>* desktopName = nullptr)
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
    type.code = derivedTypeCode(path, true, &desktopName);
    if (desktopName)
        type.displayName = desktopName->isEmpty() ? displayNameOfName(name) : *desktopName;
    return type;
}

QString lastPathComponent(const QString& path)
{
    qsizetype end = path.size();
    while (end > 1 && path.at(end - 1) == QLatin1Char('/'))
        --end;
    if (end == 1 && path.startsWith(QLatin1Char('/')))
        return QStringLiteral("/");
    const qsizetype start = path.lastIndexOf(QLatin1Char('/'), end - 1) + 1;
    if (start == 0 && end == path.size())
        return path;
    return path.mid(start, end - start);
}

// Reads the stored codes of listings on a thread of its own, one listing after the other in
// the order they were made, each from its last entry back: the caller classifies from the first
// entry on and reads what it reaches first itself, so the two share the reads and neither waits
// for the other. Lives as long as the process.
class CodeReader final {
public:
    static CodeReader& shared()
    {
        static CodeReader* const reader = new CodeReader; // never destroyed: its thread never ends
        return *reader;
    }

    // Queues the listing's codes; when too many wait already, they are left to the caller.
    void readAhead(const std::shared_ptr<ListedCodes>& codes)
    {
        {
            const std::lock_guard<std::mutex> guard(lock);
            if (waiting.size() >= waitingLimit)
                return;
            waiting.push_back(codes);
        }
        wake.notify_one();
    }

private:
    // Each waiting listing holds its folder open: the limit bounds the open descriptors.
    static constexpr std::size_t waitingLimit = 64;

    CodeReader()
    {
        std::thread([this] { run(); }).detach();
    }

    void run()
    {
        for (;;) {
            std::shared_ptr<ListedCodes> codes;
            {
                std::unique_lock<std::mutex> guard(lock);
                wake.wait(guard, [this] { return !waiting.empty(); });
                codes = std::move(waiting.front());
                waiting.pop_front();
            }
            for (std::size_t i = codes->count(); i-- > 0;) {
                if (codes.use_count() == 1)
                    break; // the listing is gone: nobody asks any more
                if (codes->claim(i))
                    codes->read(i);
            }
        }
    }

    std::mutex lock;
    std::condition_variable wake;
    std::deque<std::shared_ptr<ListedCodes>> waiting; // guarded by lock
};

FolderListing listFolder(const QString& path, QStringList* undecodable, bool readCodesAhead)
{
    FolderListing listing;
    const int descriptor = ::open(encoded(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        return listing;
    struct stat own { };
    DIR* folder = ::fstat(descriptor, &own) == 0 ? ::fdopendir(descriptor) : nullptr;
    if (!folder) {
        ::close(descriptor);
        return listing;
    }
    listing.readable = true;
    listing.device = own.st_dev;
    listing.inode = own.st_ino;
    // The reading thread needs the folder open after the listing is done.
    const int ownDescriptor = readCodesAhead ? ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0) : -1;
    std::shared_ptr<ListedCodes> codes;
    if (ownDescriptor >= 0)
        codes = std::make_shared<ListedCodes>(ownDescriptor, path);
    readFolder(folder, path, undecodable, [&](const QString& name, const char* rawName, unsigned char type) {
        FolderEntry entry { name, true, type == DT_DIR };
        // Only links and file systems that give no type need a look at the entry itself.
        if (type == DT_LNK || type == DT_UNKNOWN) {
            struct stat info { };
            entry.exists = ::fstatat(descriptor, rawName, &info, 0) == 0;
            entry.isFolder = entry.exists && S_ISDIR(info.st_mode);
        }
        const bool hasCodes = entry.exists && !entry.isFolder;
        if (codes) {
            codes->add(rawName, hasCodes);
        } else if (hasCodes) {
            std::array<unsigned char, 32> info {};
            if (finderInfoInFolder(descriptor, path, rawName, info.data(), info.size()) >= 8) {
                entry.storedTypeCode = bigEndianCode(info.data());
                entry.storedCreatorCode = bigEndianCode(info.data() + 4);
            }
        }
        listing.entries.push_back(std::move(entry));
    });
    ::closedir(folder); // closes the descriptor too
    if (codes) {
        codes->finishListing();
        CodeReader::shared().readAhead(codes);
        listing.codesReadAhead = std::move(codes);
    }
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
    return listFolder(path, undecodable, false);
}

FolderListing FileManager::listFolderAtPathReadingCodesAhead(const QString& path, QStringList* undecodable)
{
    return listFolder(path, undecodable, true);
}

std::uint32_t FileManager::typeCodeAtPath(const QString& path, bool followLinks)
{
    if (const auto info = finderInfo(path, followLinks)) {
        if (const std::uint32_t code = bigEndianCode(info->data()))
            return code;
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

FileManager::ListedFileType FileManager::typeOfListedEntry(
    const QString& path, const FolderListing& listing, std::size_t index)
{
    const FolderEntry& entry = listing.entries.at(index);
    if (!listing.codesReadAhead)
        return typeOfListedEntry(path, entry);
    return listedFileType(path, entry.name, listing.codesReadAhead->typeCode(index));
}

std::uint32_t FileManager::creatorCodeAtPath(const QString& path, bool followLinks)
{
    const auto info = finderInfo(path, followLinks);
    return info ? bigEndianCode(info->data() + 4) : 0;
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
    return displayNameOfName(lastPathComponent(path));
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

} // namespace quorvel
