#include "search/NameFilter.h"

#include "search/GlobPattern.h"
#include "search/WildCardMatcher.h"
#include "search/Wtf8.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace quorvel {

namespace {

bool startsWith(QByteArrayView name, QByteArrayView term)
{
    return !term.isEmpty() && name.size() >= term.size()
        && std::memcmp(name.data(), term.data(), static_cast<std::size_t>(term.size())) == 0;
}

// A literal search of one name: names are short, so a plain walk for the first byte beats the
// general string search, whose set-up costs more than the walk over a name.
bool occursIn(QByteArrayView name, QByteArrayView term)
{
    const std::size_t m = static_cast<std::size_t>(term.size());
    if (m == 0 || m > static_cast<std::size_t>(name.size()))
        return false;
    const char* bytes = name.data();
    const char* wanted = term.data();
    const char first = wanted[0];
    const std::size_t starts = static_cast<std::size_t>(name.size()) - m + 1;
    for (std::size_t i = 0; i < starts; ++i)
        if (bytes[i] == first && std::memcmp(bytes + i + 1, wanted + 1, m - 1) == 0)
            return true;
    return false;
}

// A term as the table holds its names. A term with a lone surrogate can match half of a
// surrogate pair, which no comparison of bytes can; such a term, which no keyboard types, is
// compared on the names turned back into UTF-16.
class Term final {
public:
    explicit Term(QStringView text)
        : text(text)
        , bytes(Wtf8::of(text))
        , byBytes(!Wtf8::hasLoneSurrogate(text))
    {
    }

    // A term with a lone surrogate is never empty, so QString's tests answer as the byte tests do.
    bool beginsName(const LaunchItemTable& table, std::uint32_t i) const
    {
        return byBytes ? startsWith(table.upperBytes(i), bytes) : table.upperName(i).startsWith(text);
    }
    bool occursInName(const LaunchItemTable& table, std::uint32_t i) const
    {
        return byBytes ? occursIn(table.upperBytes(i), bytes) : table.upperName(i).contains(text);
    }

    QStringView text;
    QByteArray bytes;
    bool byBytes;
};

// Keeps the items of `within`, or of the whole table, that pass the test, in table order.
template <typename Test>
void keepMatching(
    const LaunchItemTable& table, const NameFilter::Matches* within, NameFilter::Matches& out, Test test)
{
    out.clear();
    if (within) {
        for (std::uint32_t i : *within)
            if (test(i))
                out.push_back(i);
        return;
    }
    for (std::uint32_t i = 0; i < table.size(); ++i)
        if (test(i))
            out.push_back(i);
}

// Whether a name begins with the term, by its first byte and first eight bytes where they decide
// (a term compared by its bytes, without NUL).
class PrefixTest final {
public:
    explicit PrefixTest(QStringView text)
        : term(text)
        , byHead(term.byBytes && !term.bytes.isEmpty() && !term.bytes.contains('\0'))
        , mask(term.bytes.size() >= 8 ? ~std::uint64_t(0) : (std::uint64_t(1) << (8 * term.bytes.size())) - 1)
        , head(LaunchItemTable::packHead(term.bytes))
        , firstByte(static_cast<std::uint8_t>(head))
    {
    }

    // Calls onMatch(item) for the items of the whole table whose name begins with the term, in
    // table order. The items whose first byte fits are found by memchr, which skips the others
    // many bytes at a time: in name order they lie together.
    template <typename OnMatch> void forEachMatch(const LaunchItemTable& table, OnMatch onMatch) const
    {
        if (!byHead) {
            for (std::uint32_t i = 0; i < table.size(); ++i)
                if ((*this)(table, i))
                    onMatch(i);
            return;
        }
        const std::span<const std::uint8_t> bytes = table.upperFirstBytes();
        const std::uint8_t* at = bytes.data();
        const std::uint8_t* const end = at + bytes.size();
        while (at != end) {
            const auto* hit
                = static_cast<const std::uint8_t*>(std::memchr(at, firstByte, std::size_t(end - at)));
            if (!hit)
                return;
            const auto i = static_cast<std::uint32_t>(hit - bytes.data());
            if (headMatches(table, i))
                onMatch(i);
            at = hit + 1;
        }
    }

    bool operator()(const LaunchItemTable& table, std::uint32_t i) const
    {
        if (!byHead)
            return term.beginsName(table, i);
        // The first byte turns nearly every item away without touching the names themselves; the
        // first eight bytes decide for nearly every other.
        return table.upperFirstByte(i) == firstByte && headMatches(table, i);
    }

private:
    bool headMatches(const LaunchItemTable& table, std::uint32_t i) const
    {
        return (table.upperBytesAt(i) & mask) == head
            && (term.bytes.size() <= 8 || startsWith(table.upperBytes(i), term.bytes));
    }

