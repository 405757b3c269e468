// The fast filtering and ranking against the slow reference, and the sort's safety.

#include "SearchTestSupport.h"
#include "support/FakeWorkspace.h"
#include "support/IndexFiles.h"

#include "platform/core/Clock.h"
#include "platform/files/FileIdentity.h"
#include "search/IndexCache.h"
#include "search/IndexFile.h"
#include "search/InteractiveCombinedList.h"
#include "search/LaunchItemTable.h"
#include "search/MatchRanking.h"
#include "search/MergeSort.h"

#include <QDir>
#include <QRandomGenerator>
#include <algorithm>
#include <gtest/gtest.h>
#include <numeric>

using namespace quorvel;
using namespace quorvel::test;

TEST(MergeSort, StaysInBoundsAndKeepsEveryElementWhateverTheComparisonAnswers)
{
    // Run under AddressSanitizer (build with -DQUORVEL_SANITIZE=address): std::sort walks off
    // the end of the range with comparisons like these.
    QRandomGenerator random(7);
    for (std::size_t n : { 0u, 1u, 2u, 11u, 12u, 13u, 17u, 100u, 1000u, 5000u }) {
        for (int round = 0; round < 5; ++round) {
            std::vector<int> values(n);
            std::iota(values.begin(), values.end(), 0);
            MergeSort::sort(values, [&random](int, int) { return random.bounded(3) - 1; });
            std::vector<int> sorted = values;
            std::sort(sorted.begin(), sorted.end());
            std::vector<int> expected(n);
            std::iota(expected.begin(), expected.end(), 0);
            ASSERT_EQ(sorted, expected) << "a permutation of the input, n = " << n;
        }
    }
}

TEST(MergeSort, SortsStablyWithAConsistentComparison)
{
    QRandomGenerator random(8);
    std::vector<std::pair<int, int>> values;
    for (int i = 0; i < 3000; ++i)
        values.emplace_back(random.bounded(50), i);
    std::vector<std::pair<int, int>> expected = values;
    std::stable_sort(expected.begin(), expected.end(), [](auto a, auto b) { return a.first < b.first; });
    MergeSort::sort(
        values, [](auto a, auto b) { return a.first < b.first ? -1 : (a.first > b.first ? 1 : 0); });
    EXPECT_EQ(values, expected);
}

