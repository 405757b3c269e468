#include "search/MatchRanker.h"

#include "search/LaunchedItems.h"
#include "search/UsageInformationManager.h"

#include <algorithm>

namespace quorvel {

namespace {

// The layer of a match never launched: its kind's, by natural score, highest first.
std::uint8_t kindLayerOf(LaunchItemKind kind)
{
    switch (kind) {
    case LaunchItemKind::PreferencePane:
        return 0;
    case LaunchItemKind::Application:
        return 1;
    case LaunchItemKind::Folder:
        return 2;
    default:
        return 3;
    }
}

// The natural score of each kind layer.
const std::array<float, 4>& kindLayerScores()
{
    static const std::array<float, 4> scores
        = { UsageInformationManager::naturalScore(LaunchItemKind::PreferencePane),
              UsageInformationManager::naturalScore(LaunchItemKind::Application),
              UsageInformationManager::naturalScore(LaunchItemKind::Folder),
              UsageInformationManager::naturalScore(LaunchItemKind::Document) };
    return scores;
}

} // namespace

void MatchRanker::rank(const Search& search, std::vector<std::uint32_t>& ranked)
{
    if (search.matches.size() < 2) {
        ranked = search.matches;
        return;
    }
    if (!rankByKinds(search, ranked))
        rankEach(search, ranked);
}

// The usual case, in two passes over the matches: an index in name order (as the scanner writes
// it), where no launched match's score comes within the bonus of a natural score that matches
// never launched have. Each natural score is then a layer of its own, ordered by name, which is
// index order: only the launched matches need the ranking's sort, and the layers of natural
// scores fall in between them by score.
bool MatchRanker::rankByKinds(const Search& search, std::vector<std::uint32_t>& ranked)
{
    if (!sortIntoLayers(search) || !layersStayApart())
        return false;
    MatchRanking::order(candidates, scratch, launchedOrder, search.matches.size());
    placeByLayers(search, ranked);
    return true;
}

// Gives each match its layer and makes the launched ones candidates; false when the matches are
// not in name order.
bool MatchRanker::sortIntoLayers(const Search& search)
{
    const std::span<const std::uint32_t> ranks = search.items.nameRanks();
    layerSize = {};
    layerOfMatch.resize(search.matches.size());
    candidates.clear();
    std::uint32_t lastRank = 0;
    for (std::uint32_t position = 0; position < search.matches.size(); ++position) {
        const std::uint32_t item = search.matches[position];
        const std::uint32_t rank = ranks[item];
        if (rank < lastRank)
            return false;
        lastRank = rank;
        const LaunchItemKind kind = search.items.kind(item);
        if (const UsageInformationManager::LaunchTimes* times
            = search.launched ? search.launched->launchTimesOf(item) : nullptr) {
            candidates.push_back(
                MatchRanking::candidate(search.usage.scoreOf(kind, times), rank, item, position));
            layerOfMatch[position] = launchedLayer;
            continue;
        }
        const std::uint8_t layer = kindLayerOf(kind);
        ++layerSize[layer];
        layerOfMatch[position] = layer;
    }
    return true;
}

// Whether the kind layers in use lie in falling order of score and no launched match comes
// within the bonus of any of them.
bool MatchRanker::layersStayApart() const
{
    const std::array<float, kindLayers>& layerScore = kindLayerScores();
    for (std::size_t layer = 0; layer < kindLayers; ++layer) {
        if (layerSize[layer] == 0)
            continue;
        if (layer > 0 && !(layerScore[layer] < layerScore[layer - 1]))
            return false;
        for (const MatchRanking::Candidate& candidate : candidates)
            if (MatchRanking::withinReach(std::min(candidate.score, layerScore[layer]),
                    std::max(candidate.score, layerScore[layer])))
                return false;
    }
    return true;
}

// The ordered launched matches with the kind layers between them by score, each layer in index
// order.
void MatchRanker::placeByLayers(const Search& search, std::vector<std::uint32_t>& ranked)
{
    const std::array<float, kindLayers>& layerScore = kindLayerScores();
    ranked.resize(search.matches.size());
    std::array<std::size_t, kindLayers> next {};
    std::size_t at = 0, launchedAt = 0;
    for (std::size_t layer = 0; layer < kindLayers; ++layer) {
        if (layerSize[layer] == 0)
            continue;
        while (launchedAt < candidates.size() && candidates[launchedAt].score > layerScore[layer])
            ranked[at++] = candidates[launchedAt++].item;
        next[layer] = at;
        at += layerSize[layer];
    }
    while (launchedAt < candidates.size())
        ranked[at++] = candidates[launchedAt++].item;
    for (std::size_t position = 0; position < search.matches.size(); ++position)
        if (layerOfMatch[position] != launchedLayer)
            ranked[next[layerOfMatch[position]]++] = search.matches[position];
}

// Any index and history: every match is reduced to a candidate and the ranking orders them all.
void MatchRanker::rankEach(const Search& search, std::vector<std::uint32_t>& ranked)
{
    const std::span<const std::uint32_t> ranks = search.items.nameRanks();
    candidates.clear();
    for (std::uint32_t position = 0; position < search.matches.size(); ++position) {
        const std::uint32_t item = search.matches[position];
        const float score = search.usage.scoreOf(
            search.items.kind(item), search.launched ? search.launched->launchTimesOf(item) : nullptr);
        candidates.push_back(MatchRanking::candidate(score, ranks[item], item, position));
    }
    MatchRanking::order(candidates, scratch, ranked, search.matches.size());
}

} // namespace quorvel
