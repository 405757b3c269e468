#pragma once
// The system version that the start-up check compares, as binary-coded decimal
// (10.3.0 is 0x1030). Tests inject other versions.

#include <cstdint>
#include <optional>

namespace quorvel {

class SystemInfo final {
public:
    // The version this platform reports; the Linux desktop always meets the launcher's minimum.
    static std::uint32_t systemVersion();
    static void setSystemVersionForTesting(std::optional<std::uint32_t> version);
};

} // namespace quorvel
