// Ranking only the rows asked for: whatever rows are asked for, in whatever order, they are the
// whole ranking's rows; and the table's look-up of items by path that finds the launched ones.

#include "SearchTestSupport.h"
#include "support/FakeWorkspace.h"
#include "support/IndexFiles.h"

#include "platform/core/Clock.h"
#include "search/InteractiveCombinedList.h"
#include "search/LaunchItemTable.h"
#include "search/LaunchedItems.h"
#include "search/MatchRanker.h"

#include <QRandomGenerator>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::test;

namespace {

constexpr double now = 700000000.0;

// An index in the scanner's order: kinds mixed (some rounds without panes or folders), names
// repeated now and then, paths shared now and then.
std::vector<LaunchItem> sortedItems(QRandomGenerator& random, int count, int round)
{
    const QStringList words = { "alpha", "Beta", "beta", "gamma", "delta", "Echo", "x y", "zulu" };
    QStringList types = { "doc", "doc", "app", "fold", "pref", "odd" };
    if (round % 3 == 1)
        types = { "doc", "doc", "app" };
    std::vector<LaunchItem> items;
    for (int i = 0; i < count; ++i) {
        const QString name
            = words[random.bounded(words.size())] + QString::number(random.bounded(count / 4 + 1));
        items.push_back({ name, types[random.bounded(types.size())],
            QStringLiteral("/p/%1").arg(random.bounded(count + 1)) });
    }
    std::stable_sort(items.begin(), items.end(), [](const LaunchItem& a, const LaunchItem& b) {
        return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
    });
    return items;
}

// Launches long past and recent: in some rounds scores come within the bonus of the natural
// ones (contributions near zero), which the layers cannot take apart.
QVariantMap historyOf(QRandomGenerator& random, const std::vector<LaunchItem>& items, int round)
{
    QVariantMap history;
    if (round % 5 == 0)
        return history;
    for (const LaunchItem& item : items) {
        if (random.bounded(12) != 0)
            continue;
        QVariantList times;
        for (int k = random.bounded(1, 4); k > 0; --k) {
            const double age = round % 4 == 3 ? std::pow(10.0, 5.95 + random.generateDouble() * 0.05)
                                              : std::pow(10.0, random.generateDouble() * 5.0);
            times.append(now - age);
        }
        history.insert(item.path, times);
    }
    return history;
}

std::shared_ptr<LaunchItemTable> tableOf(const std::vector<LaunchItem>& items)
{
    auto table = std::make_shared<LaunchItemTable>();
    for (const LaunchItem& item : items)
        table->append(item.name, item.type, item.path);
    table->finish();
    return table;
}

} // namespace

TEST(MatchRanker, RowsRankedAsAskedForAreTheWholeRankingsRowsAtEveryIndex)
{
    QRandomGenerator random(31);
    Clock::setFixedTime(now);
    int lazy = 0;
    for (int round = 0; round < 60; ++round) {
        const std::vector<LaunchItem> items = sortedItems(random, random.bounded(2, 2500), round);
        writeHistory(historyOf(random, items, round));
        UsageInformationManager usage;
        usage.updateTime();
        const std::shared_ptr<LaunchItemTable> table = tableOf(items);
        const LaunchedItems launched(table, usage);
        std::vector<std::uint32_t> matches;
        const int density = random.bounded(1, 10);
        for (std::uint32_t i = 0; i < items.size(); ++i)
            if (random.bounded(10) < density)
                matches.push_back(i);
        const MatchRanker::Search search { *table, usage, usage.hasHistory() ? &launched : nullptr, matches };

        MatchRanker whole, asked;
        std::vector<std::uint32_t> expected, rows;
        whole.rank(search, expected);
        std::size_t wanted = static_cast<std::size_t>(random.bounded(1, 200));
        bool complete = asked.rankFirst(search, wanted, rows);
        lazy += !complete;
        for (;;) {
            ASSERT_GE(rows.size(), std::min(wanted, matches.size())) << "round " << round;
            ASSERT_TRUE(
                std::equal(rows.begin(), rows.end(), expected.begin(), expected.begin() + rows.size()))
                << "round " << round << ", " << rows.size() << " rows";
            if (complete)
                break;
            wanted = rows.size() + static_cast<std::size_t>(random.bounded(1, 400));
            complete = asked.rankMore(search, wanted, rows);
        }
        ASSERT_EQ(rows, expected) << "round " << round;
    }
    EXPECT_GT(lazy, 20) << "most rounds must rank only some rows first";
}

