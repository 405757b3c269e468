// The index cache on any table image, behind a header that vouches for it (the index's identity
// and the right checksum), so that what is tried is the image's own checks: read through the cache
// file as every reader reads it, and checked in memory. Both ways must accept the same images, and
// an accepted image must give the same items and answer searches alike either way.

#include "fuzz/FuzzTargets.h"

#include "platform/files/FileIdentity.h"
#include "search/IndexCache.h"
#include "search/NameFilter.h"

#include <cstring>
#include <memory>
#include <vector>

namespace quorvel::fuzz {

namespace {

// The items in every column a search or the panel reads.
void compareItems(const LaunchItemTable& fromFile, const LaunchItemTable& inMemory)
{
    const NameRanks ranksA = fromFile.nameRanks();
    const NameRanks ranksB = inMemory.nameRanks();
    for (std::size_t i = 0; i < fromFile.size(); ++i) {
        if (fromFile.name(i) != inMemory.name(i) || fromFile.upperName(i) != inMemory.upperName(i)
            || fromFile.path(i) != inMemory.path(i) || fromFile.type(i) != inMemory.type(i)
            || fromFile.upperHead(i) != inMemory.upperHead(i) || ranksA[i] != ranksB[i]) {
            fail(QStringLiteral("item %1 differs between the file and memory").arg(i));
            return;
        }
    }
}

void compareSearches(const LaunchItemTable& fromFile, const LaunchItemTable& inMemory)
{
    for (const QString& term : { QStringLiteral("A"), QStringLiteral("E"), QStringLiteral("") }) {
        const QString wordTerm = QStringLiteral(" ") + term;
        check(NameFilter::prefixMatches(fromFile, term) == NameFilter::prefixMatches(inMemory, term),
            "prefix searches of the file and of memory agree");
        check(NameFilter::containsMatches(fromFile, term) == NameFilter::containsMatches(inMemory, term),
            "contains searches of the file and of memory agree");
        check(NameFilter::wordMatches(fromFile, term, wordTerm)
                == NameFilter::wordMatches(inMemory, term, wordTerm),
            "word searches of the file and of memory agree");
    }
    check(NameFilter::wildcardMatches(fromFile, QStringLiteral("*A?*"))
            == NameFilter::wildcardMatches(inMemory, QStringLiteral("*A?*")),
        "wildcard searches of the file and of memory agree");
}

} // namespace

void cacheImage(const std::uint8_t* data, std::size_t size)
{
    const QString indexPath = scratchFile(QStringLiteral("cached index"));
    if (!FileIdentity::ofFile(indexPath))
        writeScratch(indexPath, reinterpret_cast<const std::uint8_t*>("index"), 5);
    const std::optional<FileIdentity> identity = FileIdentity::ofFile(indexPath);
    check(identity.has_value(), "the scratch index is there");
    if (!identity)
        return;
    const QByteArrayView image(data, qsizetype(size));
    const QByteArray file = IndexCache::header(*identity, image) + image.toByteArray();
    writeScratch(IndexCache::cachePathFor(indexPath), reinterpret_cast<const std::uint8_t*>(file.constData()),
        std::size_t(file.size()));
    const std::shared_ptr<const LaunchItemTable> fromFile = IndexCache::load(indexPath, *identity);

    // Words, so that the image begins on an 8-byte boundary as it does in the file's snapshot.
    auto words = std::make_shared<std::vector<std::uint64_t>>((std::size_t(file.size()) + 7) / 8);
    std::memcpy(words->data(), file.constData(), std::size_t(file.size()));
    QString whyNot;
    const std::shared_ptr<const LaunchItemTable> inMemory = IndexCache::fromBytes(words,
        reinterpret_cast<const unsigned char*>(words->data()), std::size_t(file.size()), *identity, &whyNot);

    if ((fromFile != nullptr) != (inMemory != nullptr)) {
        fail(fromFile ? QStringLiteral("an image read from the file is refused in memory (%1)").arg(whyNot)
                      : QStringLiteral("an image accepted in memory is refused from the file"));
        return;
    }
    if (!fromFile)
        return;
    check(fromFile->size() == inMemory->size(), "the file and memory give as many items");
    if (fromFile->size() != inMemory->size())
        return;
    compareItems(*fromFile, *inMemory);
    compareSearches(*fromFile, *inMemory);
}

} // namespace quorvel::fuzz
