#pragma once
// Ranks the matches of one list's search: each match becomes a MatchRanking candidate (its usage
// score by kind and launch history, its place in the name order) and MatchRanking orders them.
// When the index is in name order and no launched match comes within the bonus of the natural
// scores, only the launched matches need that sort: the others fall into one layer per kind.
// Those layers are then taken from the matches only as far as the rows asked for reach, so the
// first rows of a million matches cost about as much as the launched ones among them.
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
    // Ranks at least the first `rows` matches of the search into ranked (the rest may follow
    // through rankMore); answers whether ranked holds them all.
    bool rankFirst(const Search& search, std::size_t rows, std::vector<std::uint32_t>& ranked);
    // Goes on with the ranking the last rankFirst began, for the same search, until ranked holds
    // at least `rows` matches; answers whether it holds them all.
    bool rankMore(const Search& search, std::size_t rows, std::vector<std::uint32_t>& ranked);

private:
    // The kinds by natural score, highest first; documents and other codes share theirs.
    static constexpr std::size_t kindLayers = 4;
    static constexpr std::uint8_t launchedLayer = 0xFF;

    bool rankByKinds(const Search& search, std::vector<std::uint32_t>& ranked);
    bool sortIntoLayers(const Search& search);
    template <typename InUse> bool layersStayApart(InUse layerInUse) const;
    void placeByLayers(const Search& search, std::vector<std::uint32_t>& ranked);
    void rankEach(const Search& search, std::vector<std::uint32_t>& ranked);

    // The rows in order, a few at a time: the launched matches by rank with each kind layer
    // (a walk through the matches picking its kind) where its score puts it.
    bool beginLayerWalk(const Search& search);
    void findLaunchedMatches(const Search& search);
    bool layerHasMembers(const Search& search, std::size_t layer) const;
    bool walkLayers(const Search& search, std::size_t rows, std::vector<std::uint32_t>& ranked);
    bool walkLayer(const Search& search, std::size_t rows, std::vector<std::uint32_t>& ranked);

    std::vector<MatchRanking::Candidate> candidates, scratch;
    std::vector<std::uint8_t> layerOfMatch; // a kind layer, or launchedLayer
    std::array<std::size_t, kindLayers> layerSize {};
    std::vector<std::uint32_t> launchedOrder;

    // Where the walk through the layers stands.
    struct Walk {
        bool active = false;
        std::size_t layer = 0;
        bool inMembers = false; // the layer's launched predecessors are placed
        std::size_t candidate = 0; // the next launched match to place, in ranked order
        std::size_t position = 0; // the next match to look at in the layer
        std::size_t launchedAt = 0; // the next launched position at or after it
    } walk;
    std::vector<std::uint32_t> launchedPositions; // ascending
};

} // namespace quorvel
