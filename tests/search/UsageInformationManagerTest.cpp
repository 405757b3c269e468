#include "SearchTestSupport.h"

#include "platform/core/Clock.h"
#include "platform/core/Log.h"
#include "platform/plist/PropertyList.h"
#include "search/UsageInformationManager.h"
#include "support/FullDisk.h"
#include "support/LogCapture.h"
#include "support/PythonPlist.h"

#include <QFile>
#include <cmath>
#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::test;

namespace {

constexpr double now = 800000000.0;

LaunchItem item(const QString& name, const QString& type, const QString& path = {})
{
    return { name, type, path.isEmpty() ? "/x/" + name : path };
}

// The score of a document (natural score 0, so its usage score alone) launched at the given times.
float documentScore(std::initializer_list<double> times)
{
    writeHistory({ { "/doc", launchTimes(times) } });
    UsageInformationManager usage;
    Clock::setFixedTime(now);
    usage.updateTime();
    return usage.scoreOf(LaunchItemKind::Document, usage.launchTimesFor(u"/doc"));
}

} // namespace

TEST(UsageInformationManager, UsageScoreFollowsTheAgeOfEachLaunch)
{
    EXPECT_FLOAT_EQ(documentScore({ now - 10 }), 5.0f) << "ten seconds";
    EXPECT_FLOAT_EQ(documentScore({ now - 1 }), 6.0f);
    EXPECT_NEAR(documentScore({ now - 3600 }), 2.4437f, 1e-4);
    EXPECT_EQ(documentScore({ now - 1000000 }), 0.0f) << "exactly 1,000,000 seconds adds 0";
    EXPECT_FLOAT_EQ(documentScore({ now - 1000001 }), 0.3f) << "older adds 0.3 again";
    EXPECT_FLOAT_EQ(documentScore({ now }), 0.3f) << "age 0";
    EXPECT_GT(documentScore({ now - 0.5 }), 6.0f);
    // Single-precision sum of double-precision additions, in order.
    float expected = 0.0f;
    for (double age : { 10.0, 3600.0, 2000000.0 })
        expected = static_cast<float>(double(expected) + (age > 1e6 ? 0.3 : 6.0 - std::log10(age)));
    EXPECT_EQ(documentScore({ now - 10, now - 3600, now - 2000000 }), expected);
}

TEST(UsageInformationManager, LaunchInTheFutureScoresLikeAFreshOneInsteadOfNotANumber)
{
    const float future = documentScore({ now + 3600 });
    EXPECT_FALSE(std::isnan(future));
    EXPECT_FLOAT_EQ(future, 0.3f);

    // So the item still takes its place: after a recently launched one, before unlaunched ones.
    writeHistory(
        { { "/x/Future", launchTimes({ now + 3600 }) }, { "/x/Recent", launchTimes({ now - 60 }) } });
    UsageInformationManager usage;
    Clock::setFixedTime(now);
    usage.updateTime();
    EXPECT_EQ(usage.compareTo(item("Future", "doc"), item("Plain", "doc")), -1);
    EXPECT_EQ(usage.compareTo(item("Recent", "doc"), item("Future", "doc")), -1);
}

TEST(UsageInformationManager, NaturalScoresAndTheAlphabeticalBonusOrderUnlaunchedItems)
{
    UsageInformationManager usage;
    usage.updateTime();
    // Type gaps exceed the bonus whatever the names.
    EXPECT_EQ(usage.compareTo(item("Zeta", "pref"), item("Alpha", "app")), -1);
    EXPECT_EQ(usage.compareTo(item("Zeta", "app"), item("Alpha", "fold")), -1);
    EXPECT_EQ(usage.compareTo(item("Zeta", "fold"), item("Alpha", "doc")), -1);
    EXPECT_EQ(usage.compareTo(item("Alpha", "doc"), item("Zeta", "fold")), 1);
    EXPECT_EQ(usage.compareTo(item("Zeta", "fold"), item("Alpha", "weird")), -1)
        << "an unknown type scores 0";
    // Within a type the earlier name wins, ignoring case.
    EXPECT_EQ(usage.compareTo(item("beta", "app"), item("Gamma", "app")), -1);
    EXPECT_EQ(usage.compareTo(item("Gamma", "app"), item("beta", "app")), 1);
    EXPECT_EQ(usage.compareTo(item("Mail", "app", "/a"), item("MAIL", "app", "/b")), 0);
}

TEST(UsageInformationManager, OneRecentLaunchOutweighsTypeAndName)
{
    Clock::setFixedTime(now);
    writeHistory({ { "/x/Zulu", launchTimes({ now - 86000 }) } });
    UsageInformationManager usage;
    usage.updateTime();
    EXPECT_EQ(usage.compareTo(item("Zulu", "doc"), item("Alpha", "pref")), -1);
    EXPECT_EQ(_adaptiveSort(item("Alpha", "pref"), item("Zulu", "doc"), &usage), 1);
}

