#pragma once
// Child processes run with an argument vector and waited for: "/bin/mkdir", "/bin/cp" and
// "/bin/sh" with a script. Never a command line for a shell to split.
// Tests replace the shared runner with a fake that records what would have run.

#include <QString>
#include <QStringList>

namespace quorvel {

class Task {
public:
    // What a child that could not be started, or that ended by a signal, answers.
    static constexpr int failedStatus = -1;

    static Task& sharedRunner();
    // Tests: use this runner instead (not owned); nullptr returns to the real one.
    static void setSharedRunner(Task* runner);

    virtual ~Task() = default;

    // Runs launchPath with exactly these arguments, waits until it exits and answers its exit
    // status. The child's output goes to our standard error and output; it reads no input.
    // What it creates is never writable by group or others, whatever our file creation mask
    // says: the system's children install code that later runs at login.
    virtual int launchAndWait(const QString& launchPath, const QStringList& arguments);
};

} // namespace quorvel
