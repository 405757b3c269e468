#include "platform/core/Clock.h"

#include <atomic>
#include <chrono>
#include <cmath>

namespace quorvel {

namespace {
// NaN means "no fixed time"; an atomic double keeps the scanning thread's reads safe.
std::atomic<double> fixedTime { std::nan("") };
} // namespace

double Clock::absoluteTime()
{
    const double fixed = fixedTime.load();
    if (!std::isnan(fixed))
        return fixed;
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration<double>(sinceEpoch).count() - referenceDateOffset;
}

QDateTime Clock::currentDateTime()
{
    return dateTimeFromAbsoluteTime(absoluteTime()).toLocalTime();
}

double Clock::absoluteTimeFromDateTime(const QDateTime& dateTime)
{
    return static_cast<double>(dateTime.toMSecsSinceEpoch()) / 1000.0 - referenceDateOffset;
}

QDateTime Clock::dateTimeFromAbsoluteTime(double absoluteTime)
{
    const auto msecs = static_cast<qint64>(std::llround((absoluteTime + referenceDateOffset) * 1000.0));
    return QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC);
}

void Clock::setFixedTime(std::optional<double> absoluteTime)
{
    fixedTime.store(absoluteTime ? *absoluteTime : std::nan(""));
}

} // namespace quorvel
