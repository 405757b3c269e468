#include "platform/desktop/Task.h"

#include "platform/core/Log.h"
#include "platform/core/PlatformLog.h"
#include "platform/core/ReplaceableInstance.h"

#include <QProcess>

#include <sys/stat.h>

namespace quorvel {

namespace {

ReplaceableInstance<Task> shared;

// Group and others never get write permission on what a child creates.
constexpr mode_t noWriteByGroupOrOthers = S_IWGRP | S_IWOTH;

} // namespace

Task& Task::sharedRunner()
{
    return shared.get();
}

void Task::setSharedRunner(Task* runner)
{
    shared.replace(runner);
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
