// Lists and histories made anew for each summons share what was read before only while the files
// are unchanged: whatever changed them, the next list sees the change.

#include "SearchTestSupport.h"

#include "platform/Clock.h"
#include "platform/Folders.h"
#include "platform/PropertyList.h"
#include "search/InteractiveCombinedList.h"

#include <QFile>
#include <QThread>
#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::test;

namespace {

QStringList namesFor(const QString& term)
{
    InteractiveCombinedList list;
    list.load();
    list.setFilterWithMode(term, 1);
    return namesOf(matchesOf(list));
}

} // namespace

TEST(Rereading, ANewIndexIsSeenWhetherReplacedOrRewrittenInPlace)
{
    writeIndex({ { "Mail", "app", "/Applications/Mail.app" } });
    EXPECT_EQ(namesFor("a"), QStringList { "Mail" });
    EXPECT_EQ(namesFor("a"), QStringList { "Mail" });

    writeIndex({ { "Maps", "app", "/Applications/Maps.app" } }); // a new file takes the old one's place
    EXPECT_EQ(namesFor("a"), QStringList { "Maps" });

    // The same file rewritten in place with as many bytes, as an editor might.
    QThread::msleep(20);
    QFile file(_combinedListPath());
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    QByteArray content = file.readAll();
    content.replace("Maps", "Mass");
    file.seek(0);
    file.write(content);
    file.close();
    EXPECT_EQ(namesFor("a"), QStringList { "Mass" });

    QFile::remove(_combinedListPath());
    EXPECT_EQ(namesFor("a"), QStringList {});
}

TEST(Rereading, AHistoryChangedByAnotherWriterIsReadAgain)
{
    Clock::setFixedTime(1000000.0);
    {
        UsageInformationManager first;
        first.registerLaunchOf("/Applications/Mail.app");
        first.save();
    }
    {
        UsageInformationManager second; // from what the first one wrote
        EXPECT_EQ(second.launchCountFor("/Applications/Mail.app"), 1);
        second.registerLaunchOf("/Applications/Mail.app");
        EXPECT_EQ(second.launchCountFor("/Applications/Mail.app"), 2);
    }
    {
        UsageInformationManager third; // the second never saved: the file still holds one launch
        EXPECT_EQ(third.launchCountFor("/Applications/Mail.app"), 1);
    }
    QThread::msleep(20);
    writeHistory({ { "/Applications/Maps.app", launchTimes({ 1.0, 2.0, 3.0 }) } });
    UsageInformationManager fourth;
    EXPECT_EQ(fourth.launchCountFor("/Applications/Mail.app"), 0);
    EXPECT_EQ(fourth.launchCountFor("/Applications/Maps.app"), 3);
}