TEST(UsageInformationManager, EmptyHistoryOrdersPanesApplicationsFoldersDocumentsEachAlphabetically)
{
    std::vector<LaunchItem> items
        = { item("b doc", "doc"), item("Z app", "app"), item("a fold", "fold"), item("A doc", "doc"),
              item("y pref", "pref"), item("B fold", "fold"), item("c app", "app"), item("X pref", "pref") };
    UsageInformationManager usage;
    usage.updateTime();
    std::vector<LaunchItem> buffer(items.size());
    referenceMergeSort(items, 0, items.size(), buffer,
        [&](const LaunchItem& a, const LaunchItem& b) { return usage.compareTo(a, b); });
    EXPECT_EQ(namesOf(items),
        QStringList({ "X pref", "y pref", "c app", "Z app", "a fold", "B fold", "A doc", "b doc" }));
}

TEST(UsageInformationManager, RegisteredLaunchesAreCountedAndSurviveSaveAndLoad)
{
    Clock::setFixedTime(now);
    writeHistory({ { "/old", launchTimes({ now - 100 }) } });
    UsageInformationManager usage;
    EXPECT_EQ(usage.launchCountFor("/nothing"), 0);
    for (int i = 0; i < 3; ++i)
        usage.registerLaunchOf("/three");
    Clock::setFixedTime(now + 5);
    usage.registerLaunchOf("/old");
    EXPECT_EQ(usage.launchCountFor("/three"), 3);
    EXPECT_EQ(usage.launchCountFor("/old"), 2);

    UsageInformationManager unsaved;
    EXPECT_EQ(unsaved.launchCountFor("/three"), 0) << "registering writes nothing";

    usage.save();
    UsageInformationManager reread;
    EXPECT_EQ(reread.launchCountFor("/three"), 3);
    const auto* times = reread.launchTimesFor(u"/old");
    ASSERT_NE(times, nullptr);
    EXPECT_EQ(*times, (std::vector<double> { now - 100, now + 5 })) << "the new time at the end";
}

// Every summons makes a new list and with it a new manager: launches recorded while the disk
// is full must reach the next manager, and the first write after the space is back stores them.
TEST(UsageInformationManager, LaunchesRecordedWhileTheHistoryCannotBeWrittenAreStoredByTheNextWrite)
{
    Clock::setFixedTime(now);
    writeHistory({ { "/apps/Mail", launchTimes({ now - 100 }) } });
    const test::LogCapture quiet;
    {
        const test::FullDisk full;
        for (int launch = 1; launch <= 3; ++launch) {
            UsageInformationManager summons;
            EXPECT_EQ(summons.launchCountFor("/apps/Mail"), launch) << "summons " << launch;
            Clock::setFixedTime(now + launch);
            summons.registerLaunchOf("/apps/Mail");
            summons.save();
        }
        EXPECT_EQ(
            PropertyList::readDictionaryFile(_historyPath()).value().value("/apps/Mail").toList().size(), 1)
            << "the file is as it was";
    }
    UsageInformationManager(/* the space is back */).save();
    EXPECT_EQ(PropertyList::readDictionaryFile(_historyPath()).value().value("/apps/Mail"),
        QVariant(launchTimes({ now - 100, now + 1, now + 2, now + 3 })));

    // A history that never reached the disk, and then a file written by someone else meanwhile:
    // that file stands, with the launches that were not written after its own.
    {
        const test::FullDisk full;
        UsageInformationManager summons;
        summons.registerLaunchOf("/apps/Maps");
        summons.save();
    }
    writeHistory({ { "/apps/Notes", launchTimes({ now - 5 }) } });
    UsageInformationManager afterwards;
    EXPECT_EQ(afterwards.launchCountFor("/apps/Notes"), 1);
    EXPECT_EQ(afterwards.launchCountFor("/apps/Maps"), 1);
    EXPECT_EQ(afterwards.launchCountFor("/apps/Mail"), 4);
}

