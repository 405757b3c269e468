#include "search/LaunchedItems.h"

#include <algorithm>
#include <bit>

namespace quorvel {

LaunchedItems::LaunchedItems(
    std::shared_ptr<const LaunchItemTable> items, const UsageInformationManager& usage)
    : table(std::move(items))
    , usage(usage)
    , pathHashes(table->pathHashes())
{
    // At most a quarter full, so that a miss ends after a slot or two.
    const std::size_t slots = std::bit_ceil(std::max<std::size_t>(16, usage.launchedPathCount() * 4));
    launchedHashes.assign(slots, 0);
    mask = static_cast<std::uint32_t>(slots - 1);
    std::vector<std::uint32_t> withPath;
    // The table holds its paths in UTF-8: the history's few are converted to match.
    usage.forEachLaunchedPath([&](QStringView path) {
        const QByteArray utf8 = path.toUtf8();
        // A path with an unpaired surrogate has no UTF-8 form; no table path can equal it.
        if (QStringView(QString::fromUtf8(utf8)) != path)
            return;
        const std::uint32_t hash = LaunchItemTable::pathHashOf(utf8);
        std::uint32_t slot = hash & mask;
        while (launchedHashes[slot] != 0 && launchedHashes[slot] != hash)
            slot = (slot + 1) & mask;
        launchedHashes[slot] = hash;
        withPath.clear();
        table->itemsWithPath(utf8, withPath);
        const UsageInformationManager::LaunchTimes* times = usage.launchTimesFor(path);
        for (std::uint32_t item : withPath)
            launched.push_back({ item, times });
    });
    std::sort(launched.begin(), launched.end(),
        [](const Launched& a, const Launched& b) { return a.item < b.item; });
}

} // namespace quorvel
