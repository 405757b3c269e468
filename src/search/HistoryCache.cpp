#include "search/HistoryCache.h"

#include "platform/core/Log.h"
#include "platform/files/AtomicFile.h"
#include "platform/files/FileSnapshot.h"
#include "platform/files/Folders.h"
#include "search/IndexCache.h"
#include "search/SearchLog.h"

#include <QFileInfo>
#include <cstring>
#include <type_traits>

namespace quorvel {

namespace {

struct Header {
    char magic[8];
    std::uint64_t checksum; // of every byte after it, the image's too
    std::uint32_t version;
    std::uint32_t headerLength;
    FileIdentity::Fields history;
    std::uint64_t imageLength;
};
static_assert(std::is_trivially_copyable_v<Header> && sizeof(Header) % 8 == 0,
    "the header is copied whole, and the image after it must begin 8-byte aligned");

constexpr char magic[8] = { 'Q', 'R', 'V', 'L', 'H', 'S', 'C', '\0' };
constexpr std::size_t checkedFrom = offsetof(Header, version);

std::uint64_t checksumOf(const unsigned char* header, const unsigned char* image, std::size_t imageLength)
{
    // The two sums are mixed unevenly, so that bytes moved from the header to the image count.
    return IndexCache::checksum(header + checkedFrom, sizeof(Header) - checkedFrom) * 0x9E3779B185EBCA87ull
        ^ IndexCache::checksum(image, imageLength);
}

QString flawOf(const unsigned char* bytes, std::size_t size, const FileIdentity& identity)
{
    Header header;
    if (size < sizeof header)
        return QStringLiteral("not a history cache");
    std::memcpy(&header, bytes, sizeof header);
    if (std::memcmp(header.magic, magic, sizeof magic) != 0)
        return QStringLiteral("not a history cache");
    if (header.version != HistoryCache::formatVersion || header.headerLength != sizeof header)
        return QStringLiteral("made by another version");
    if (FileIdentity::fromFields(header.history) != identity)
        return QStringLiteral("stale");
    if (header.imageLength != size - sizeof header)
        return QStringLiteral("truncated");
    if (header.checksum != checksumOf(bytes, bytes + sizeof header, size - sizeof header))
        return QStringLiteral("its checksum does not match");
    return QString();
}

} // namespace

QString HistoryCache::cachePathFor(const QString& historyPath)
{
    const QString fileName = QFileInfo(historyPath).fileName();
    if (Folders::isInPreferencesFolder(historyPath))
        return Folders::joinPath(Folders::cacheFolder(), fileName + QStringLiteral(".cache"));
    const QByteArray absolute = QFileInfo(historyPath).absoluteFilePath().toUtf8();
    const std::uint64_t hash = IndexCache::checksum(
        reinterpret_cast<const unsigned char*>(absolute.constData()), std::size_t(absolute.size()));
    return Folders::joinPath(Folders::cacheFolder(),
        QStringLiteral("%1.%2.cache").arg(fileName).arg(hash, 16, 16, QLatin1Char('0')));
}

std::shared_ptr<const HistoryImage> HistoryCache::load(
    const QString& historyPath, const FileIdentity& identity)
{
    const QString cachePath = cachePathFor(historyPath);
    // Read whole, not mapped: the bytes checked are the bytes used, whatever happens to the file.
    std::shared_ptr<const FileSnapshot> file = FileSnapshot::read(cachePath);
    if (!file)
        return nullptr;
    QString flaw;
    if (std::shared_ptr<const HistoryImage> image
        = fromBytes(file, file->data(), file->size(), identity, &flaw))
        return image;
    if (flaw != QStringLiteral("stale"))
        Log::line(searchLog(),
            QStringLiteral("History cache %1 not used (%2); reading the history instead")
                .arg(cachePath, flaw));
    return nullptr;
}

std::shared_ptr<const HistoryImage> HistoryCache::fromBytes(std::shared_ptr<const void> storage,
    const unsigned char* bytes, std::size_t size, const FileIdentity& identity, QString* whyNot)
{
    QString flaw = flawOf(bytes, size, identity);
    std::shared_ptr<const HistoryImage> image;
    if (flaw.isEmpty())
        image = HistoryImage::fromBytes(
            std::move(storage), bytes + sizeof(Header), size - sizeof(Header), &flaw);
    if (whyNot)
        *whyNot = flaw;
    return image;
}

QByteArray HistoryCache::header(const FileIdentity& identity, QByteArrayView image)
{
    Header header {};
    std::memcpy(header.magic, magic, sizeof magic);
    header.version = formatVersion;
    header.headerLength = sizeof header;
    header.history = identity.fields();
    header.imageLength = std::uint64_t(image.size());
    header.checksum = checksumOf(reinterpret_cast<const unsigned char*>(&header),
        reinterpret_cast<const unsigned char*>(image.data()), std::size_t(image.size()));
    return QByteArray(reinterpret_cast<const char*>(&header), sizeof header);
}

bool HistoryCache::write(const QString& historyPath, const FileIdentity& identity, const HistoryImage& image)
{
    // The cache is checked whole when read and made again from its record: no wait on the disk.
    return AtomicFile::write(cachePathFor(historyPath),
        { QByteArrayView(header(identity, image.bytes())), image.bytes() }, AtomicFile::Durability::replaced);
}

} // namespace quorvel