TEST(UsageInformationManager, UnreadableHistoriesStartEmptyAndOddValuesAreSetAside)
{
    QFile file(_historyPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<plist><dict><key>/a</key><array><real>1");
    file.close();
    EXPECT_FALSE(UsageInformationManager().hasHistory());

    writeHistory({ { "/numbers", QVariantList { 100.0, qint64(200), "three", QVariantList {}, true } },
        { "/string", "not a list" }, { "/map", QVariantMap { { "a", 1 } } },
        { "/odd path\twith \"quotes\" & <angles> é\U0001D11E", launchTimes({ now - 10 }) } });
    const test::LogCapture quiet;
    UsageInformationManager usage;
    EXPECT_EQ(usage.launchCountFor("/numbers"), 2) << "integers count as times, other values do not";
    EXPECT_EQ(usage.launchCountFor("/string"), 0);
    EXPECT_EQ(usage.launchCountFor("/odd path\twith \"quotes\" & <angles> é\U0001D11E"), 1);
    Clock::setFixedTime(now);
    usage.updateTime();
    EXPECT_EQ(usage.compareTo(item("b", "doc", "/string"), item("a", "doc", "/map")), 1);

    usage.registerLaunchOf("/map");
    usage.save();
    const QVariantMap saved = PropertyList::readDictionaryFile(_historyPath()).value();
    EXPECT_EQ(saved.value("/string"), QVariant("not a list")) << "kept as it was";
    EXPECT_EQ(saved.value("/map"), QVariant(launchTimes({ now }))) << "a launch replaces what was no list";
    EXPECT_EQ(saved.value("/numbers"), QVariant(launchTimes({ 100.0, 200.0 })));
}

TEST(UsageInformationManager, ADamagedHistoryIsSetAsideBeforeItIsReplacedAndNeverReplacesTheOneInMemory)
{
    writeHistory({ { "/apps/Mail", launchTimes({ now - 100, now - 50 }) } });
    QFile file(_historyPath());
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const QByteArray truncated = file.readAll().chopped(10);
    file.resize(truncated.size());
    file.close();
    const test::LogCapture log;
    {
        UsageInformationManager usage; // nothing read before in this process: an empty history
        EXPECT_FALSE(usage.hasHistory());
        usage.registerLaunchOf("/apps/Maps");
        usage.save();
    }
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines()[0].contains(".unreadable")) << log.lines()[0].toStdString();
    QFile copy(_historyPath() + ".unreadable");
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), truncated);

    // Damaged again while the launcher runs: the next summons keeps the history it wrote.
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("<plist><dict>");
    file.close();
    UsageInformationManager summoned;
    EXPECT_EQ(summoned.launchCountFor("/apps/Maps"), 1);
    summoned.registerLaunchOf("/apps/Maps");
    summoned.save();
    EXPECT_EQ(
        PropertyList::readDictionaryFile(_historyPath()).value().value("/apps/Maps").toList().size(), 2);
    EXPECT_TRUE(QFile::exists(_historyPath() + ".unreadable.1"));

    writeHistory({ { "/apps/Notes", launchTimes({ now }) } });
    EXPECT_EQ(UsageInformationManager().launchCountFor("/apps/Notes"), 1) << "read again once changed";
}

TEST(UsageInformationManager, HistoryWrittenByPythonIsReadAndScoredTheSame)
{
    Clock::setFixedTime(now);
    const QString script
        = QStringLiteral("with open(sys.argv[1], 'wb') as f:\n"
                         "    plistlib.dump({'/apps/Mail.app': [%1, %2], '/d/Ünïcode': [%3]}, f)\n")
              .arg(now - 10, 0, 'f', 1)
              .arg(now - 10, 0, 'f', 1)
              .arg(qint64(now - 1000001));
    const test::PythonPlist::Result python = test::PythonPlist::run(script, { _historyPath() });
    ASSERT_EQ(python.exitCode, 0) << python.errors;

    UsageInformationManager usage;
    usage.updateTime();
    EXPECT_EQ(usage.launchCountFor("/apps/Mail.app"), 2);
    EXPECT_FLOAT_EQ(
        usage.scoreOf(LaunchItemKind::Application, usage.launchTimesFor(u"/apps/Mail.app")), 10.5f);
    EXPECT_FLOAT_EQ(usage.scoreOf(LaunchItemKind::Document, usage.launchTimesFor(u"/d/Ünïcode")), 0.3f)
        << "an integer time is read as a time";

    // And our own file reads back in Python as the same dictionary of lists of reals.
    usage.save();
    const test::PythonPlist::Result check
        = test::PythonPlist::run("d = plistlib.load(open(sys.argv[1], 'rb'))\n"
                                 "assert len(d['/apps/Mail.app']) == 2, d\n"
                                 "assert all(isinstance(t, float) for t in d['/apps/Mail.app']), d\n",
            { _historyPath() });
    EXPECT_EQ(check.exitCode, 0) << check.errors;
}

// Start-up reads the history ahead on another thread; a manager made meanwhile takes that read
// when the history is first asked for, and only while the file is still as it was read.
TEST(UsageInformationManager, AHistoryReadAheadStandsForTheFileOnlyWhileItIsUnchanged)
{
    writeHistory({ { "/a", launchTimes({ now - 10 }) } });
    UsageInformationManager::readAhead();
    UsageInformationManager usage;
    usage.registerLaunchOf("/a");
    EXPECT_EQ(usage.launchCountFor("/a"), 2) << "a launch joins the history read ahead";
    EXPECT_TRUE(usage.hasHistory());

    writeHistory({ { "/a", launchTimes({ now - 10 }) } });
    UsageInformationManager::readAhead();
    UsageInformationManager early;
    // Replaced by another process before the history was first asked for: the new file counts.
    writeHistory({ { "/b", launchTimes({ now - 10, now - 20 }) } });
    EXPECT_EQ(early.launchCountFor("/a"), 0);
    EXPECT_EQ(early.launchCountFor("/b"), 2);
    EXPECT_EQ(early.launchedPathCount(), 1u);
    early.save();
    EXPECT_EQ(UsageInformationManager().launchCountFor("/b"), 2) << "saved as read";
}
