#include "search/NameRanks.h"

#include <algorithm>

namespace quorvel {

NameRanks NameRanks::ofNumbers(std::span<const std::uint32_t> numbers)
{
    NameRanks ranks;
    ranks.numbers = numbers.data();
    ranks.count = numbers.size();
    return ranks;
}

NameRanks NameRanks::ofSteps(const std::uint64_t* words, const std::uint32_t* bases, std::size_t count)
{
    NameRanks ranks;
    ranks.words = words;
    ranks.bases = bases;
    ranks.count = count;
    return ranks;
}

bool NameRanks::ascending() const
{
    if (!numbers)
        return true;
    return std::is_sorted(numbers, numbers + count);
}

bool NameRanks::fitSteps(std::span<const std::uint32_t> numbers)
{
    if (!numbers.empty() && numbers[0] != 0)
        return false;
    for (std::size_t i = 1; i < numbers.size(); ++i)
        if (numbers[i] - numbers[i - 1] > 1) // a lower place wraps round to a large difference
            return false;
    return true;
}

void NameRanks::packSteps(std::span<const std::uint32_t> numbers, std::uint64_t* words, std::uint32_t* bases)
{
    std::fill(words, words + wordsFor(numbers.size()), 0);
    for (std::size_t i = 1; i < numbers.size(); ++i)
        if (numbers[i] != numbers[i - 1])
            words[i >> 6] |= std::uint64_t(1) << (i & 63);
    std::uint32_t before = 0;
    for (std::size_t w = 0; w < wordsFor(numbers.size()); ++w) {
        bases[w] = before;
        before += static_cast<std::uint32_t>(std::popcount(words[w]));
    }
}

bool NameRanks::stepsHold(const std::uint64_t* words, const std::uint32_t* bases, std::size_t count)
{
    const std::size_t wordCount = wordsFor(count);
    if (wordCount == 0)
        return true;
    if (words[0] & 1)
        return false;
    if (count % 64 != 0 && (words[wordCount - 1] >> (count % 64)) != 0)
        return false;
    std::uint32_t before = 0;
    for (std::size_t w = 0; w < wordCount; ++w) {
        if (bases[w] != before)
            return false;
        before += static_cast<std::uint32_t>(std::popcount(words[w]));
    }
    return true;
}

} // namespace quorvel
