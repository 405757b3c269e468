// The history cache on any image, behind a header that vouches for it (the history file's
// identity and the right checksum), so that what is tried is the image's own checks: read
// through the cache file as the history reads it, and checked in memory. Both ways must accept
// the same images; an accepted image must find each of its paths in either form, and say again
// exactly what it held when made anew from its entries. The bytes as a whole cache file must
// never crash a reader either.

#include "fuzz/FuzzTargets.h"

#include "platform/files/FileIdentity.h"
#include "search/HistoryCache.h"

#include <cstring>
#include <memory>
#include <vector>

namespace quorvel::fuzz {

namespace {

std::shared_ptr<const HistoryImage> inMemory(
    const QByteArray& file, const FileIdentity& identity, QString* whyNot)
{
    // Words, so that the image begins on an 8-byte boundary as it does in the file's snapshot.
    auto words = std::make_shared<std::vector<std::uint64_t>>((std::size_t(file.size()) + 7) / 8);
    if (!file.isEmpty())
        std::memcpy(words->data(), file.constData(), std::size_t(file.size()));
    return HistoryCache::fromBytes(words, reinterpret_cast<const unsigned char*>(words->data()),
        std::size_t(file.size()), identity, whyNot);
}

void checkEntries(const HistoryImage& image)
{
    for (std::size_t entry = 0; entry < image.size(); ++entry) {
        const QStringView path = image.path(entry);
        check(image.find(path) == &image.launchTimes(entry), "every path is found as UTF-16");
        const QByteArray utf8 = path.toUtf8();
        if (path.isValidUtf16())
            check(image.find(QUtf8StringView(utf8)) == &image.launchTimes(entry),
                "every path is found as UTF-8");
    }
    check(HistoryImage::of(image.entries())->bytes() == image.bytes(), "the image is made anew the same");
}

} // namespace

void historyCacheImage(const std::uint8_t* data, std::size_t size)
{
    const QString historyPath = scratchFile(QStringLiteral("cached history"));
    if (!FileIdentity::ofFile(historyPath))
        writeScratch(historyPath, reinterpret_cast<const std::uint8_t*>("history"), 7);
    const std::optional<FileIdentity> identity = FileIdentity::ofFile(historyPath);
    check(identity.has_value(), "the scratch history is there");
    if (!identity)
        return;
    const QByteArray raw(reinterpret_cast<const char*>(data), qsizetype(size));
    inMemory(raw, *identity, nullptr);

    const QByteArray file = HistoryCache::header(*identity, raw) + raw;
    writeScratch(HistoryCache::cachePathFor(historyPath),
        reinterpret_cast<const std::uint8_t*>(file.constData()), std::size_t(file.size()));
    const std::shared_ptr<const HistoryImage> fromFile = HistoryCache::load(historyPath, *identity);
    QString whyNot;
    const std::shared_ptr<const HistoryImage> checked = inMemory(file, *identity, &whyNot);
    if ((fromFile != nullptr) != (checked != nullptr)) {
        fail(fromFile ? QStringLiteral("an image read from the file is refused in memory (%1)").arg(whyNot)
                      : QStringLiteral("an image accepted in memory is refused from the file"));
        return;
    }
    if (!fromFile)
        return;
    check(*fromFile == *checked, "the file and memory give the same image");
    checkEntries(*fromFile);
}

} // namespace quorvel::fuzz
