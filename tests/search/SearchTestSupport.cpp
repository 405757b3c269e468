#include "SearchTestSupport.h"

#include "platform/plist/PropertyList.h"
#include "search/InteractiveCombinedList.h"
#include "search/WildCardMatcher.h"

#include <gtest/gtest.h>
#include <ostream>

namespace quorvel {

void PrintTo(const LaunchItem& item, std::ostream* out)
{
    *out << "{" << item.name.toStdString() << ", " << item.type.toStdString() << ", "
         << item.path.toStdString() << "}";
}

namespace test {

void writeHistory(const QVariantMap& history)
{
    ASSERT_TRUE(PropertyList::writeFile(_historyPath(), history));
}

QVariantList launchTimes(std::initializer_list<double> times)
{
    QVariantList list;
    for (double time : times)
        list.append(time);
    return list;
}

std::vector<LaunchItem> matchesOf(const InteractiveList& list)
{
    std::vector<LaunchItem> items;
    for (int i = 0; i < list.numberOfMatchingItems(); ++i)
        items.push_back({ list.matchingNameAt(i), list.matchingTypeAt(i), list.matchingFilePathAt(i) });
    return items;
}

QStringList namesOf(const std::vector<LaunchItem>& items)
{
    QStringList names;
    for (const LaunchItem& item : items)
        names << item.name;
    return names;
}

std::vector<LaunchItem> referenceSearch(
    const std::vector<LaunchItem>& items, const QString& term, int mode, const UsageInformationManager& usage)
{
    const QString filter = term.toUpper();
    const QString word = " " + filter;
    const QString wildcard = filter + "*";
    std::vector<LaunchItem> matches;
    for (const LaunchItem& item : items) {
        const QString name = item.name.toUpper();
        const bool prefix = !filter.isEmpty() && name.startsWith(filter);
        bool match = false;
        switch (mode) {
        case InteractiveList::PrefixMode:
            match = prefix;
            break;
        case InteractiveList::ContainsMode:
            match = !filter.isEmpty() && filter.size() <= name.size() && name.contains(filter);
            break;
        case InteractiveList::WordMode:
            match = prefix || name.contains(word);
            break;
        case InteractiveList::WildcardMode:
            match = WildCardMatcher::stringMatches(name, wildcard);
            break;
        default:
            break;
        }
        if (match)
            matches.push_back(item);
    }
    std::vector<LaunchItem> buffer(matches.size());
    referenceMergeSort(matches, 0, matches.size(), buffer,
        [&usage](const LaunchItem& a, const LaunchItem& b) { return _adaptiveSort(a, b, &usage); });
    return matches;
}

} // namespace test
} // namespace quorvel
