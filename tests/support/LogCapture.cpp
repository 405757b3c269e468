#include "support/LogCapture.h"

#include "platform/core/Log.h"

#include <mutex>

namespace quorvel::test {

namespace {

std::mutex capturedLock;
QStringList captured;

void capture(const QString& line)
{
    const std::lock_guard<std::mutex> guard(capturedLock);
    captured.append(line);
}

} // namespace

LogCapture::LogCapture()
{
    {
        const std::lock_guard<std::mutex> guard(capturedLock);
        captured.clear();
    }
    Log::setSink(capture);
}

LogCapture::~LogCapture()
{
    Log::setSink(nullptr);
}

QStringList LogCapture::lines() const
{
    const std::lock_guard<std::mutex> guard(capturedLock);
    return captured;
}

} // namespace quorvel::test
