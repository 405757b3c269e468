#include "platform/desktop/Task.h"

#include "platform/core/Log.h"
#include "platform/core/PlatformLog.h"

#include <QProcess>

#include <atomic>

#include <sys/stat.h>

namespace quorvel {

namespace {

std::atomic<Task*> replacement { nullptr };

// Group and others never get write permission on what a child creates.
constexpr mode_t noWriteByGroupOrOthers = S_IWGRP | S_IWOTH;

} // namespace

Task& Task::sharedRunner()
{
    static Task real;
    if (Task* runner = replacement.load())
        return *runner;
    return real;
}

void Task::setSharedRunner(Task* runner)
{
    replacement.store(runner);
}

int Task::launchAndWait(const QString& launchPath, const QStringList& arguments)
{
    QProcess process;
    process.setProgram(launchPath);
    process.setArguments(arguments);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setChildProcessModifier([] {
        // Only async-signal-safe calls here: this runs in the child between fork and exec.
        const mode_t mask = ::umask(0);
        ::umask(mask | noWriteByGroupOrOthers);
    });
    process.start();
    if (!process.waitForStarted(-1)) {
        Log::line(
            platformLog(), QStringLiteral("Could not run %1: %2").arg(launchPath, process.errorString()));
        return failedStatus;
    }
    process.waitForFinished(-1);
    if (process.exitStatus() != QProcess::NormalExit) {
        Log::line(platformLog(), QStringLiteral("%1 ended abnormally").arg(launchPath));
        return failedStatus;
    }
    return process.exitCode();
}

} // namespace quorvel
