#include "search/IndexCache.h"

#include "platform/core/Log.h"
#include "platform/files/AtomicFile.h"
#include "platform/files/FileManager.h"
#include "platform/files/FileSnapshot.h"
#include "platform/files/Folders.h"
#include "search/SearchLog.h"

#include <QByteArray>
#include <QFileInfo>
#include <algorithm>
#include <array>
#include <cstring>

namespace quorvel {

namespace {

constexpr char magic[8] = { 'Q', 'R', 'V', 'L', 'I', 'X', 'C', '\0' };

// Where each field of the header lies.
enum HeaderOffset : std::size_t {
    MagicAt = 0,
    ChecksumAt = 8,
    VersionAt = 16,
    HeaderLengthAt = 20,
    IdentityAt = 24,
    ImageLengthAt = IdentityAt + sizeof(FileIdentity::Fields),
    ReservedAt = ImageLengthAt + 8,
    HeaderLength = ReservedAt + 8,
};
static_assert(HeaderLength % 8 == 0, "the image must begin on an 8-byte boundary");

template <typename T> T numberAt(const unsigned char* bytes, std::size_t offset)
{
    T value;
    std::memcpy(&value, bytes + offset, sizeof value);
    return value;
}

template <typename T> void putNumber(QByteArray& header, std::size_t offset, T value)
{
    std::memcpy(header.data() + offset, &value, sizeof value);
}

constexpr std::uint64_t prime1 = 0x9E3779B185EBCA87ull;
constexpr std::uint64_t prime2 = 0xC2B2AE3D27D4EB4Full;
constexpr std::uint64_t prime3 = 0x165667B19E3779F9ull;

std::uint64_t rotate(std::uint64_t x, int bits)
{
    return (x << bits) | (x >> (64 - bits));
}

std::uint64_t mixIn(std::uint64_t lane, std::uint64_t word)
{
    return rotate(lane + word * prime2, 31) * prime1;
}

// The checksum of the header's fields after the checksum and of the image.
std::uint64_t checksumOfFile(const unsigned char* header, const unsigned char* image, std::size_t imageLength)
{
    return IndexCache::checksum(header + VersionAt, HeaderLength - VersionAt) * prime1
        ^ IndexCache::checksum(image, imageLength);
}

// Why the cache file's bytes cannot stand for the index; empty when they can.
QString flawOf(const unsigned char* bytes, std::size_t size, const FileIdentity& identity)
{
    if (size < HeaderLength || std::memcmp(bytes + MagicAt, magic, sizeof magic) != 0)
        return QStringLiteral("not a cache file");
    if (numberAt<std::uint32_t>(bytes, VersionAt) != IndexCache::formatVersion
        || numberAt<std::uint32_t>(bytes, HeaderLengthAt) != HeaderLength)
        return QStringLiteral("made by another version");
    FileIdentity::Fields recorded;
    std::memcpy(recorded.data(), bytes + IdentityAt, sizeof recorded);
    if (FileIdentity::fromFields(recorded) != identity)
        return QStringLiteral("stale");
    if (numberAt<std::uint64_t>(bytes, ImageLengthAt) != size - HeaderLength)
        return QStringLiteral("truncated");
    if (numberAt<std::uint64_t>(bytes, ChecksumAt)
        != checksumOfFile(bytes, bytes + HeaderLength, size - HeaderLength))
        return QStringLiteral("its checksum does not match");
    return QString();
}

} // namespace

std::uint64_t IndexCache::checksum(const unsigned char* bytes, std::size_t size)
{
    // Eight lanes take a 64-byte stripe at a time: each word goes whole into the neighbouring
    // lane and, mixed with a key of its own place, as the product of its two halves into its
    // lane; the lanes are scrambled after every block of stripes. The compiler turns the loop
    // into vector instructions. Any change of a single word changes the sum it went into, so
    // a flipped bit is always found; other damage goes unnoticed once in 2^64.
    constexpr std::size_t lanes = 8, stripesPerBlock = 16, stripe = lanes * 8;
    static const auto keys = [] {
        std::array<std::array<std::uint64_t, lanes>, stripesPerBlock> table {};
        std::uint64_t state = prime3;
        for (auto& row : table)
            for (std::uint64_t& key : row) {
                state += prime1;
                key = (state ^ (state >> 29)) * prime2;
            }
        return table;
    }();
    std::array<std::uint64_t, lanes> acc = { prime3, prime1, prime2, prime1 ^ prime2, prime2 + prime3,
        prime1 + prime3, prime3 ^ prime1, prime2 ^ prime3 };
    std::size_t i = 0;
    while (i + stripe <= size) {
        const std::size_t blockStripes = std::min(stripesPerBlock, (size - i) / stripe);
        for (std::size_t s = 0; s < blockStripes; ++s, i += stripe)
            for (std::size_t lane = 0; lane < lanes; ++lane) {
                const std::uint64_t word = numberAt<std::uint64_t>(bytes, i + 8 * lane);
                const std::uint64_t keyed = word ^ keys[s][lane];
                acc[lane ^ 1] += word;
                acc[lane] += (keyed & 0xFFFFFFFFu) * (keyed >> 32);
            }
        for (std::uint64_t& lane : acc)
            lane = (lane ^ (lane >> 47) ^ prime3) * prime1;
    }
    std::uint64_t hash = size * prime1;
    for (const std::uint64_t lane : acc)
        hash = rotate(hash ^ mixIn(0, lane), 27) * prime1 + prime3;
    for (; i < size; ++i)
        hash = rotate(hash ^ (bytes[i] * prime3), 11) * prime1;
    hash ^= hash >> 33;
    hash *= prime2;
    hash ^= hash >> 29;
    hash *= prime3;
    return hash ^ (hash >> 32);
}

QString IndexCache::cachePathFor(const QString& indexPath)
{
    const QString fileName = QFileInfo(indexPath).fileName();
    if (Folders::isInPreferencesFolder(indexPath))
        return Folders::joinPath(Folders::cacheFolder(), fileName + QStringLiteral(".cache"));
    const QByteArray absolute = QFileInfo(indexPath).absoluteFilePath().toUtf8();
    const std::uint64_t hash = checksum(
        reinterpret_cast<const unsigned char*>(absolute.constData()), std::size_t(absolute.size()));
    return Folders::joinPath(Folders::cacheFolder(),
        QStringLiteral("%1.%2.cache").arg(fileName).arg(hash, 16, 16, QLatin1Char('0')));
}

std::shared_ptr<const LaunchItemTable> IndexCache::load(
    const QString& indexPath, const FileIdentity& identity)
{
    const QString cachePath = cachePathFor(indexPath);
    // Read whole rather than mapped: what is checked here is what every search reads later, and
    // a cache file truncated or rewritten meanwhile cannot change it (see FileSnapshot).
    std::shared_ptr<const FileSnapshot> file = FileSnapshot::read(cachePath);
    if (!file)
        return nullptr; // none yet
    QString flaw;
    if (std::shared_ptr<const LaunchItemTable> table
        = fromBytes(file, file->data(), file->size(), identity, &flaw))
        return table;
    // A cache the index has moved on from is the usual case after another writer; only damage is news.
    if (flaw != QStringLiteral("stale"))
        Log::line(searchLog(),
            QStringLiteral("Index cache %1 not used (%2); rebuilding it from the index")
                .arg(cachePath, flaw));
    return nullptr;
}

std::shared_ptr<const LaunchItemTable> IndexCache::fromBytes(std::shared_ptr<const void> storage,
    const unsigned char* bytes, std::size_t size, const FileIdentity& identity, QString* whyNot)
{
    QString flaw = flawOf(bytes, size, identity);
    std::shared_ptr<const LaunchItemTable> table;
    if (flaw.isEmpty())
        table = LaunchItemTable::fromImage(
            std::move(storage), bytes + HeaderLength, size - HeaderLength, &flaw);
    if (whyNot)
        *whyNot = flaw;
    return table;
}

QByteArray IndexCache::header(const FileIdentity& identity, QByteArrayView image, std::uint32_t version)
{
    QByteArray header(HeaderLength, '\0');
    std::memcpy(header.data() + MagicAt, magic, sizeof magic);
    putNumber<std::uint32_t>(header, VersionAt, version);
    putNumber<std::uint32_t>(header, HeaderLengthAt, HeaderLength);
    const FileIdentity::Fields fields = identity.fields();
    std::memcpy(header.data() + IdentityAt, fields.data(), sizeof fields);
    putNumber<std::uint64_t>(header, ImageLengthAt, static_cast<std::uint64_t>(image.size()));
    putNumber<std::uint64_t>(header, ChecksumAt,
        checksumOfFile(reinterpret_cast<const unsigned char*>(header.constData()),
            reinterpret_cast<const unsigned char*>(image.data()), std::size_t(image.size())));
    return header;
}

bool IndexCache::write(const QString& indexPath, const FileIdentity& identity, const LaunchItemTable& table)
{
    const QByteArrayView image = table.image();
    if (image.isEmpty())
        return false; // not finished
    const QString cachePath = cachePathFor(indexPath);
    // A cache this process cannot open (mode 000, someone else's) is no cache at all: every
    // reader would parse the index again. The new one takes its place, and is the user's own.
    if (const QString why = FileManager::whyUnreadableAtPath(cachePath); !why.isEmpty())
        Log::line(searchLog(),
            QStringLiteral("Index cache %1 could not be read (%2); replacing it").arg(cachePath, why));
    // The cache is checked whole when read and made again from its record: no wait on the disk.
    return AtomicFile::write(
        cachePath, { QByteArrayView(header(identity, image)), image }, AtomicFile::Durability::replaced);
}

} // namespace quorvel
