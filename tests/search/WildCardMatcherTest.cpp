#include "search/WildCardMatcher.h"
#include "search/GlobPattern.h"
#include "search/Wtf8.h"

#include <QRandomGenerator>
#include <QStringList>
#include <gtest/gtest.h>
#include <thread>

using namespace quorvel;

namespace {
bool matches(const QString& string, const QString& pattern)
{
    return WildCardMatcher::stringMatches(string, pattern);
}

// Fills the cache with other patterns until it empties, so tests start from a known state.
void emptyCache()
{
    for (int i = 0; WildCardMatcher::cachedPatternCount() != 0; ++i)
        matches("x", QStringLiteral("filler%1").arg(i));
}
} // namespace

TEST(WildCardMatcher, TranslatesInTheOrderThatKeepsEscapesAndWildcardsApart)
{
    EXPECT_EQ(WildCardMatcher::expressionText("AB*"), "^AB.*$");
    EXPECT_EQ(WildCardMatcher::expressionText("*app"), "^.*app$");
    EXPECT_EQ(WildCardMatcher::expressionText("a?b"), "^a.b$");
    EXPECT_EQ(WildCardMatcher::expressionText("[x].?*"), "^\\[x\\]\\...*$");
}

TEST(WildCardMatcher, StarAndQuestionMarkMatchWholeStringsCaseSensitively)
{
    EXPECT_TRUE(matches("", "*"));
    EXPECT_TRUE(matches("anything at all", "*"));
    EXPECT_TRUE(matches("", ""));
    EXPECT_FALSE(matches("a", ""));
    EXPECT_TRUE(matches("a", "a*"));
    EXPECT_TRUE(matches("abc", "a*"));
    EXPECT_FALSE(matches("ba", "a*"));
    EXPECT_TRUE(matches("cba", "*a"));
    EXPECT_FALSE(matches("ab", "*a"));
    EXPECT_TRUE(matches("axb", "a?b"));
    EXPECT_FALSE(matches("ab", "a?b"));
    EXPECT_FALSE(matches("axxb", "a?b"));
    EXPECT_TRUE(matches("aéb", "a?b")) << "one character, not one byte";
    EXPECT_TRUE(matches("a\U0001D11Eb", "a?b")) << "a character beyond the basic plane is one character";
    EXPECT_FALSE(matches("abc", "A*"));
}

TEST(WildCardMatcher, FullStopAndBracketsMatchOnlyThemselves)
{
    EXPECT_TRUE(matches("a.b", "a.b"));
    EXPECT_FALSE(matches("axb", "a.b"));
    EXPECT_TRUE(matches("[x]", "[x]"));
    EXPECT_FALSE(matches("x", "[x]"));
    EXPECT_TRUE(matches("report[1].txt", "*[1].txt"));
}

TEST(WildCardMatcher, OtherOperatorsKeepTheirMeaningInTheExpression)
{
    EXPECT_TRUE(matches("aaa", "a+")) << "+ repeats";
    EXPECT_TRUE(matches("cat", "(cat|dog)"));
    EXPECT_FALSE(matches("(cat|dog)", "(cat|dog)"));
}

TEST(WildCardMatcher, CacheHoldsTenPatternsAndEmptiesEntirelyOnTheEleventh)
{
    emptyCache();
    for (int i = 0; i < 10; ++i)
        EXPECT_TRUE(matches(QStringLiteral("p%1x").arg(i), QStringLiteral("p%1*").arg(i)));
    EXPECT_EQ(WildCardMatcher::cachedPatternCount(), 10u);
    EXPECT_TRUE(matches("p0x", "p0*")) << "a hit does not change the cache";
    EXPECT_EQ(WildCardMatcher::cachedPatternCount(), 10u);
    EXPECT_TRUE(matches("p10x", "p10*"));
    EXPECT_EQ(WildCardMatcher::cachedPatternCount(), 0u) << "the new pattern goes too";
    EXPECT_TRUE(matches("p0x", "p0*")) << "compiled again, same answer";
    EXPECT_EQ(WildCardMatcher::cachedPatternCount(), 1u);
}

TEST(WildCardMatcher, PatternThatDoesNotCompileMatchesNothingAndStaysOutOfTheCache)
{
    emptyCache();
    matches("a", "a*");
    EXPECT_FALSE(matches("(", "("));
    EXPECT_FALSE(matches("anything", "(*"));
    EXPECT_EQ(WildCardMatcher::expressionForPattern("(*"), nullptr);
    EXPECT_EQ(WildCardMatcher::cachedPatternCount(), 1u);
}

TEST(WildCardMatcher, ManyStarsAgainstALongNameAnswerAtOnce)
{
    // A backtracking engine takes exponential time here; the test would time out.
    const QString name = QString(10000, QChar('A'));
    EXPECT_FALSE(matches(name, "*A*A*A*A*A*A*A*A*A*A*A*B"));
    EXPECT_TRUE(matches(name + "B", "*A*A*A*A*A*A*A*A*A*A*A*B"));
    const GlobPattern glob("*A*A*A*A*A*A*A*A*A*A*A*B");
    ASSERT_TRUE(glob.isDirect());
    EXPECT_FALSE(glob.matches(Wtf8::of(name)));
}

TEST(WildCardMatcher, TwoThreadsShareTheCacheSafely)
{
    const auto work = [](int seed) {
        for (int i = 0; i < 2000; ++i) {
            const QString pattern = QStringLiteral("*%1*").arg((i * seed) % 17);
            const QString name = QStringLiteral("x%1y").arg((i * seed) % 17);
            if (!matches(name, pattern))
                return false;
        }
        return true;
    };
    bool other = false;
    std::thread scanner([&] { other = work(7); });
    const bool main = work(3);
    scanner.join();
    EXPECT_TRUE(main);
    EXPECT_TRUE(other);
    EXPECT_LE(WildCardMatcher::cachedPatternCount(), 10u);
}

// The direct matcher stands in for the expression in wildcard searches: it must answer alike.
TEST(WildCardMatcher, DirectPatternsAnswerAsTheirExpressions)
{
    const QStringList patternAlphabet
        = { "A", "B", "É", "\U0001D11E", " ", ".", "[", "]", "*", "?", "*", "?" };
    // A name may hold a lone surrogate, which "?" takes as one character.
    const QStringList alphabet = { "A", "B", "É", "\U0001D11E", " ", ".", "[", "]", QString(QChar(0xD834)) };
    QRandomGenerator random(42);
    const auto randomText = [&](const QStringList& from, int maximum) {
        QString text;
        const int length = random.bounded(maximum + 1);
        for (int i = 0; i < length; ++i)
            text += from[random.bounded(from.size())];
        return text;
    };
    for (int round = 0; round < 3000; ++round) {
        const QString pattern = randomText(patternAlphabet, 6);
        const QString name = randomText(alphabet, 8);
        const GlobPattern glob(pattern);
        ASSERT_TRUE(glob.isDirect());
        ASSERT_EQ(glob.matches(Wtf8::of(name)), matches(name, pattern))
            << pattern.toStdString() << " / " << name.toStdString();
    }
    EXPECT_FALSE(GlobPattern("a+").isDirect());
    EXPECT_FALSE(GlobPattern("\\*").isDirect());
    EXPECT_FALSE(GlobPattern(QString(QChar(0xD800))).isDirect());
}
