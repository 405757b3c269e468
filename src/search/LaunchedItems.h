#pragma once
// Which items of a table the usage history knows: the launched items themselves, found through
// the table's path look-up (one look-up per launched path, whatever the table's size), and a
// small set of the hashes of the launched paths, against which the table's hash of each item's
// path tells a launched item apart without a look-up. Bound to one state of the history: make a
// new one after a launch.

#include "search/LaunchItemTable.h"
#include "search/UsageInformationManager.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace quorvel {

class LaunchedItems final {
public:
    struct Launched {
        std::uint32_t item;
        const UsageInformationManager::LaunchTimes* times;
    };

    LaunchedItems(std::shared_ptr<const LaunchItemTable> table, const UsageInformationManager& usage);

    // The launch times of an item; nullptr for one never launched.
    const UsageInformationManager::LaunchTimes* launchTimesOf(std::uint32_t item) const
    {
        return mayBeLaunched(pathHashes[item]) ? usage.launchTimesFor(table->path(item)) : nullptr;
    }
    // Every launched item of the table with its times, in ascending order of the items.
    const std::vector<Launched>& items() const { return launched; }

private:
    using Hashes = std::vector<std::uint32_t>;
    bool mayBeLaunched(std::uint32_t hash) const
    {
        for (std::uint32_t slot = hash & mask;; slot = (slot + 1) & mask) {
            if (launchedHashes[slot] == hash)
                return true;
            if (launchedHashes[slot] == 0)
                return false;
        }
    }

    std::shared_ptr<const LaunchItemTable> table;
    const UsageInformationManager& usage;
    std::span<const std::uint32_t> pathHashes; // the table's
    Hashes launchedHashes; // open addressing; 0 marks a free slot, so no hash is 0
    std::uint32_t mask = 0;
    std::vector<Launched> launched;
};

} // namespace quorvel
