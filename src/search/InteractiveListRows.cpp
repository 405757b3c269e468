// The matches of an InteractiveList as the panel's table reads them: ranked as far as the rows
// asked for reach, counted whole.

#include "search/InteractiveList.h"

#include "search/LaunchedItems.h"

#include <algorithm>

namespace quorvel {

namespace {

QString matchCountText(int count)
{
    if (count == 0)
        return QStringLiteral("No Match.");
    if (count == 1)
        return QStringLiteral("Single Match.");
    return QStringLiteral("%1 Matching Items.").arg(count);
}

// The rows a filtering ranks at once: more than a panel shows, with room for the steps of the
// arrow keys and a selection restored further down. Rows beyond are ranked when asked for.
constexpr std::size_t firstRankedRows = 128;

} // namespace

void InteractiveList::rankMatches()
{
    // Telling the launched items apart takes a pass over the history: not for a single match.
    if (usage().hasHistory() && !launchedItems && unrankedMatches.size() >= 2)
        launchedItems = LaunchedItems::of(applications, usage());
    const LaunchedItems* launched = usage().hasHistory() ? launchedItems.get() : nullptr;
    matchCount = unrankedMatches.size();
    rankingComplete = ranker.rankFirst(
        { *applications, usage(), launched, unrankedMatches }, firstRankedRows, currentlyMatchingItems);
}

void InteractiveList::rankRowsUpTo(std::size_t rows) const
{
    if (rankingComplete || currentlyMatchingItems.size() >= rows)
        return;
    // In steps that double, so that walking down the rows costs as much as ranking them once.
    rows = std::max(rows, currentlyMatchingItems.size() * 2);
    const LaunchedItems* launched = usage().hasHistory() ? launchedItems.get() : nullptr;
    rankingComplete = ranker.rankMore(
        { *applications, usage(), launched, unrankedMatches }, rows, currentlyMatchingItems);
}

const std::vector<std::uint32_t>& InteractiveList::matchingItemIndices() const
{
    rankRowsUpTo(matchCount);
    return currentlyMatchingItems;
}

int InteractiveList::numberOfMatchingItems() const
{
    return static_cast<int>(matchCount);
}

bool InteractiveList::isEmpty() const
{
    return matchCount == 0;
}

bool InteractiveList::isMatchIndex(int index) const
{
    // Unsigned, so that a negative index is outside as well.
    return static_cast<unsigned>(index) < matchCount;
}

QString InteractiveList::matchingNameAt(int index) const
{
    return isMatchIndex(index) ? applications->name(itemAt(index)).toString() : QString();
}

QString InteractiveList::matchingTypeAt(int index) const
{
    return isMatchIndex(index) ? applications->type(itemAt(index)) : QString();
}

QString InteractiveList::matchingFilePathAt(int index) const
{
    if (applications->empty() || !isMatchIndex(index))
        return QString();
    return applications->path(itemAt(index)).toString();
}

void InteractiveList::selectItemWithPath(const QString& path)
{
    selectedIndex = 0;
    const QByteArray wanted = path.toUtf8();
    if (QString::fromUtf8(wanted) != path)
        return; // an unpaired surrogate: no path of the table can be equal to it
    if (!matchesHoldPath(wanted))
        return; // spares ranking the rows only to find it is not among them
    for (std::size_t i = 0; i < matchCount; ++i) {
        const QUtf8StringView candidate = applications->path(itemAt(static_cast<int>(i)));
        if (QByteArrayView(candidate.data(), candidate.size()) == wanted) {
            selectedIndex = static_cast<int>(i);
            return;
        }
    }
}

bool InteractiveList::matchesHoldPath(QByteArrayView utf8Path) const
{
    if (matchCount == 0)
        return false;
    static thread_local std::vector<std::uint32_t> withPath;
    withPath.clear();
    applications->itemsWithPath(utf8Path, withPath);
    // The matches in index order are what was ranked.
    return std::any_of(withPath.begin(), withPath.end(), [this](std::uint32_t item) {
        return std::binary_search(unrankedMatches.begin(), unrankedMatches.end(), item);
    });
}

QString InteractiveList::resultCountString() const
{
    return matchCountText(numberOfMatchingItems());
}

QString InteractiveList::allMatchingNames() const
{
    QString names;
    for (std::uint32_t item : matchingItemIndices()) {
        names += applications->name(item);
        names += QLatin1Char('\n');
    }
    return names;
}

} // namespace quorvel
