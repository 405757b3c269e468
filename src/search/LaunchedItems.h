#pragma once
// Which items of a table the usage history knows, told apart without a look-up per item: a hash
// of every item's path, worked out once per table (lists that share a table share it), and a
// small set of the hashes of the launched paths. Only an item whose hash is in the set has its
// path looked up, so ranking a million matches makes about as many look-ups as there are
// launched items among them. Bound to one state of the history: make a new one after a launch.

#include "search/LaunchItemTable.h"
#include "search/UsageInformationManager.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace quorvel {

class LaunchedItems final {
public:
    LaunchedItems(std::shared_ptr<const LaunchItemTable> table, const UsageInformationManager& usage);

    // The launch times of an item; nullptr for one never launched.
    const UsageInformationManager::LaunchTimes* launchTimesOf(std::uint32_t item) const
    {
        return mayBeLaunched((*pathHashes)[item]) ? usage.launchTimesFor(table->path(item)) : nullptr;
    }

private:
    using Hashes = std::vector<std::uint32_t>;
    static std::shared_ptr<const Hashes> pathHashesOf(const std::shared_ptr<const LaunchItemTable>& table);
    static std::uint32_t hashOf(QByteArrayView utf8Path);
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
    std::shared_ptr<const Hashes> pathHashes;
    Hashes launchedHashes; // open addressing; 0 marks a free slot, so no hash is 0
    std::uint32_t mask = 0;
};

} // namespace quorvel
