#pragma once
// Ranks the matches of one list's search: each match becomes a MatchRanking candidate (its usage
// score by kind and launch history, its place in the name order) and MatchRanking orders them.
// When the index is in name order and no launched match comes within the bonus of the natural
// scores, only the launched matches need that sort: the others fall into one layer per kind.
// Keeps its buffers from one search to the next, so typing allocates nothing once warm.

#include "search/LaunchItemTable.h"
#include "search/MatchRanking.h"

#include <array>
#include <cstdint>
#include <vector>

namespace quorvel {

class LaunchedItems;
class UsageInformationManager;

class MatchRanker final {
public:
    // What one ranking works on: the list's items, its history (its time read already), the
    // launched items among them (nullptr without a history) and the matches in index order.
    struct Search {
        const LaunchItemTable& items;
        const UsageInformationManager& usage;
        const LaunchedItems* launched;
        const std::vector<std::uint32_t>& matches;
    };

    // The matches of the search into ranked, in ranked order.
    void rank(const Search& search, std::vector<std::uint32_t>& ranked);

private:
    // The kinds by natural score, highest first; documents and other codes share theirs.
    static constexpr std::size_t kindLayers = 4;
    static constexpr std::uint8_t launchedLayer = 0xFF;

    bool rankByKinds(const Search& search, std::vector<std::uint32_t>& ranked);
    bool sortIntoLayers(const Search& search);
    bool layersStayApart() const;
    void placeByLayers(const Search& search, std::vector<std::uint32_t>& ranked);
    void rankEach(const Search& search, std::vector<std::uint32_t>& ranked);

    std::vector<MatchRanking::Candidate> candidates, scratch;
    std::vector<std::uint8_t> layerOfMatch; // a kind layer, or launchedLayer
    std::array<std::size_t, kindLayers> layerSize {};
    std::vector<std::uint32_t> launchedOrder;
};

} // namespace quorvel
