// The index's binary cache: used only while it was made from the index as it is now and every
// byte checks out, rebuilt from the index otherwise; a damaged cache never crashes a reader nor
// changes what it reads.

#include "SearchTestSupport.h"
#include "support/FileBytes.h"
#include "support/IndexFiles.h"
#include "support/LogCapture.h"

#include "platform/files/AtomicFile.h"
#include "platform/files/FileIdentity.h"
#include "search/IndexCache.h"
#include "search/IndexFile.h"
#include "search/InteractiveCombinedList.h"
#include "search/NameFilter.h"

#include <QDir>
#include <QFile>
#include <QThread>
#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::test;

namespace {

const std::vector<LaunchItem> someItems = { { "Mail", "app", "/Applications/Mail.app" },
    { "Straße\nzwei", "doc", "/home/u/Straße\nzwei" }, { "\U0001D11E Notes", "odd", "/home/u/\U0001D11E" },
    { "Sound", "pref", "/usr/share/Sound.prefPane" }, { "Work", "fold", "/home/u/Work" } };

QString cacheFile()
{
    return IndexCache::cachePathFor(_combinedListPath());
}

std::vector<LaunchItem> itemsOf(const LaunchItemTable& table)
{
    std::vector<LaunchItem> items;
    for (std::size_t i = 0; i < table.size(); ++i)
        items.push_back({ table.name(i).toString(), table.type(i), table.path(i).toString() });
    return items;
}

// The cache as it stands now for the index as it stands now; nullptr when it would not be used.
std::shared_ptr<const LaunchItemTable> validCache()
{
    const std::optional<FileIdentity> identity = FileIdentity::ofFile(_combinedListPath());
    return identity ? IndexCache::load(_combinedListPath(), *identity) : nullptr;
}

// Reads everything a reader of the table can reach, and searches it in every mode.
void walkWhole(const LaunchItemTable& table)
{
    std::size_t total = 0;
    for (std::size_t i = 0; i < table.size(); ++i)
        total += std::size_t(table.name(i).size() + table.upperName(i).size() + table.path(i).size()
                     + table.type(i).size())
            + table.nameRanks()[i] + std::size_t(table.kind(i)) + table.upperHead(i);
    for (const std::uint32_t item : table.itemsWithLineFeed())
        total += table.upperName(item).size();
    for (const QString& term : { QStringLiteral("A"), QStringLiteral("MAIL"), QStringLiteral("S*") }) {
        // What the image says of its names' first units agrees with the names, or it is refused.
        NameFilter::Matches beginning;
        for (std::uint32_t i = 0; i < table.size(); ++i)
            if (table.upperName(i).startsWith(term))
                beginning.push_back(i);
        EXPECT_EQ(NameFilter::prefixMatches(table, term), beginning) << term.toStdString();
        total += NameFilter::containsMatches(table, term).size();
        total += NameFilter::wordMatches(table, term, " " + term).size();
        total += NameFilter::wildcardMatches(table, term).size();
    }
    EXPECT_GE(total, 0u);
}

} // namespace

TEST(IndexCache, IsWrittenOnFirstReadAndRebuiltWhenTheIndexChanges)
{
    writeIndex(someItems);
    EXPECT_EQ(validCache(), nullptr) << "none before the first read";
    EXPECT_EQ(itemsOf(*IndexFile::read(_combinedListPath())), someItems);
    ASSERT_NE(validCache(), nullptr);
    EXPECT_EQ(itemsOf(*validCache()), someItems) << "texts come back exactly, line feeds and non-BMP too";
    EXPECT_TRUE(cacheFile().startsWith(QDir::homePath() + "/.cache/quorvel/"));

    const std::vector<LaunchItem> other = { { "Maps", "app", "/Applications/Maps.app" } };
    writeIndex(other);
    EXPECT_EQ(validCache(), nullptr) << "made from another state of the index";
    EXPECT_EQ(itemsOf(*IndexFile::read(_combinedListPath())), other);
    ASSERT_NE(validCache(), nullptr);
    EXPECT_EQ(itemsOf(*validCache()), other);

    // The same bytes written again are another state of the file: the cache is not taken for it.
    QThread::msleep(20);
    writeIndex(other);
    EXPECT_EQ(validCache(), nullptr);
}

