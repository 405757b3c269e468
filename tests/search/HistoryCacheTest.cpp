// The launch history's binary cache: taken instead of the history file only while it was made
// from the file as it is now and every byte checks out; otherwise the file is read and the
// cache made anew. What the history ranks must not depend on which of the two it came from.

#include "SearchTestSupport.h"
#include "support/FileBytes.h"
#include "support/IndexFiles.h"
#include "support/LogCapture.h"

#include "platform/core/Clock.h"
#include "platform/files/FileIdentity.h"
#include "search/HistoryCache.h"
#include "search/HistoryImage.h"
#include "search/InteractiveCombinedList.h"

#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace quorvel;
using namespace quorvel::test;

namespace {

constexpr double now = 800000000.0;

QString cacheFile()
{
    return HistoryCache::cachePathFor(_historyPath());
}

FileIdentity historyIdentity()
{
    return FileIdentity::ofFile(_historyPath()).value();
}

// A cache for the history file as it is now that holds something else than the file: a manager
// that shows this content took it from the cache and did not parse the file.
QByteArray cacheThatDisagreesWithTheFile()
{
    const auto image = HistoryImage::of({ { "/from/the cache", { now - 3, now - 2, now - 1 } } });
    return HistoryCache::header(historyIdentity(), image->bytes()) + image->bytes().toByteArray();
}

HistoryImage::Entries validCacheEntries()
{
    const auto image = HistoryCache::load(_historyPath(), historyIdentity());
    return image ? image->entries() : HistoryImage::Entries { { "no valid cache", {} } };
}

} // namespace

TEST(HistoryCache, IsTakenInsteadOfTheFileUntilTheFileChanges)
{
    writeHistory({ { "/apps/Mail", launchTimes({ now - 100 }) } });
    writeBytes(cacheFile(), cacheThatDisagreesWithTheFile());
    {
        const UsageInformationManager usage;
        EXPECT_EQ(usage.launchCountFor("/from/the cache"), 3) << "the cache is used";
        EXPECT_EQ(usage.launchCountFor("/apps/Mail"), 0) << "the file is not parsed";
    }

    writeHistory({ { "/apps/Notes", launchTimes({ now - 10, now - 5 }) } });
    const UsageInformationManager usage;
    EXPECT_EQ(usage.launchCountFor("/from/the cache"), 0) << "a cache of another state of the file";
    EXPECT_EQ(usage.launchCountFor("/apps/Notes"), 2);
    EXPECT_EQ(validCacheEntries(), (HistoryImage::Entries { { "/apps/Notes", { now - 10, now - 5 } } }))
        << "made anew from the file just read";
}

TEST(HistoryCache, ADamagedCacheIsIgnoredLoggedAndReplaced)
{
    const test::LogCapture log;
    const auto damages = std::vector<std::pair<const char*, std::function<QByteArray(QByteArray)>>> {
        { "empty", [](QByteArray) { return QByteArray(); } },
        { "a header only", [](QByteArray bytes) { return bytes.left(88); } },
        { "one byte short", [](QByteArray bytes) { return bytes.chopped(1); } },
        { "a byte more", [](QByteArray bytes) { return bytes + '\0'; } },
        { "the magic", [](QByteArray bytes) { return bytes.replace(0, 4, "XXXX"); } },
        { "another version", [](QByteArray bytes) { return bytes.replace(16, 1, "\x7f"); } },
        { "a launch time", [](QByteArray bytes) { return bytes.replace(bytes.size() / 2, 1, "\x01"); } },
        { "the last path", [](QByteArray bytes) { return bytes.replace(bytes.size() - 1, 1, "?"); } },
    };
    int round = 0;
    for (const auto& [damage, damaged] : damages) {
        // Every round another state of the file (its size too), so none is taken from memory.
        QVariantList launches;
        for (int i = 0; i <= round; ++i)
            launches.append(now - 1 - i);
        ++round;
        writeHistory({ { "/apps/Mail", launches } });
        writeBytes(cacheFile(), damaged(cacheThatDisagreesWithTheFile()));
        const UsageInformationManager usage;
        EXPECT_EQ(usage.launchCountFor("/from/the cache"), 0) << damage;
        EXPECT_EQ(usage.launchCountFor("/apps/Mail"), round) << damage << ": the file is read";
        EXPECT_EQ(validCacheEntries().size(), 1u) << damage << ": replaced by a cache of the file";
        EXPECT_EQ(validCacheEntries().count("/apps/Mail"), 1u) << damage;
    }
    EXPECT_EQ(log.linesContaining("History cache").size(), damages.size() - 1) << "an empty file is no cache";
}

