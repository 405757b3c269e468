#include "platform/core/SystemInfo.h"

#include <atomic>

namespace quorvel {

namespace {

// The start-up check guards against systems that lack what the launcher needs. Every Linux
// desktop this builds on (Qt 6, GIO, a session bus) provides it, so the platform reports a
// fixed version comfortably above the minimum (0x1030, 10.3.0): 0x1040 is the next release
// line, not a claim about any real system, and it keeps the answer in the same BCD form.
constexpr std::uint32_t linuxDesktopVersion = 0x1040;

// Zero means "no test version"; 0 is never a valid BCD system version.
std::atomic<std::uint32_t> injectedVersion { 0 };

} // namespace

std::uint32_t SystemInfo::systemVersion()
{
    const std::uint32_t injected = injectedVersion.load();
    return injected != 0 ? injected : linuxDesktopVersion;
}

void SystemInfo::setSystemVersionForTesting(std::optional<std::uint32_t> version)
{
    injectedVersion.store(version.value_or(0));
}

} // namespace quorvel
