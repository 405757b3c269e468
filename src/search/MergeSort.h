#pragma once
// A stable top-down merge sort for comparisons that need not be consistent: the ranking's
// comparison is not transitive, which std::sort does not tolerate (it may run out of bounds).
// Whatever the comparison answers, every access stays inside the range and the sort ends after
// O(n log n) comparisons. compare(a, b) answers < 0 when a must come first.
//
// The sort is written over elements that carry their position in a whole array of `length`
// elements and are ordered by it. Sorting all of them sorts the whole array; sorting only some
// of them does exactly the comparisons the whole sort would make among those, in the same order,
// which gives the same result for them whenever no comparison with the others could place any
// of them differently (see MatchRanking).

#include <cstddef>
#include <utility>
#include <vector>

namespace quorvel {

class MergeSort final {
public:
    // Runs this short are sorted by straight insertion.
    static constexpr std::size_t insertionLength = 12;

    // Sorts elements[0, count), whose positions (position(element)) lie in [0, length) and
    // ascend, as the whole sort of [0, length) would sort them.
    template <typename T, typename Position, typename Compare>
    static void sortPositioned(
        T* elements, std::size_t count, std::size_t length, Position position, Compare compare)
    {
        std::vector<T> buffer(count);
        sortRange(elements, buffer.data(), count, 0, length, position, compare);
    }

    // The plain form: sorts a whole vector.
    template <typename T, typename Compare> static void sort(std::vector<T>& elements, Compare compare)
    {
        std::vector<std::pair<std::size_t, T>> positioned;
        positioned.reserve(elements.size());
        for (std::size_t i = 0; i < elements.size(); ++i)
            positioned.emplace_back(i, std::move(elements[i]));
        sortPositioned(
            positioned.data(), positioned.size(), positioned.size(), [](const auto& e) { return e.first; },
            [&compare](const auto& a, const auto& b) { return compare(a.second, b.second); });
        for (std::size_t i = 0; i < elements.size(); ++i)
            elements[i] = std::move(positioned[i].second);
    }

private:
    template <typename T, typename Position, typename Compare>
    static void sortRange(T* elements, T* buffer, std::size_t count, std::size_t low, std::size_t high,
        Position position, Compare compare)
    {
        if (count < 2)
            return;
        if (high - low <= insertionLength) {
            insertionSort(elements, count, compare);
            return;
        }
        const std::size_t middle = low + (high - low) / 2;
        std::size_t split = 0;
        while (split < count && position(elements[split]) < middle)
            ++split;
        sortRange(elements, buffer, split, low, middle, position, compare);
        sortRange(elements + split, buffer + split, count - split, middle, high, position, compare);
        merge(elements, buffer, split, count, compare);
    }

    template <typename T, typename Compare>
    static void insertionSort(T* elements, std::size_t count, Compare compare)
    {
        for (std::size_t i = 1; i < count; ++i) {
            T moving = std::move(elements[i]);
            std::size_t j = i;
            for (; j > 0 && compare(moving, elements[j - 1]) < 0; --j)
                elements[j] = std::move(elements[j - 1]);
            elements[j] = std::move(moving);
        }
    }

    // Merges [0, split) and [split, count); an element of the right run goes first only when it
    // must (stability).
    template <typename T, typename Compare>
    static void merge(T* elements, T* buffer, std::size_t split, std::size_t count, Compare compare)
    {
        std::size_t left = 0, right = split, out = 0;
        while (left < split && right < count) {
            if (compare(elements[right], elements[left]) < 0)
                buffer[out++] = std::move(elements[right++]);
            else
                buffer[out++] = std::move(elements[left++]);
        }
        while (left < split)
            buffer[out++] = std::move(elements[left++]);
        while (right < count)
            buffer[out++] = std::move(elements[right++]);
        for (std::size_t i = 0; i < count; ++i)
            elements[i] = std::move(buffer[i]);
    }
};

} // namespace quorvel
