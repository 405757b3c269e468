#include "search/NameFilter.h"

#include "search/GlobPattern.h"
#include "search/WildCardMatcher.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace quorvel {

namespace {

bool startsWith(QStringView name, QStringView term)
{
    return !term.isEmpty() && name.size() >= term.size()
        && std::memcmp(name.data(), term.data(), static_cast<std::size_t>(term.size()) * sizeof(QChar)) == 0;
}

bool occursIn(QStringView name, QStringView term)
{
    return !term.isEmpty() && term.size() <= name.size() && name.indexOf(term) >= 0;
}

template <typename Test> NameFilter::Matches matchEach(const LaunchItemTable& table, Test test)
{
    NameFilter::Matches matches;
    for (std::uint32_t i = 0; i < table.size(); ++i)
        if (test(table.upperName(i)))
            matches.push_back(i);
    return matches;
}

// Calls onHit(position) for occurrences of needle in the buffer, from the start; onHit answers
// where to go on looking. A block of positions is first tested for the needle's first and last
// unit at once, which the compiler turns into vector instructions; most blocks end there.
template <typename OnHit>
void forEachOccurrence(const char16_t* haystack, std::size_t length, QStringView needle, OnHit onHit)
{
    const std::size_t m = static_cast<std::size_t>(needle.size());
    if (m == 0 || length < m)
        return;
    const auto* units = reinterpret_cast<const char16_t*>(needle.data());
    const char16_t first = units[0], last = units[m - 1];
    const std::size_t end = length - m + 1; // possible starts: [0, end)
    constexpr std::size_t block = 32;
    std::size_t i = 0;
    while (i < end) {
        if (i + block <= end) {
            unsigned any = 0;
            for (std::size_t k = 0; k < block; ++k)
                any |= unsigned(haystack[i + k] == first) & unsigned(haystack[i + k + m - 1] == last);
            if (!any) {
                i += block;
                continue;
            }
        }
        const std::size_t stop = std::min(i + block, end);
        std::size_t resume = stop;
        for (std::size_t k = i; k < stop; ++k) {
            if (haystack[k] != first || haystack[k + m - 1] != last
                || std::memcmp(haystack + k + 1, units + 1, (m > 2 ? m - 2 : 0) * sizeof(char16_t)) != 0)
                continue;
            const std::size_t next = onHit(k);
            if (next >= stop) {
                resume = next;
                break;
            }
            k = next - 1;
        }
        i = resume;
    }
}

// The items whose upper-cased name holds the needle (which holds no NUL), in table order.
NameFilter::Matches itemsContaining(const LaunchItemTable& table, QStringView needle)
{
    NameFilter::Matches matches;
    const std::span<const std::uint32_t> starts = table.upperStarts();
    std::size_t item = 0;
    forEachOccurrence(table.upperBuffer(), table.upperBufferLength(), needle, [&](std::size_t position) {
        // The item whose name begins at or before the hit: usually one of the next few, so
        // gallop ahead before searching by halves.
        std::size_t low = item, high = item + 1, step = 1;
        while (high < starts.size() && starts[high] <= position) {
            low = high;
            high += step;
            step *= 2;
        }
        high = std::min(high, starts.size());
        item = static_cast<std::size_t>(
                   std::upper_bound(starts.begin() + low, starts.begin() + high, position) - starts.begin())
            - 1;
        matches.push_back(static_cast<std::uint32_t>(item));
        ++item;
        return static_cast<std::size_t>(starts[item]); // go on with the next name
    });
    return matches;
}

bool holdsNul(QStringView text)
{
    return text.contains(QChar(u'\0'));
}

NameFilter::Matches unite(const NameFilter::Matches& a, const NameFilter::Matches& b)
{
    NameFilter::Matches all;
    all.reserve(a.size() + b.size());
    std::set_union(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(all));
    return all;
}

} // namespace

NameFilter::Matches NameFilter::prefixMatches(const LaunchItemTable& table, QStringView term)
{
    if (term.isEmpty())
        return {};
    if (holdsNul(term))
        return matchEach(table, [term](QStringView name) { return startsWith(name, term); });
    // The first four units decide for nearly every item without touching the names themselves.
    const qsizetype headUnits = std::min<qsizetype>(term.size(), 4);
    const std::uint64_t mask
        = headUnits == 4 ? ~std::uint64_t(0) : (std::uint64_t(1) << (16 * headUnits)) - 1;
    const std::uint64_t head = LaunchItemTable::packHead(term);
    Matches matches;
    for (std::uint32_t i = 0; i < table.size(); ++i) {
        if ((table.upperHead(i) & mask) != head)
            continue;
        if (term.size() <= 4 || startsWith(table.upperName(i), term))
            matches.push_back(i);
    }
    return matches;
}

NameFilter::Matches NameFilter::containsMatches(const LaunchItemTable& table, QStringView term)
{
    if (term.isEmpty())
        return {};
    if (holdsNul(term))
        return matchEach(table, [term](QStringView name) { return occursIn(name, term); });
    return itemsContaining(table, term);
}

NameFilter::Matches NameFilter::wordMatches(
    const LaunchItemTable& table, QStringView term, QStringView wordTerm)
{
    if (holdsNul(wordTerm))
        return matchEach(
            table, [&](QStringView name) { return startsWith(name, term) || occursIn(name, wordTerm); });
    return unite(prefixMatches(table, term), itemsContaining(table, wordTerm));
}

NameFilter::Matches NameFilter::wildcardMatches(const LaunchItemTable& table, const QString& pattern)
{
    // One use of the pattern through the shared cache: the expression both validates it and
    // answers for the names the direct matcher does not take.
    const std::shared_ptr<const re2::RE2> expression = WildCardMatcher::expressionForPattern(pattern);
    if (!expression)
        return {};
    const auto byExpression = [&](std::uint32_t i) {
        return WildCardMatcher::expressionMatches(*expression, table.upperName(i).toUtf8());
    };
    const GlobPattern glob(pattern);
    if (!glob.isDirect())
        return matchEach(table,
            [&](QStringView name) { return WildCardMatcher::expressionMatches(*expression, name.toUtf8()); });

    // Names with a line feed (which "?" and "*" do not cross) go to the expression; they are rare.
    const std::span<const std::uint32_t> lineFeeds = table.itemsWithLineFeed();
    auto nextLineFeed = lineFeeds.begin();
    const QStringView head = glob.literalHead();
    Matches matches;
    for (std::uint32_t i = 0; i < table.size(); ++i) {
        if (nextLineFeed != lineFeeds.end() && *nextLineFeed == i) {
            ++nextLineFeed;
            if (byExpression(i))
                matches.push_back(i);
            continue;
        }
        const QStringView name = table.upperName(i);
        if (!head.isEmpty() && !startsWith(name, head))
            continue;
        if (glob.matches(name))
            matches.push_back(i);
    }
    return matches;
}

} // namespace quorvel
