#include "platform/core/Log.h"

#include <QLoggingCategory>

#include <atomic>
#include <cstdio>

namespace quorvel {

namespace {
std::atomic<Log::Sink> currentSink { nullptr };
}

void Log::line(const QString& message)
{
    QString text = message;
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    if (Sink sink = currentSink.load()) {
        sink(text);
        return;
    }
    // One fputs per line so that lines of two threads never interleave.
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fputs(bytes.constData(), stderr);
}

void Log::line(const QLoggingCategory& category, const QString& message)
{
    if (category.isInfoEnabled())
        line(message);
}

void Log::debug(const QLoggingCategory& category, const QString& message)
{
    if (category.isDebugEnabled())
        line(QString::fromLatin1(category.categoryName()) + QStringLiteral(": ") + message);
}

void Log::failure(const QString& description, const char* operation, const char* sourceFile)
{
    line(QStringLiteral("%1 (in %2, %3)")
             .arg(description, QString::fromUtf8(operation), QString::fromUtf8(sourceFile)));
}

void Log::setSink(Sink sink)
{
    currentSink.store(sink);
}

} // namespace quorvel