TEST(HistoryCache, BytesFlippedAnywhereAreNeverTrusted)
{
    writeHistory({ { "/apps/Mail", launchTimes({ now - 1 }) } });
    const QByteArray good = cacheThatDisagreesWithTheFile();
    std::vector<std::uint64_t> aligned((std::size_t(good.size()) + 7) / 8);
    auto* bytes = reinterpret_cast<unsigned char*>(aligned.data());
    std::memcpy(bytes, good.constData(), std::size_t(good.size()));
    ASSERT_NE(HistoryCache::fromBytes(nullptr, bytes, std::size_t(good.size()), historyIdentity(), nullptr),
        nullptr);
    for (std::size_t at = 0; at < std::size_t(good.size()); ++at) {
        bytes[at] ^= 0x10;
        EXPECT_EQ(
            HistoryCache::fromBytes(nullptr, bytes, std::size_t(good.size()), historyIdentity(), nullptr),
            nullptr)
            << "byte " << at;
        bytes[at] ^= 0x10;
    }
}

TEST(HistoryCache, EverySaveWritesAPrivateCacheOfWhatItWrote)
{
    Clock::setFixedTime(now);
    writeHistory({ { "/apps/Mail", launchTimes({ now - 100 }) }, { "/\U0001D11E odd", launchTimes({}) } });
    {
        UsageInformationManager usage;
        usage.registerLaunchOf("/apps/Mail");
        usage.registerLaunchOf("/apps/Straße");
        usage.save();
    }
    struct stat status { };
    ASSERT_EQ(::stat(QFile::encodeName(cacheFile()).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0600u);
    const HistoryImage::Entries expected
        = { { "/apps/Mail", { now - 100, now } }, { "/apps/Straße", { now } }, { "/\U0001D11E odd", {} } };
    EXPECT_EQ(validCacheEntries(), expected);

    // Not cached: a history with values that are not times (they are not in the image), and one
    // with a path the file cannot hold as it is.
    writeHistory({ { "/apps/Mail", launchTimes({ now - 100 }) }, { "/apps/odd", "not a list" } });
    const test::LogCapture quiet;
    UsageInformationManager odd;
    odd.registerLaunchOf("/apps/Mail");
    odd.save();
    EXPECT_EQ(HistoryCache::load(_historyPath(), historyIdentity()), nullptr);
    writeHistory({ { "/apps/Mail", launchTimes({ now - 100 }) } });
    UsageInformationManager lone;
    lone.registerLaunchOf(QStringLiteral("/apps/") + QChar(0xD800) + QChar(0x1));
    lone.save();
    EXPECT_EQ(HistoryCache::load(_historyPath(), historyIdentity()), nullptr);
}

TEST(HistoryCache, RankingWithTheCacheEqualsRankingAfterParsing)
{
    Clock::setFixedTime(now);
    std::vector<LaunchItem> items;
    QVariantMap history;
    for (int i = 0; i < 60; ++i) {
        const QString name = QStringLiteral("Item %1 é").arg((i * 37) % 61); // not in name order
        items.push_back({ name, QStringList { "app", "doc", "pref", "fold" }[i % 4], "/items/" + name });
        if (i % 3 != 0)
            history.insert("/items/" + name, launchTimes({ now - 10.0 * i, now - 1000.0 * (i % 5) }));
    }
    writeIndex(items);
    writeHistory(history);
    const auto rankedNow = [] {
        InteractiveCombinedList list;
        list.load();
        list.setFilterWithMode("item", InteractiveList::ContainsMode);
        return matchesOf(list);
    };
    const std::vector<LaunchItem> parsed = rankedNow();
    ASSERT_EQ(parsed.size(), items.size());

    // The same file again is another state of it: the cache is made to stand for it, so that
    // this list (the first of this state in the process) takes its history from the cache.
    const QByteArray file = readBytes(_historyPath());
    const std::shared_ptr<const HistoryImage> cached = HistoryCache::load(_historyPath(), historyIdentity());
    ASSERT_NE(cached, nullptr);
    writeBytes(_historyPath(), file + "\n");
    ASSERT_TRUE(HistoryCache::write(_historyPath(), historyIdentity(), *cached));
    EXPECT_EQ(rankedNow(), parsed);
}
