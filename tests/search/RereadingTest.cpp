// Lists and histories made anew for each summons share what was read before only while the files
// are unchanged: whatever changed them, the next list sees the change.

#include "SearchTestSupport.h"
#include "support/IndexFiles.h"

#include "platform/core/Clock.h"
#include "platform/files/Folders.h"
#include "platform/plist/PropertyList.h"
#include "search/IndexFile.h"
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
    list.setFilterWithMode(term, InteractiveList::ContainsMode);
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

namespace {

std::vector<LaunchItem> itemsOf(const LaunchItemTable& table)
{
    std::vector<LaunchItem> items;
    for (std::size_t i = 0; i < table.size(); ++i)
        items.push_back({ table.name(i).toString(), table.type(i), table.path(i).toString() });
    return items;
}

} // namespace

TEST(Rereading, AScannersTableIsWhatReadingItsFileGivesEvenForWhatTheFileCannotCarry)
{
    const QString tooLong(300, QLatin1Char('n')); // longer than a file name can be
    const std::vector<LaunchItem> items = { { "Mail", "app", "/Applications/Mail.app" },
        { "Bell\x07Ring", "doc", "/home/user/Bell\x07Ring" },
        { "Two\r\nLines", "doc", "/home/user/Two\r\nLines" }, { tooLong, "doc", "/home/user/" + tooLong },
        { QString(QChar(0xD800)) + "half", "fold", "/half" },
        { "Smile \U0001F600", "custom", "/home/user/smile" } };
    writeIndex(items);
    const std::shared_ptr<const LaunchItemTable> read = IndexFile::read(_combinedListPath());
    ASSERT_TRUE(read);
    ASSERT_EQ(read->size(), 5u) << "the over-long entry is left out";
    EXPECT_EQ(itemsOf(*IndexFile::tableOfItems(items)), itemsOf(*read));
    EXPECT_EQ(IndexFile::tableOfItems(items)->image().toByteArray(), read->image().toByteArray())
        << "the name order and every other part of the table alike";
}

TEST(Rereading, AHandedOverTableStandsForItsFileUntilTheFileChanges)
{
    writeIndex({ { "Mail", "app", "/Applications/Mail.app" } });
    // Handed over for the file as it is now, the table is taken without reading the file.
    InteractiveList::keepTableOfFile(_combinedListPath(), FileIdentity::ofFile(_combinedListPath()),
        IndexFile::tableOfItems({ { "Maps", "app", "/Applications/Maps.app" } }));
    EXPECT_EQ(namesFor("a"), QStringList { "Maps" });

    // Changed by someone else: the previous items stand until the file has been read.
    writeIndex({ { "Mass", "app", "/Applications/Mass.app" } });
    InteractiveCombinedList list;
    EXPECT_FALSE(list.loadWithoutReading());
    list.setFilterWithMode("a", InteractiveList::ContainsMode);
    EXPECT_EQ(namesOf(matchesOf(list)), QStringList { "Maps" });
    const std::optional<FileIdentity> before = FileIdentity::ofFile(_combinedListPath());
    InteractiveList::keepTableOfFile(_combinedListPath(), before, IndexFile::read(_combinedListPath()));
    EXPECT_TRUE(list.loadWithoutReading());
    list.setFilterWithMode("a", InteractiveList::ContainsMode);
    EXPECT_EQ(namesOf(matchesOf(list)), QStringList { "Mass" });
}