TEST(IndexCache, ATruncatedOrOtherVersionCacheIsRebuiltFromTheIndex)
{
    writeIndex(someItems);
    IndexFile::read(_combinedListPath());
    const QByteArray good = readBytes(cacheFile());
    ASSERT_GT(good.size(), 96);

    for (const qsizetype length :
        { qsizetype(0), qsizetype(7), qsizetype(95), qsizetype(96), good.size() / 2, good.size() - 1 }) {
        ASSERT_TRUE(AtomicFile::write(cacheFile(), good.left(length)));
        EXPECT_EQ(validCache(), nullptr) << "truncated to " << length;
        EXPECT_EQ(itemsOf(*IndexFile::read(_combinedListPath())), someItems);
        EXPECT_EQ(readBytes(cacheFile()), good) << "rebuilt after truncation to " << length;
    }

    QByteArray otherVersion = good;
    otherVersion[16] = char(IndexCache::formatVersion + 1);
    ASSERT_TRUE(AtomicFile::write(cacheFile(), otherVersion));
    LogCapture log;
    EXPECT_EQ(validCache(), nullptr);
    EXPECT_EQ(log.linesContaining("made by another version").size(), 1);
    EXPECT_EQ(itemsOf(*IndexFile::read(_combinedListPath())), someItems);
    EXPECT_EQ(readBytes(cacheFile()), good);
}

TEST(IndexCache, ACacheOfTheFormerFormatIsReplacedNotMisread)
{
    // The items of the former format's image, a cache as the previous version wrote it: with the
    // index's identity and a checksum that holds.
    const std::vector<LaunchItem> items = { { "Mail", "app", "/Applications/Mail.app" },
        { "Maps", "app", "/Applications/Maps.app" }, { "Report 2026.pdf", "doc", "/home/u/Report 2026.pdf" },
        { "Sound", "pref", "/usr/share/Sound.prefPane" }, { "Work", "fold", "/home/u/Work" } };
    writeIndex(items);
    const QByteArray former
        = readBytes(QStringLiteral(QUORVEL_SOURCE_DIR "/tests/search/data/former-format.image"));
    ASSERT_FALSE(former.isEmpty());
    const std::optional<FileIdentity> identity = FileIdentity::ofFile(_combinedListPath());
    ASSERT_TRUE(identity);
    ASSERT_TRUE(
        AtomicFile::write(cacheFile(), { QByteArrayView(IndexCache::header(*identity, former, 3)), former }));

    LogCapture log;
    EXPECT_EQ(validCache(), nullptr);
    EXPECT_EQ(log.linesContaining("made by another version").size(), 1);
    EXPECT_EQ(itemsOf(*IndexFile::read(_combinedListPath())), items);
    ASSERT_NE(validCache(), nullptr) << "rewritten in the current format";
    EXPECT_EQ(itemsOf(*validCache()), items);
    EXPECT_EQ(readBytes(cacheFile()).mid(96), IndexFile::tableOfItems(items)->image().toByteArray());

    // Its image is not one of the current format either, were its header to claim so.
    QString why;
    auto words = std::make_shared<std::vector<std::uint64_t>>((former.size() + 7) / 8);
    std::memcpy(words->data(), former.constData(), std::size_t(former.size()));
    EXPECT_EQ(LaunchItemTable::fromImage(words, reinterpret_cast<const unsigned char*>(words->data()),
                  std::size_t(former.size()), &why),
        nullptr);
}

TEST(IndexCache, ACacheTruncatedOrRewrittenInPlaceAfterItWasCheckedLeavesTheTableAsChecked)
{
    // Items over several pages, so that a reader still using the file would meet the change.
    std::vector<LaunchItem> items = someItems;
    for (int i = 0; i < 3000; ++i)
        items.push_back({ QStringLiteral("Item %1").arg(i), "doc", QStringLiteral("/d/%1").arg(i) });
    writeIndex(items);
    IndexFile::read(_combinedListPath());
    const std::shared_ptr<const LaunchItemTable> table = validCache();
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(itemsOf(*table), items);

    // The same file changed where it is, as `truncate` or a program writing into it leaves it.
    QFile cache(cacheFile());
    ASSERT_TRUE(cache.open(QIODevice::ReadWrite));
    const qint64 size = cache.size();
    ASSERT_GT(size, 16 * 4096);
    ASSERT_TRUE(cache.seek(96));
    ASSERT_EQ(cache.write(QByteArray(size - 96, '\xFF')), size - 96);
    ASSERT_TRUE(cache.flush());
    walkWhole(*table);
    EXPECT_EQ(itemsOf(*table), items) << "rewritten in place";
    ASSERT_TRUE(cache.resize(100));
    walkWhole(*table);
    EXPECT_EQ(itemsOf(*table), items) << "truncated in place";

    EXPECT_EQ(validCache(), nullptr);
    EXPECT_EQ(itemsOf(*IndexFile::read(_combinedListPath())), items)
        << "the next reader reads the index again";
}

