#include "search/MatchRanking.h"

#include "search/MergeSort.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace quorvel {

namespace {

float withBonus(float score)
{
    return static_cast<float>(static_cast<double>(score) + 0.1);
}

// Distinct scores. Nearly every match has one of the few natural scores, so those are found in
// a short array; the scores of launched items go to a list.
struct DistinctScores {
    static constexpr std::uint32_t commonSlots = 8;
    std::array<float, commonSlots> common {};
    std::uint32_t commonCount = 0;
    std::vector<float> others;

    // Records the score; answers its slot: < commonSlots common, else commonSlots + index into others.
    std::uint32_t slotOf(float score)
    {
        for (std::uint32_t k = 0; k < commonCount; ++k)
            if (common[k] == score)
                return k;
        if (commonCount < commonSlots) {
            common[commonCount] = score;
            return commonCount++;
        }
        others.push_back(score);
        return commonSlots + static_cast<std::uint32_t>(others.size() - 1);
    }

    std::vector<float> sorted() const
    {
        std::vector<float> all(others);
        all.insert(all.end(), common.begin(), common.begin() + commonCount);
        std::sort(all.begin(), all.end());
        all.erase(std::unique(all.begin(), all.end()), all.end());
        return all;
    }
};

} // namespace

MatchRanking::Candidate MatchRanking::candidate(
    float score, std::uint32_t rank, std::uint32_t item, std::uint32_t position)
{
    return { score, withBonus(score), rank, item, position };
}

std::vector<std::uint32_t> MatchRanking::order(std::vector<Candidate> candidates)
{
    std::vector<Candidate> scratch;
    std::vector<std::uint32_t> items;
    order(candidates, scratch, items, candidates.size());
    return items;
}

bool MatchRanking::withinReach(float lower, float higher)
{
    return !(higher > withBonus(lower));
}

void MatchRanking::order(std::vector<Candidate>& candidates, std::vector<Candidate>& scratch,
    std::vector<std::uint32_t>& items, std::size_t length)
{
    const std::size_t n = candidates.size();
    const bool anyNotANumber = std::any_of(
        candidates.begin(), candidates.end(), [](const Candidate& c) { return std::isnan(c.score); });
    if (anyNotANumber || n < 2) {
        // Scores are never NaN by construction; should one appear, the plain sort copes with it.
        orderLayer(candidates.data(), candidates.data() + n, false, length);
    } else {
        DistinctScores distinct;
        for (Candidate& c : candidates)
            c.layer = distinct.slotOf(c.score); // the slot for now, the layer below
        const std::vector<float> scores = distinct.sorted();
        // Layer 0 holds the highest scores; a new layer begins below every gap the bonus cannot bridge.
        std::vector<std::uint32_t> layerOfScore(scores.size());
        std::vector<std::uint32_t> scoresInLayer;
        for (std::size_t i = scores.size(); i-- > 0;) {
            const bool cut = i + 1 == scores.size() || !withinReach(scores[i], scores[i + 1]);
            if (cut)
                scoresInLayer.push_back(0);
            layerOfScore[i] = static_cast<std::uint32_t>(scoresInLayer.size() - 1);
            ++scoresInLayer.back();
        }
        const auto layerOf = [&](float score) {
            const auto at = std::lower_bound(scores.begin(), scores.end(), score);
            return layerOfScore[static_cast<std::size_t>(at - scores.begin())];
        };
        std::vector<std::uint32_t> layerOfSlot(DistinctScores::commonSlots + distinct.others.size());
        for (std::uint32_t k = 0; k < distinct.commonCount; ++k)
            layerOfSlot[k] = layerOf(distinct.common[k]);
        for (std::size_t k = 0; k < distinct.others.size(); ++k)
            layerOfSlot[DistinctScores::commonSlots + k] = layerOf(distinct.others[k]);

        // A stable counting sort by layer keeps each layer in position order.
        std::vector<std::size_t> starts(scoresInLayer.size() + 1, 0);
        for (Candidate& c : candidates) {
            c.layer = layerOfSlot[c.layer];
            ++starts[c.layer + 1];
        }
        for (std::size_t l = 1; l < starts.size(); ++l)
            starts[l] += starts[l - 1];
        scratch.resize(n);
        std::vector<std::size_t> next(starts.begin(), starts.end() - 1);
        for (const Candidate& c : candidates)
            scratch[next[c.layer]++] = c;
        for (std::size_t l = 0; l + 1 < starts.size(); ++l)
            orderLayer(
                scratch.data() + starts[l], scratch.data() + starts[l + 1], scoresInLayer[l] == 1, length);
        candidates.swap(scratch);
    }
    items.resize(n);
    for (std::size_t i = 0; i < n; ++i)
        items[i] = candidates[i].item;
}

void MatchRanking::orderLayer(Candidate* begin, Candidate* end, bool singleScore, std::size_t length)
{
    if (!singleScore) {
        MergeSort::sortPositioned(
            begin, static_cast<std::size_t>(end - begin), length,
            [](const Candidate& c) { return c.position; },
            [](const Candidate& a, const Candidate& b) { return compare(a, b); });
        return;
    }
    // One score: the earlier name always wins and equal names tie, so the order is by name and
    // then by position. An index in name order arrives sorted already.
    const auto byNameThenPosition = [](const Candidate& a, const Candidate& b) {
        return a.rank != b.rank ? a.rank < b.rank : a.position < b.position;
    };
    if (!std::is_sorted(begin, end, byNameThenPosition))
        std::sort(begin, end, byNameThenPosition);
}

} // namespace quorvel
