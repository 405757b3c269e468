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
    walk.active = false;
    if (search.matches.size() < 2) {
        ranked = search.matches;
        return;
    }
    if (!rankByKinds(search, ranked))
        rankEach(search, ranked);
}

bool MatchRanker::rankFirst(const Search& search, std::size_t rows, std::vector<std::uint32_t>& ranked)
{
    walk.active = false;
    if (search.matches.size() < 2 || rows >= search.matches.size() || !beginLayerWalk(search)) {
        rank(search, ranked);
        return true;
    }
    ranked.clear();
    return walkLayers(search, rows, ranked);
}

bool MatchRanker::rankMore(const Search& search, std::size_t rows, std::vector<std::uint32_t>& ranked)
{
    return !walk.active || walkLayers(search, rows, ranked);
}

// The usual case, in two passes over the matches: an index in name order (as the scanner writes
// it), where no launched match's score comes within the bonus of a natural score that matches
// never launched have. Each natural score is then a layer of its own, ordered by name, which is
// index order: only the launched matches need the ranking's sort, and the layers of natural
// scores fall in between them by score.
bool MatchRanker::rankByKinds(const Search& search, std::vector<std::uint32_t>& ranked)
{
    if (!sortIntoLayers(search)
        || !layersStayApart([this](std::size_t layer) { return layerSize[layer] != 0; }))
        return false;
    MatchRanking::order(candidates, scratch, launchedOrder, search.matches.size());
    placeByLayers(search, ranked);
    return true;
}

// Gives each match its layer and makes the launched ones candidates; false when the matches are
// not in name order.
bool MatchRanker::sortIntoLayers(const Search& search)
{
    const NameRanks ranks = search.items.nameRanks();
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
// within the bonus of any of them. Whether a layer is in use is asked only where it matters.
template <typename InUse> bool MatchRanker::layersStayApart(InUse layerInUse) const
{
    const std::array<float, kindLayers>& layerScore = kindLayerScores();
    for (std::size_t layer = 0; layer < kindLayers; ++layer) {
        bool apart = layer == 0 || layerScore[layer] < layerScore[layer - 1];
        for (const MatchRanking::Candidate& candidate : candidates)
            apart = apart
                && !MatchRanking::withinReach(std::min(candidate.score, layerScore[layer]),
                    std::max(candidate.score, layerScore[layer]));
        if (!apart && layerInUse(layer))
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

// The walk through the layers, for an index in name order whose layers stay apart: the launched
// matches found and ordered; the layers are taken from the matches as the rows are asked for.
bool MatchRanker::beginLayerWalk(const Search& search)
{
    if (!search.items.inNameOrder())
        return false;
    findLaunchedMatches(search);
    if (!layersStayApart([&](std::size_t layer) { return layerHasMembers(search, layer); }))
        return false;
    MatchRanking::order(candidates, scratch, launchedOrder, search.matches.size());
    walk = Walk {};
    walk.active = true;
    return true;
}

// The launched items among the matches become candidates, in position order.
void MatchRanker::findLaunchedMatches(const Search& search)
{
    candidates.clear();
    launchedPositions.clear();
    if (!search.launched)
        return;
    const NameRanks ranks = search.items.nameRanks();
    const std::vector<std::uint32_t>& matches = search.matches;
    auto from = matches.begin();
    for (const LaunchedItems::Launched& launched : search.launched->items()) {
        from = std::lower_bound(from, matches.end(), launched.item);
        if (from == matches.end())
            return;
        if (*from != launched.item)
            continue;
        const auto position = static_cast<std::uint32_t>(from - matches.begin());
        const float score = search.usage.scoreOf(search.items.kind(launched.item), launched.times);
        candidates.push_back(MatchRanking::candidate(score, ranks[launched.item], launched.item, position));
        launchedPositions.push_back(position);
    }
}

// Whether a match never launched has the layer's kind.
bool MatchRanker::layerHasMembers(const Search& search, std::size_t layer) const
{
    std::size_t launchedAt = 0;
    for (std::size_t position = 0; position < search.matches.size(); ++position) {
        if (launchedAt < launchedPositions.size() && launchedPositions[launchedAt] == position) {
            ++launchedAt;
            continue;
        }
        if (kindLayerOf(search.items.kind(search.matches[position])) == layer)
            return true;
    }
    return false;
}

// Adds rows until ranked holds `rows` of them or every match: before each layer the launched
// matches that score above it, then its members in index order; answers whether all are in.
// (Placing launched matches before a layer without members changes nothing: they come before
// the next layer all the same.)
bool MatchRanker::walkLayers(const Search& search, std::size_t rows, std::vector<std::uint32_t>& ranked)
{
    const std::array<float, kindLayers>& layerScore = kindLayerScores();
    for (; walk.layer < kindLayers; ++walk.layer, walk.inMembers = false) {
        if (!walk.inMembers) {
            while (walk.candidate < candidates.size()
                && candidates[walk.candidate].score > layerScore[walk.layer])
                ranked.push_back(candidates[walk.candidate++].item);
            walk.inMembers = true;
            walk.position = 0;
            walk.launchedAt = 0;
        }
        if (ranked.size() >= rows || !walkLayer(search, rows, ranked))
            return false;
    }
    while (walk.candidate < candidates.size())
        ranked.push_back(candidates[walk.candidate++].item);
    walk.active = false;
    return true;
}

// The members of the walk's layer, from where it stands, until ranked holds `rows`; answers
// whether the layer is done.
bool MatchRanker::walkLayer(const Search& search, std::size_t rows, std::vector<std::uint32_t>& ranked)
{
    const std::vector<std::uint32_t>& matches = search.matches;
    std::size_t position = walk.position, launchedAt = walk.launchedAt;
    bool done = true;
    for (; position < matches.size(); ++position) {
        if (launchedAt < launchedPositions.size() && launchedPositions[launchedAt] == position) {
            ++launchedAt;
            continue;
        }
        if (kindLayerOf(search.items.kind(matches[position])) != walk.layer)
            continue;
        if (ranked.size() >= rows) {
            done = false;
            break;
        }
        ranked.push_back(matches[position]);
    }
    walk.position = position;
    walk.launchedAt = launchedAt;
    return done;
}

// Any index and history: every match is reduced to a candidate and the ranking orders them all.
void MatchRanker::rankEach(const Search& search, std::vector<std::uint32_t>& ranked)
{
    const NameRanks ranks = search.items.nameRanks();
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