    Term term;
    bool byHead;
    std::uint64_t mask;
    std::uint64_t head;
    std::uint8_t firstByte;
};

// Calls onHit(position) for occurrences of needle in the buffer, from the start; onHit answers
// where to go on looking. A block of positions is first tested for the needle's first and last
// byte at once, which the compiler turns into vector instructions; most blocks end there.
template <typename OnHit>
void forEachOccurrence(const char* haystack, std::size_t length, QByteArrayView needle, OnHit onHit)
{
    const std::size_t m = static_cast<std::size_t>(needle.size());
    if (m == 0 || length < m)
        return;
    const char* bytes = needle.data();
    const char first = bytes[0], last = bytes[m - 1];
    const std::size_t end = length - m + 1; // possible starts: [0, end)
    constexpr std::size_t block = 64;
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
                || std::memcmp(haystack + k + 1, bytes + 1, m > 2 ? m - 2 : 0) != 0)
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

// The items whose upper-cased name holds the needle's bytes (which hold no NUL), in table order.
void itemsContaining(const LaunchItemTable& table, QByteArrayView needle, NameFilter::Matches& matches)
{
    matches.clear();
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
}

// Whether the whole buffer can be searched for the term's bytes at once.
bool searchesWhole(const Term& term)
{
    return term.byBytes && !term.bytes.contains('\0');
}

} // namespace

NameFilter::Matches NameFilter::prefixMatches(const LaunchItemTable& table, QStringView term)
{
    Matches matches;
    prefixMatches(table, term, nullptr, matches);
    return matches;
}

NameFilter::Matches NameFilter::containsMatches(const LaunchItemTable& table, QStringView term)
{
    Matches matches;
    containsMatches(table, term, nullptr, matches);
    return matches;
}

NameFilter::Matches NameFilter::wordMatches(
    const LaunchItemTable& table, QStringView term, QStringView wordTerm)
{
    Matches matches;
    wordMatches(table, term, wordTerm, nullptr, matches);
    return matches;
}

NameFilter::Matches NameFilter::wildcardMatches(const LaunchItemTable& table, const QString& pattern)
{
    Matches matches;
    wildcardMatches(table, pattern, nullptr, matches);
    return matches;
}

void NameFilter::prefixMatches(
    const LaunchItemTable& table, QStringView term, const Matches* within, Matches& out)
{
    out.clear();
    if (term.isEmpty())
        return;
    const PrefixTest test(term);
    if (within)
        keepMatching(table, within, out, [&](std::uint32_t i) { return test(table, i); });
    else
        test.forEachMatch(table, [&out](std::uint32_t i) { out.push_back(i); });
}

void NameFilter::containsMatches(
    const LaunchItemTable& table, QStringView term, const Matches* within, Matches& out)
{
    out.clear();
    if (term.isEmpty())
        return;
    const Term needle(term);
    if (within || !searchesWhole(needle)) {
        keepMatching(table, within, out, [&](std::uint32_t i) { return needle.occursInName(table, i); });
        return;
    }
    itemsContaining(table, needle.bytes, out);
}

void NameFilter::wordMatches(
    const LaunchItemTable& table, QStringView term, QStringView wordTerm, const Matches* within, Matches& out)
{
    const Term word(wordTerm);
    if (within || !searchesWhole(word)) {
        const PrefixTest prefix(term);
        keepMatching(table, within, out, [&](std::uint32_t i) {
            return (!term.isEmpty() && prefix(table, i)) || word.occursInName(table, i);
        });
        return;
    }
    // The whole table: the two searches each in one pass, then united. Their buffers are kept,
    // so that a keystroke allocates nothing in proportion to the index.
    static thread_local Matches beginning, containing;
    prefixMatches(table, term, nullptr, beginning);
    itemsContaining(table, word.bytes, containing);
    out.clear();
    std::set_union(
        beginning.begin(), beginning.end(), containing.begin(), containing.end(), std::back_inserter(out));
}

void NameFilter::wildcardMatches(
    const LaunchItemTable& table, const QString& pattern, const Matches* within, Matches& out)
{
    out.clear();
    // One use of the pattern through the shared cache: the expression both validates it and
    // answers for the names the direct matcher does not take.
    const std::shared_ptr<const re2::RE2> expression = WildCardMatcher::expressionForPattern(pattern);
    if (!expression)
        return;
    // The expression reads UTF-8, which the names' bytes are unless they hold a lone surrogate.
    const auto byExpression = [&](std::uint32_t i) {
        const QByteArrayView bytes = table.upperBytes(i);
        return WildCardMatcher::expressionMatches(*expression,
            Wtf8::holdsSurrogate(bytes) ? table.upperName(i).toUtf8()
                                        : QByteArray::fromRawData(bytes.data(), bytes.size()));
    };
    const GlobPattern glob(pattern);
    if (!glob.isDirect()) {
        keepMatching(table, within, out, byExpression);
        return;
    }
    // Names with a line feed (which "?" and "*" do not cross) go to the expression; they are rare.
    // The items come in ascending order, so one walk through that list finds them.
    const std::span<const std::uint32_t> lineFeeds = table.itemsWithLineFeed();
    auto nextLineFeed = lineFeeds.begin();
    const QStringView head = glob.literalHead();
    const PrefixTest beginsWithHead(head);
    keepMatching(table, within, out, [&](std::uint32_t i) {
        while (nextLineFeed != lineFeeds.end() && *nextLineFeed < i)
            ++nextLineFeed;
        if (nextLineFeed != lineFeeds.end() && *nextLineFeed == i)
            return byExpression(i);
        if (!head.isEmpty() && !beginsWithHead(table, i))
            return false;
        return glob.matches(table.upperBytes(i));
    });
}

} // namespace quorvel