TEST(LaunchItemTable, NameRanksOrderAsTheCaseInsensitiveComparison)
{
    const QStringList pieces
        = { "a", "A", "b", "B", "é", "É", "_", "z", "Z", "1", " ", "ß", "SS", "\U0001D11E", "ǅ" };
    QRandomGenerator random(9);
    for (const bool presorted : { false, true }) {
        std::vector<QString> names;
        for (int i = 0; i < 400; ++i) {
            QString name;
            for (int k = random.bounded(1, 7); k > 0; --k)
                name += pieces[random.bounded(pieces.size())];
            names.push_back(name);
        }
        if (presorted)
            std::sort(names.begin(), names.end(),
                [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
        LaunchItemTable table;
        for (const QString& name : names)
            table.append(name, "doc", "/" + name);
        const NameRanks ranks = table.nameRanks();
        for (std::size_t a = 0; a < names.size(); ++a)
            for (std::size_t b = 0; b < names.size(); ++b) {
                const int order = names[a].compare(names[b], Qt::CaseInsensitive);
                ASSERT_EQ(order < 0, ranks[a] < ranks[b])
                    << names[a].toStdString() << " / " << names[b].toStdString();
                ASSERT_EQ(order == 0, ranks[a] == ranks[b]);
            }
        // The finished table's image keeps them, as a bit per item where the names come in order.
        std::vector<std::uint32_t> computed;
        for (std::size_t i = 0; i < ranks.size(); ++i)
            computed.push_back(ranks[i]);
        table.finish();
        const NameRanks kept = table.nameRanks();
        ASSERT_EQ(kept.size(), computed.size());
        for (std::size_t i = 0; i < computed.size(); ++i)
            ASSERT_EQ(kept[i], computed[i]) << i << (presorted ? " in order" : " in no order");
        EXPECT_EQ(table.inNameOrder(), presorted);
    }
}

namespace {

constexpr double now = 700000000.0;

// Scores that fall on, next to and between the natural scores and each other, so that the
// comparison's lack of transitivity matters.
double randomAge(QRandomGenerator& random)
{
    switch (random.bounded(9)) {
    case 0:
        return 0.0;
    case 1:
        return 1000000.0;
    case 2:
        return 1000001.0;
    case 3:
        return -500.0; // in the future
    case 4:
        return 10.0;
    case 5:
        return std::pow(10.0, 5.9 + random.generateDouble() * 0.1); // contributions near 0
    case 6:
        return 3000000.0 + random.bounded(1000);
    default:
        return std::pow(10.0, random.generateDouble() * 7.0);
    }
}

struct RandomCase {
    std::vector<LaunchItem> items;
    QVariantMap history;
};

RandomCase randomCase(QRandomGenerator& random)
{
    const QStringList syllables = { "ab", "Ab", "AB", "ba", "c", "C", "ca", " ", " ", "-", "é", "É", "ß",
        "x y", "\n", "\U0001D11E", "[", ".", "?" };
    const QStringList types = { "doc", "doc", "doc", "app", "fold", "pref", "odd" };
    RandomCase c;
    const int count = random.bounded(0, 400);
    for (int i = 0; i < count; ++i) {
        QString name;
        // Now and then a long name, so that searches cross the scanner's blocks.
        for (int k = random.bounded(20) == 0 ? 60 : random.bounded(1, 5); k > 0; --k)
            name += syllables[random.bounded(syllables.size())];
        const QString path = QStringLiteral("/p/%1").arg(random.bounded(count + 1)); // shared now and then
        c.items.push_back({ name, types[random.bounded(types.size())], path });
    }
    for (const LaunchItem& item : c.items) {
        if (random.bounded(4) != 0)
            continue;
        QVariantList times;
        for (int k = random.bounded(1, 4); k > 0; --k)
            times.append(now - randomAge(random));
        c.history.insert(item.path, times);
    }
    return c;
}

QString randomTerm(QRandomGenerator& random, const std::vector<LaunchItem>& items)
{
    const QStringList extras
        = { "", "a", "A", "ab", " c", "x", "*", "?", "a*b", "*ab", "é", "[", ".", "(", "ss", "\n" };
    if (items.empty() || random.bounded(3) == 0)
        return extras[random.bounded(extras.size())];
    const QString& name = items[random.bounded(static_cast<int>(items.size()))].name;
    const int from = random.bounded(name.size() + 1);
    return name.mid(from, random.bounded(4));
}

} // namespace

TEST(Ranking, FastSearchAnswersExactlyAsTheReferenceOnRandomIndexesAndHistories)
{
    QRandomGenerator random(2024);
    Clock::setFixedTime(now);
    int nonTrivial = 0;
    // Another index file, loaded in between, so that the second list of a round cannot take
    // the first one's table from memory and reads the index's cache instead.
    const QString decoyPath = QDir::homePath() + "/decoy index";
    ASSERT_TRUE(IndexFile::write(decoyPath, {}));
    for (int round = 0; round < 120; ++round) {
        const RandomCase c = randomCase(random);
        writeIndex(c.items);
        writeHistory(c.history);
        InteractiveCombinedList list; // reads the index itself and writes its cache
        list.load();
        InteractiveCombinedList decoy;
        decoy.setFilePath(decoyPath);
        decoy.load();
        const std::optional<FileIdentity> identity = FileIdentity::ofFile(_combinedListPath());
        ASSERT_TRUE(identity && IndexCache::load(_combinedListPath(), *identity)) << "round " << round;
        InteractiveCombinedList cached; // reads the cache
        cached.load();
        UsageInformationManager reference;
        reference.updateTime();
        for (int query = 0; query < 12; ++query) {
            const QString term = randomTerm(random, c.items);
            const int mode = random.bounded(5);
            list.setFilterWithMode(term, mode);
            cached.setFilterWithMode(term, mode);
            const std::vector<LaunchItem> expected = referenceSearch(c.items, term, mode, reference);
            ASSERT_EQ(matchesOf(list), expected)
                << "round " << round << ", mode " << mode << ", term '" << term.toStdString() << "'";
            ASSERT_EQ(matchesOf(cached), expected) << "from the cache: round " << round;
            nonTrivial += expected.size() > 20;
        }
    }
    EXPECT_GT(nonTrivial, 100) << "the random cases must sort something";
}

TEST(Ranking, LayeredOrderEqualsTheWholeMergeSortForCloseAndDistantScores)
{
    QRandomGenerator random(77);
    // Scores in clusters: within a cluster the bonus decides pairwise, between clusters not.
    const std::vector<float> clusters = { 0.0f, 0.2f, 0.5f, 0.8f, 3.0f, 10.0f };
    for (int round = 0; round < 60; ++round) {
        const std::size_t n = static_cast<std::size_t>(random.bounded(2, 3000));
        std::vector<MatchRanking::Candidate> candidates;
        for (std::uint32_t i = 0; i < n; ++i) {
            float score = clusters[random.bounded(static_cast<int>(clusters.size()))];
            if (random.bounded(round % 4 + 1) == 0)
                score += static_cast<float>(random.generateDouble() * 0.25);
            candidates.push_back(MatchRanking::candidate(
                score, static_cast<std::uint32_t>(random.bounded(static_cast<int>(n / 2 + 1))), i, i));
        }
        std::vector<MatchRanking::Candidate> whole = candidates;
        std::vector<MatchRanking::Candidate> buffer(n);
        referenceMergeSort(whole, 0, n, buffer, MatchRanking::compare);
        std::vector<std::uint32_t> expected;
        for (const auto& c : whole)
            expected.push_back(c.item);
        ASSERT_EQ(MatchRanking::order(candidates), expected) << "round " << round;
    }
}

// A typing session: letters added at the end (and now and then at the front), taken away,
// replaced; the mode changed, the index filtered again and a launch recorded. Each answer must be
// the full search's, whether the list narrowed the last matches or searched everything.
TEST(Ranking, NarrowingWhileTypingAnswersAsTheFullSearchInEveryMode)
{
    FakeWorkspace workspace;
    QRandomGenerator random(4711);
    Clock::setFixedTime(now);
    const QStringList additions = { "a", "b", "c", " ", "é", "ß", "x y", "-", "*", "?", "\n", "[", ".", "(",
        "|", "\\", "+", "ab", "\U0001D11E", QString(QChar(0xD834)) };
    int narrowed = 0;
    for (int round = 0; round < 60; ++round) {
        RandomCase c = randomCase(random);
        if (round % 2 == 0) // in the scanner's order: by name ignoring case, then by path
            std::stable_sort(c.items.begin(), c.items.end(), [](const LaunchItem& a, const LaunchItem& b) {
                const int byName = a.name.compare(b.name, Qt::CaseInsensitive);
                return byName != 0 ? byName < 0 : a.path < b.path;
            });
        if (round % 4 == 0)
            c.history.clear(); // every score a natural one until something is launched
        writeIndex(c.items);
        writeHistory(c.history);
        InteractiveCombinedList list;
        list.load();
        int mode = random.bounded(4);
        QString term;
        for (int step = 0; step < 40; ++step) {
            const int action = random.bounded(20);
            if (action < 12)
                term += additions[random.bounded(additions.size())];
            else if (action < 14)
                term.prepend(additions[random.bounded(3)]);
            else if (action < 17)
                term.chop(1);
            else if (action < 18)
                mode = random.bounded(4);
            else if (action < 19 && list.isEmpty())
                term = randomTerm(random, c.items);
            if (action == 18 && !list.isEmpty()) {
                list.selectItemAtIndex(random.bounded(list.numberOfMatchingItems()));
                list.launchSelectedItem(); // the history changes, the matches do not
            }
            const int before = list.numberOfMatchingItems();
            if (action == 19 && step > 0)
                list.performFiltering(); // with the term and mode set last
            else
                list.setFilterWithMode(term, mode);
            narrowed += action < 12 && before > 0 && list.numberOfMatchingItems() < before;
            ASSERT_EQ(matchesOf(list), referenceSearch(c.items, term, mode, list.usageInformation()))
                << "round " << round << ", step " << step << ", mode " << mode << ", term '"
                << term.toStdString() << "'";
        }
    }
    EXPECT_GT(narrowed, 150) << "the sessions must narrow now and then";
}