TEST(IndexCache, BytesFlippedAnywhereAreNeverTrustedNorCrashAReader)
{
    std::vector<LaunchItem> items = someItems;
    for (int i = 0; i < 40; ++i)
        items.push_back({ QStringLiteral("Item %1").arg(i), "doc", QStringLiteral("/d/%1").arg(i) });
    writeIndex(items);
    IndexFile::read(_combinedListPath());
    const QByteArray good = readBytes(cacheFile());
    LogCapture quiet;
    for (qsizetype offset = 0; offset < good.size(); offset += offset < 128 ? 1 : 7) {
        QByteArray bad = good;
        bad[offset] = char(bad[offset] ^ (1 << (offset % 8)));
        ASSERT_TRUE(AtomicFile::write(cacheFile(), bad));
        ASSERT_EQ(validCache(), nullptr) << "offset " << offset;
        ASSERT_EQ(itemsOf(*IndexFile::read(_combinedListPath())), items) << "offset " << offset;
    }
    EXPECT_EQ(readBytes(cacheFile()), good);
}

TEST(IndexCache, AnImageDamagedBehindAValidChecksumIsRejectedOrStaysInBounds)
{
    // The checksum catches damage; the image's own checks are what stands between a cache
    // written wrongly (or forged) and a read outside the mapping.
    LaunchItemTable table;
    for (const LaunchItem& item : someItems)
        table.append(item.name, item.type, item.path);
    table.finish();
    const QByteArray image = table.image().toByteArray();
    int rejected = 0;
    for (qsizetype offset = 0; offset < image.size(); ++offset)
        for (const unsigned char mask : { 0x01, 0x80, 0xFF }) {
            auto bad = std::make_shared<std::vector<std::uint64_t>>((image.size() + 7) / 8);
            auto* bytes = reinterpret_cast<unsigned char*>(bad->data());
            std::memcpy(bytes, image.constData(), std::size_t(image.size()));
            bytes[offset] ^= mask;
            QString why;
            const auto damaged = LaunchItemTable::fromImage(bad, bytes, std::size_t(image.size()), &why);
            if (!damaged) {
                ++rejected;
                EXPECT_FALSE(why.isEmpty());
                continue;
            }
            walkWhole(*damaged);
        }
    EXPECT_GT(rejected, 0);
    QString why;
    EXPECT_EQ(LaunchItemTable::fromImage(nullptr, reinterpret_cast<const unsigned char*>(image.constData()),
                  std::size_t(image.size()) - 8, &why),
        nullptr);
}

TEST(IndexCache, AnIndexElsewhereHasItsOwnCacheAndAnUnwritableCacheOnlyCostsTheReread)
{
    writeIndex(someItems);
    const QString elsewhere = QDir::homePath() + "/other/Quorvel Launcher Index";
    QDir().mkpath(QDir::homePath() + "/other");
    ASSERT_TRUE(QFile::copy(_combinedListPath(), elsewhere));
    EXPECT_NE(IndexCache::cachePathFor(elsewhere), cacheFile());
    EXPECT_EQ(itemsOf(*IndexFile::read(elsewhere)), someItems);

    AtomicFile::setFaultInjector([](AtomicFile::Stage stage, const QString& path) {
        return stage == AtomicFile::Stage::Write && path.endsWith(".cache") ? ENOSPC : 0;
    });
    LogCapture log;
    EXPECT_EQ(itemsOf(*IndexFile::read(_combinedListPath())), someItems);
    AtomicFile::setFaultInjector({});
    EXPECT_EQ(validCache(), nullptr);
    EXPECT_EQ(log.linesContaining("Could not write").size(), 1);
}
