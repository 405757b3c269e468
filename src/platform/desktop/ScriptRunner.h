#pragma once
// Carries out the few short scripts the system sends to other applications, in the words of the
// platform they were written for:
//   tell application "X" to quit        asks the running processes of this user whose executable
//                                        lies inside a bundle named X.app (X itself when it ends in
//                                        .app or .prefPane) to quit (SIGTERM, by process id; never a
//                                        match on a process name)
//   tell application "X" to activate    the system's settings application and file viewer have
//                                        no counterpart here: logged, nothing to do
//   tell application "X" ... end tell   the same commands as a block
//   delay N                              waits N seconds
// A script with anything else is refused whole, before any of it runs.
// Tests replace the shared runner with a fake that records the scripts.

#include <QString>

namespace quorvel {

class ScriptRunner {
public:
    static ScriptRunner& sharedScriptRunner();
    // Tests: use this runner instead (not owned); nullptr returns to the real one.
    static void setSharedScriptRunner(ScriptRunner* runner);

    virtual ~ScriptRunner() = default;

    // Answers false when the script was not understood (logged; nothing of it ran).
    virtual bool executeSource(const QString& source);
};

} // namespace quorvel