// Through the list: rows read in any order, a path selected far down, a launch of a late row.
TEST(MatchRanker, AListAnswersEveryRowAsOneRankedWholeWhateverItIsAskedFirst)
{
    QRandomGenerator random(5);
    Clock::setFixedTime(now);
    FakeWorkspace workspace;
    for (int round = 0; round < 12; ++round) {
        const std::vector<LaunchItem> items = sortedItems(random, 1500, round);
        writeIndex(items);
        writeHistory(historyOf(random, items, round));
        InteractiveCombinedList asked, reference;
        asked.load();
        reference.load();
        const QString term = round % 2 ? "A" : "E";
        asked.setFilterWithMode(term, InteractiveList::ContainsMode);
        reference.setFilterWithMode(term, InteractiveList::ContainsMode);
        const std::vector<LaunchItem> expected = matchesOf(reference);
        ASSERT_EQ(asked.numberOfMatchingItems(), static_cast<int>(expected.size()));
        for (int k = 0; k < 50; ++k) {
            const int row = random.bounded(static_cast<int>(expected.size()) + 1) - (k % 7 == 0 ? 1 : 0);
            const bool inside = row >= 0 && row < static_cast<int>(expected.size());
            ASSERT_EQ(
                asked.matchingFilePathAt(row), inside ? expected[static_cast<std::size_t>(row)].path : "")
                << "round " << round << ", row " << row;
        }
        const std::size_t late = expected.size() - 1 - static_cast<std::size_t>(random.bounded(20));
        InteractiveCombinedList selecting;
        selecting.load();
        selecting.setFilterWithMode(term, InteractiveList::ContainsMode);
        selecting.selectItemWithPath(expected[late].path);
        const auto first = std::find_if(expected.begin(), expected.end(),
            [&](const LaunchItem& item) { return item.path == expected[late].path; });
        EXPECT_EQ(selecting.indexOfSelectedItem(), first - expected.begin()) << "round " << round;
        selecting.selectItemWithPath("/not/among/them");
        EXPECT_EQ(selecting.indexOfSelectedItem(), 0);

        // After a launch the rows not read yet are still those of the ranking before it.
        InteractiveCombinedList launching;
        launching.load();
        launching.setFilterWithMode(term, InteractiveList::ContainsMode);
        launching.selectItemAtIndex(1);
        launching.launchSelectedItem();
        EXPECT_EQ(matchesOf(launching), expected) << "round " << round;
    }
}

TEST(LaunchItemTable, FindsEveryItemOfAPathByItsHashAndNoneOfAnother)
{
    QRandomGenerator random(8);
    std::vector<LaunchItem> items;
    for (int i = 0; i < 3000; ++i)
        items.push_back({ "n", "doc", QStringLiteral("/p/%1").arg(random.bounded(2000)) });
    items.push_back({ "n", "doc", QString::fromUtf8("/caf\xc3\xa9") });
    const std::shared_ptr<LaunchItemTable> table = tableOf(items);
    for (const QString& path : { QStringLiteral("/p/7"), QStringLiteral("/p/1999"), QStringLiteral("/p/2000"),
             QString::fromUtf8("/caf\xc3\xa9"), QStringLiteral("/cafe"), QString() }) {
        std::vector<std::uint32_t> expected, found { 99999 };
        for (std::uint32_t i = 0; i < items.size(); ++i)
            if (items[i].path == path)
                expected.push_back(i);
        table->itemsWithPath(path.toUtf8(), found);
        found.erase(found.begin()); // what was there before is kept
        EXPECT_EQ(found, expected) << path.toStdString();
    }
    EXPECT_TRUE(table->inNameOrder());
    EXPECT_FALSE(tableOf({ { "b", "doc", "/b" }, { "a", "doc", "/a" } })->inNameOrder());
}
