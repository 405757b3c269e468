#pragma once
// Orders the matches of one search exactly as the merge sort with the usage comparison does,
// without its cost on a million items. Each match is reduced once to its score, its score with
// the alphabetical bonus and its place in the name order, so a comparison is a few float tests.
// Then the sorted distinct scores are cut wherever two neighbours lie further apart than the
// bonus can bridge: across such a cut the comparison is decided by the scores alone, whatever
// the names, so the sort keeps the layers apart and orders each layer as if it were alone.
// A layer of one score is ordered by name (the comparison is consistent there, so any stable
// order by name is the merge sort's); a layer of close scores gets the merge sort itself,
// restricted to its members at their original places.

#include <cstdint>
#include <vector>

namespace quorvel {

class MatchRanking final {
public:
    struct Candidate {
        float score = 0; // usage score plus natural score
        float boosted = 0; // score with the alphabetical bonus
        std::uint32_t rank = 0; // place of the name in the case-insensitive order
        std::uint32_t item = 0; // index into the list's items
        std::uint32_t position = 0; // index among the matches before sorting
        std::uint32_t layer = 0; // worked out by order
    };

    static Candidate candidate(float score, std::uint32_t rank, std::uint32_t item, std::uint32_t position);

    // The usage comparison on reduced matches: < 0 when a comes first.
    static int compare(const Candidate& a, const Candidate& b)
    {
        float scoreA = a.score, scoreB = b.score;
        if (a.rank < b.rank)
            scoreA = a.boosted;
        else if (b.rank < a.rank)
            scoreB = b.boosted;
        return scoreA > scoreB ? -1 : (scoreB > scoreA ? 1 : 0);
    }

    // Candidates in position order, position i at index i; answers the items in ranked order.
    static std::vector<std::uint32_t> order(std::vector<Candidate> candidates);
    // The same into `items`; the candidates are left in ranked order and `scratch` is used for
    // grouping. The vectors keep their memory from one search to the next. The candidates may be
    // some of `length` matches only (positions below length, ascending) whose scores the others'
    // do not come within the bonus of: they are ordered as among all of them.
    static void order(std::vector<Candidate>& candidates, std::vector<Candidate>& scratch,
        std::vector<std::uint32_t>& items, std::size_t length);
    // Whether two scores lie in one layer: close enough for the bonus to turn their order.
    static bool withinReach(float lower, float higher);

private:
    static void orderLayer(Candidate* begin, Candidate* end, bool singleScore, std::size_t length);
};

} // namespace quorvel
