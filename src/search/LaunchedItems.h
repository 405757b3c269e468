#pragma once
// Which items of a table the usage history knows: the launched items themselves, found through
// the table's path look-up (one look-up per launched path, whatever the table's size), and one
// bit per item of the table that tells a launched item apart without a look-up. Bound to one
// state of the history: make a new one after a launch.
//
// The panel makes a fresh list, with a fresh history manager, at every summons; while neither the
// table nor the history has changed, `of` answers the launched items found last instead of
// looking every launched path up again.

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
    // The launched items of the table in that history: the last ones made, when they were made
    // for the same table and the same unchanged history.
    static std::shared_ptr<const LaunchedItems> of(
        const std::shared_ptr<const LaunchItemTable>& table, const UsageInformationManager& usage);

    // The launch times of an item; nullptr for one never launched.
    const UsageInformationManager::LaunchTimes* launchTimesOf(std::uint32_t item) const
    {
        return isLaunched(item) ? timesOfLaunched(item) : nullptr;
    }
    // Every launched item of the table with its times, in ascending order of the items.
    const std::vector<Launched>& items() const { return launched; }

private:
    bool isLaunched(std::uint32_t item) const { return (launchedBits[item / 64] >> (item % 64)) & 1u; }
    const UsageInformationManager::LaunchTimes* timesOfLaunched(std::uint32_t item) const;

    // What they were made for: the table (held weakly, so the last ones made never keep an old
    // table alive) and the history, which holds the launch times pointed at.
    std::weak_ptr<const LaunchItemTable> table;
    std::shared_ptr<const void> history;
    std::vector<std::uint64_t> launchedBits; // bit i: item i is in launched
    std::vector<Launched> launched;
};

} // namespace quorvel
