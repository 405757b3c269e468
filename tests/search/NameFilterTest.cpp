// The literal tests of one name at a time (what narrowing a search uses) against the searches of
// the whole table and against the plain rule, in contains and word mode.

#include "search/NameFilter.h"
#include "search/FoldedText.h"
#include "search/LaunchItemTable.h"
#include "search/WildCardMatcher.h"

#include <QRandomGenerator>
#include <QStringList>
#include <gtest/gtest.h>
#include <numeric>

using namespace quorvel;

TEST(NameFilter, OneNameAtATimeMatchesAsTheWholeTableAndTheRuleInContainsAndWordMode)
{
    QRandomGenerator random(12);
    const QStringList pieces
        = { "A", "B", "AB", " ", " A", "C", "\U0001D11E", QString(QChar(0xD834)), "\t", "É" };
    for (int round = 0; round < 40; ++round) {
        LaunchItemTable table;
        const std::uint32_t count = 300;
        for (std::uint32_t i = 0; i < count; ++i) {
            QString name;
            for (int k = random.bounded(0, 6); k > 0; --k)
                name += pieces[random.bounded(pieces.size())];
            table.append(name, "doc", QStringLiteral("/%1").arg(i));
        }
        table.finish();
        NameFilter::Matches all(count);
        std::iota(all.begin(), all.end(), 0u);
        QString typed;
        for (int k = random.bounded(1, 4); k > 0; --k)
            typed += pieces[random.bounded(pieces.size())];
        const QString term = FoldedText::of(typed); // as the list prepares it
        const QString wordTerm = " " + term;
        NameFilter::Matches expectedContains, expectedWord;
        for (std::uint32_t i = 0; i < count; ++i) {
            const QString name = table.upperName(i);
            if (name.contains(term))
                expectedContains.push_back(i);
            if (name.startsWith(term) || name.contains(wordTerm))
                expectedWord.push_back(i);
        }
        NameFilter::Matches within;
        NameFilter::containsMatches(table, term, &all, within);
        EXPECT_EQ(within, expectedContains) << "term '" << term.toStdString() << "'";
        EXPECT_EQ(NameFilter::containsMatches(table, term), expectedContains);
        NameFilter::wordMatches(table, term, wordTerm, &all, within);
        EXPECT_EQ(within, expectedWord) << "term '" << term.toStdString() << "'";
        EXPECT_EQ(NameFilter::wordMatches(table, term, wordTerm), expectedWord);
    }
}

TEST(NameFilter, PrefixesMatchAsTheRuleWhetherNamesAreShorterOrLongerThanFourUnits)
{
    // The first units of a name are read four at a time, past a shorter name's end: the last
    // name of the table is the shortest, and the table is searched while built and when finished.
    // "4", "Ĵ" (U+0134) and the high surrogate D834 share the low byte a name is first tested by.
    QRandomGenerator random(7);
    const QStringList pieces = { "A", "AB", " ", "\U0001D11E", QString(QChar(0xD834)), "É", "4", "Ĵ" };
    for (int round = 0; round < 40; ++round) {
        LaunchItemTable table;
        const std::uint32_t count = 100;
        for (std::uint32_t i = 0; i < count; ++i) {
            QString name = i + 1 == count ? QStringLiteral("A") : QString();
            for (int k = i + 1 == count ? 0 : random.bounded(0, 7); k > 0; --k)
                name += pieces[random.bounded(pieces.size())];
            table.append(name, "doc", QStringLiteral("/%1").arg(i));
        }
        QString term;
        for (int k = random.bounded(1, 5); k > 0; --k)
            term += pieces[random.bounded(pieces.size())];
        NameFilter::Matches expected, all(count), within;
        std::iota(all.begin(), all.end(), 0u);
        for (std::uint32_t i = 0; i < count; ++i)
            if (table.upperName(i).startsWith(term))
                expected.push_back(i);
        EXPECT_EQ(NameFilter::prefixMatches(table, term), expected)
            << "built, '" << term.toStdString() << "'";
        table.finish();
        EXPECT_EQ(NameFilter::prefixMatches(table, term), expected)
            << "finished, '" << term.toStdString() << "'";
        NameFilter::prefixMatches(table, term, &all, within);
        EXPECT_EQ(within, expected);
    }
}

TEST(NameFilter, WildcardsMatchAsTheExpressionOnNamesWithAndWithoutLoneSurrogates)
{
    // Direct patterns walk the names' bytes, "?" taking one character however many bytes it has;
    // the others go to the expression. Both answer as the expression does on the name itself.
    const QStringList names
        = { "AB", "A\U0001D11EB", QString("A") + QChar(0xD834) + "B", "A\nB", "AXXB", "" };
    LaunchItemTable table;
    for (qsizetype i = 0; i < names.size(); ++i)
        table.append(names[i], "doc", QStringLiteral("/%1").arg(i));
    table.finish();
    const QStringList patterns = { "A?B", "A*B", "*", "A+B", "A(X|\U0001D11E)B", "A.B" };
    for (const QString& pattern : patterns) {
        NameFilter::Matches expected;
        for (std::uint32_t i = 0; i < table.size(); ++i)
            if (WildCardMatcher::stringMatches(table.upperName(i), pattern))
                expected.push_back(i);
        EXPECT_EQ(NameFilter::wildcardMatches(table, pattern), expected) << pattern.toStdString();
    }
}
