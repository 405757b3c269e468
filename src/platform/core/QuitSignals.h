#pragma once
// Turns SIGTERM, SIGINT and SIGHUP into a call on the event loop, so that a program asked to end
// by the session, a terminal or a script ends in order (settings saved, grabs and pid files given
// up). The handler only writes the signal's number into a pipe of this object's; the call comes
// when the event loop reads it. While an instance lives the signals are its own; when it ends,
// they are handled again as before.
//
// An ordered end must not make a program unkillable: once endProcessWithinGrace is called, should
// the event loop be busy, or the quit wait for something that never comes, a watchdog thread ends
// the process the way the signal would have (without a handler) when graceMilliseconds have passed
// since the signal came and the instance is still there, unless the program said in time that it
// refused to quit. Files are written atomically, so an end
// in the middle of a save loses that save, never the file.

#include <csignal>
#include <functional>
#include <memory>
#include <thread>

class QSocketNotifier;

namespace quorvel {

class QuitSignals final {
public:
    // received gets the number of the last signal that arrived since the previous call.
    explicit QuitSignals(std::function<void(int signalNumber)> received);
    ~QuitSignals();
    QuitSignals(const QuitSignals&) = delete;
    QuitSignals& operator=(const QuitSignals&) = delete;

    // False when no pipe could be made: the signals then keep ending the process at once.
    bool isCatching() const { return notifier != nullptr; }
    // From now on the signals end the process at once: once a quit is under way, a second
    // Ctrl+C must not wait for a save that hangs.
    void endProcessOnNextSignal();
    // From now on a quit signal ends the process within the grace (see above), whatever the main
    // thread is doing. Not for a process that may live on after a signal it was sent on purpose.
    void endProcessWithinGrace();
    // The signal's call was answered by staying: the watchdog waits for the next signal.
    void quitWasRefused();

    // "SIGTERM", "SIGINT", "SIGHUP", else "a signal".
    static const char* nameOf(int signalNumber);

    // The time an ordered end gets after the signal: the session expects a program asked to end
    // to be gone within a second.
    static constexpr int graceMilliseconds = 900;

private:
    void readSignals();

    std::function<void(int)> received;
    int pipeEnds[2] = { -1, -1 };
    int previousWriteEnd = -1;
    int watchdogEnds[2] = { -1, -1 };
    int previousWatchdogEnd = -1;
    std::thread watchdog;
    struct sigaction previousActions[3] = {};
    std::unique_ptr<QSocketNotifier> notifier;
};

} // namespace quorvel
