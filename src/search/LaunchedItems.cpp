#include "search/LaunchedItems.h"

#include <algorithm>
#include <mutex>

namespace quorvel {

LaunchedItems::LaunchedItems(
    std::shared_ptr<const LaunchItemTable> items, const UsageInformationManager& usage)
    : table(items)
    , history(usage.unchangedHistory())
    , launchedBits((items->size() + 63) / 64, 0)
{
    std::vector<std::uint32_t> withPath;
    // The table holds its paths in UTF-8: the history's few are converted to match.
    usage.forEachLaunchedPath([&](QStringView path) {
        const QByteArray utf8 = path.toUtf8();
        // A path with an unpaired surrogate has no UTF-8 form; no table path can equal it.
        if (QStringView(QString::fromUtf8(utf8)) != path)
            return;
        withPath.clear();
        items->itemsWithPath(utf8, withPath);
        const UsageInformationManager::LaunchTimes* times = usage.launchTimesFor(path);
        for (std::uint32_t item : withPath) {
            launched.push_back({ item, times });
            launchedBits[item / 64] |= std::uint64_t(1) << (item % 64);
        }
    });
    std::sort(launched.begin(), launched.end(),
        [](const Launched& a, const Launched& b) { return a.item < b.item; });
    launched.shrink_to_fit();
}

std::shared_ptr<const LaunchedItems> LaunchedItems::of(
    const std::shared_ptr<const LaunchItemTable>& table, const UsageInformationManager& usage)
{
    static std::mutex lock;
    static std::shared_ptr<const LaunchedItems> last;
    const std::shared_ptr<const void> history = usage.unchangedHistory();
    const std::lock_guard<std::mutex> guard(lock);
    // An expired table locks to null, which no list's table is.
    if (history && last && last->history == history && last->table.lock() == table)
        return last;
    auto made = std::make_shared<const LaunchedItems>(table, usage);
    if (history)
        last = made;
    return made;
}

const UsageInformationManager::LaunchTimes* LaunchedItems::timesOfLaunched(std::uint32_t item) const
{
    const auto found = std::lower_bound(launched.begin(), launched.end(), item,
        [](const Launched& entry, std::uint32_t wanted) { return entry.item < wanted; });
    return found != launched.end() && found->item == item ? found->times : nullptr;
}

} // namespace quorvel
