#include "search/LaunchedItems.h"

#include <QHashFunctions>
#include <bit>

namespace quorvel {

LaunchedItems::LaunchedItems(
    std::shared_ptr<const LaunchItemTable> items, const UsageInformationManager& usage)
    : table(std::move(items))
    , usage(usage)
    , pathHashes(pathHashesOf(table))
{
    // At most a quarter full, so that a miss ends after a slot or two.
    const std::size_t slots = std::bit_ceil(std::max<std::size_t>(16, usage.launchedPathCount() * 4));
    launchedHashes.assign(slots, 0);
    mask = static_cast<std::uint32_t>(slots - 1);
    // The table holds its paths in UTF-8: the history's few are converted to match.
    usage.forEachLaunchedPath([this](QStringView path) {
        const std::uint32_t hash = hashOf(path.toUtf8());
        std::uint32_t slot = hash & mask;
        while (launchedHashes[slot] != 0 && launchedHashes[slot] != hash)
            slot = (slot + 1) & mask;
        launchedHashes[slot] = hash;
    });
}

std::uint32_t LaunchedItems::hashOf(QByteArrayView utf8Path)
{
    const std::size_t hash = qHash(utf8Path, 0);
    const auto folded = static_cast<std::uint32_t>(hash ^ (std::uint64_t(hash) >> 32));
    return folded == 0 ? 1 : folded;
}

std::shared_ptr<const LaunchedItems::Hashes> LaunchedItems::pathHashesOf(
    const std::shared_ptr<const LaunchItemTable>& table)
{
    // The table of the current index is the one that matters; it stays until a scan replaces it.
    // Main thread only, as the lists are.
    static std::weak_ptr<const LaunchItemTable> lastTable;
    static std::shared_ptr<const Hashes> lastHashes;
    if (lastHashes && lastTable.lock() == table)
        return lastHashes;
    auto hashes = std::make_shared<Hashes>(table->size());
    for (std::size_t i = 0; i < table->size(); ++i)
        (*hashes)[i] = hashOf(QByteArrayView(table->path(i).data(), table->path(i).size()));
    lastTable = table;
    lastHashes = hashes;
    return hashes;
}

} // namespace quorvel
