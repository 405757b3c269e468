// The wildcard matcher on any pattern and names (the bytes up to the first NUL are the pattern,
// the rest NUL-separated names). Three ways of answering must agree: the regular expression
// the pattern translates into, the direct matcher for the patterns it takes, and the search
// over a whole table of names that wildcard mode runs.

#include "fuzz/FuzzTargets.h"

#include "search/GlobPattern.h"
#include "search/LaunchItemTable.h"
#include "search/NameFilter.h"
#include "search/WildCardMatcher.h"
#include "search/Wtf8.h"

#include <QByteArrayList>
#include <set>

namespace quorvel::fuzz {

namespace {

void checkDirectMatcher(const QString& pattern, const QString& name, bool matches)
{
    const GlobPattern glob(pattern);
    if (matches && glob.isDirect() && !name.startsWith(glob.literalHead()))
        fail(QStringLiteral("\"%1\" matches \"%2\" without beginning with its literal head")
                 .arg(name, pattern));
    if (!glob.isDirect() || name.contains(QLatin1Char('\n')))
        return;
    if (glob.matches(Wtf8::of(name)) != matches)
        fail(QStringLiteral("the direct matcher and the expression disagree on \"%1\" against \"%2\"")
                 .arg(name, pattern));
}

void checkTableSearch(const QString& pattern, const LaunchItemTable& table)
{
    const NameFilter::Matches found = NameFilter::wildcardMatches(table, pattern);
    const std::set<std::uint32_t> foundSet(found.begin(), found.end());
    check(foundSet.size() == found.size(), "the table search names each item once");
    for (std::uint32_t i = 0; i < table.size(); ++i) {
        const bool expected = WildCardMatcher::stringMatches(table.upperName(i), pattern);
        if (expected != foundSet.contains(i))
            fail(QStringLiteral("the table search and the expression disagree on \"%1\" against \"%2\"")
                     .arg(table.upperName(i), pattern));
    }
}

} // namespace

void wildcardMatcher(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayList parts
        = QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)).split('\0');
    const QString pattern = QString::fromUtf8(parts.first());
    LaunchItemTable table;
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QString name = QString::fromUtf8(parts[i]);
        checkDirectMatcher(pattern, name, WildCardMatcher::stringMatches(name, pattern));
        table.append(name, QStringLiteral("app"), QStringLiteral("/fuzz/%1").arg(i));
    }
    table.finish();
    checkTableSearch(pattern, table);
    check(WildCardMatcher::cachedPatternCount() <= 10, "the cache holds at most ten patterns");
}

} // namespace quorvel::fuzz
