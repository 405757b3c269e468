#pragma once
// The system clock in the platform's absolute time: seconds since 2001-01-01 00:00:00 GMT.
// Tests set a fixed time; the real clock answers otherwise.

#include <QDateTime>
#include <optional>

namespace quorvel {

class Clock final {
public:
    // Seconds since 2001-01-01 00:00:00 GMT, with sub-second precision.
    static double absoluteTime();
    // The same moment as a local date and time.
    static QDateTime currentDateTime();

    static double absoluteTimeFromDateTime(const QDateTime& dateTime);
    static QDateTime dateTimeFromAbsoluteTime(double absoluteTime);

    // Tests: fix the clock at an absolute time; std::nullopt returns to the system clock.
    static void setFixedTime(std::optional<double> absoluteTime);

    // Seconds between the Unix epoch and 2001-01-01 00:00:00 GMT.
    static constexpr double referenceDateOffset = 978307200.0;
};

} // namespace quorvel
