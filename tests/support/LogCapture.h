#pragma once
// Collects what the system logs while it lives (from any thread), instead of standard error.

#include <QString>
#include <QStringList>

namespace quorvel::test {

class LogCapture final {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    QStringList lines() const;
    int count(const QString& line) const { return static_cast<int>(lines().count(line)); }
    // Lines that contain text.
    QStringList linesContaining(const QString& text) const { return lines().filter(text); }
};

} // namespace quorvel::test
