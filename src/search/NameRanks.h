#pragma once
// Each item's place in the case-insensitive order of a table's names, in one of two forms. Any
// table can hold a number per item. A table whose items come in name order, as the scanner
// writes every index, holds one bit per item instead: set where the item's place is one past the
// item before's (its name is a new one), clear where the two share a place. A place is then the
// count of set bits up to the item, found from a running count kept per 64 items: a million
// items cost 190 KB rather than 4 MB.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>

namespace quorvel {

class NameRanks final {
public:
    NameRanks() = default;
    // A number per item.
    static NameRanks ofNumbers(std::span<const std::uint32_t> numbers);
    // A bit per item in words (wordsFor(count) of them) and the set bits before each word in bases.
    static NameRanks ofSteps(const std::uint64_t* words, const std::uint32_t* bases, std::size_t count);

    std::uint32_t operator[](std::size_t i) const
    {
        if (numbers)
            return numbers[i];
        const std::size_t word = i >> 6;
        return bases[word]
            + static_cast<std::uint32_t>(std::popcount(words[word] & (~0ull >> (63 - (i & 63)))));
    }
    std::size_t size() const { return count; }
    // Whether no place is lower than the one before: always so for the bit form.
    bool ascending() const;

    static std::size_t wordsFor(std::size_t count) { return (count + 63) / 64; }
    // Whether numbers can take the bit form: they begin at 0 and each is the one before or one more.
    static bool fitSteps(std::span<const std::uint32_t> numbers);
    // The bit form of such numbers, into wordsFor(numbers.size()) words and as many bases.
    static void packSteps(std::span<const std::uint32_t> numbers, std::uint64_t* words, std::uint32_t* bases);
    // Whether the bit form read from a file is whole: bases that count the bits before them, no
    // bit for the first item or past the last, so that every place lies below count.
    static bool stepsHold(const std::uint64_t* words, const std::uint32_t* bases, std::size_t count);

private:
    const std::uint32_t* numbers = nullptr;
    const std::uint64_t* words = nullptr;
    const std::uint32_t* bases = nullptr;
    std::size_t count = 0;
};

} // namespace quorvel
