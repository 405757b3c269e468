#pragma once
// The launch times of one launched path, oldest first, as absolute times: a view of times that
// the history keeps elsewhere (its image, or a launch recorded since), never their owner. Valid
// while the history it came from is unchanged.

#include <algorithm>
#include <cstddef>
#include <vector>

namespace quorvel {

class LaunchTimes final {
public:
    using value_type = double;
    using iterator = const double*;
    using const_iterator = const double*;

    LaunchTimes() = default;
    LaunchTimes(const double* first, std::size_t count)
        : first(first)
        , count(count)
    {
    }
    explicit LaunchTimes(const std::vector<double>& times)
        : LaunchTimes(times.data(), times.size())
    {
    }

    const double* begin() const { return first; }
    const double* end() const { return first + count; }
    std::size_t size() const { return count; }
    bool empty() const { return count == 0; }
    double operator[](std::size_t i) const { return first[i]; }
    double back() const { return first[count - 1]; }

    friend bool operator==(const LaunchTimes& a, const LaunchTimes& b)
    {
        return std::equal(a.begin(), a.end(), b.begin(), b.end());
    }
    friend bool operator==(const LaunchTimes& a, const std::vector<double>& b)
    {
        return std::equal(a.begin(), a.end(), b.begin(), b.end());
    }

private:
    const double* first = nullptr;
    std::size_t count = 0;
};

} // namespace quorvel
