#pragma once
// Turns SIGTERM, SIGINT and SIGHUP into a call on the event loop, so that a program asked to end
// by the session, a terminal or a script ends in order (settings saved, grabs and pid files given
// up). The handler only writes the signal's number into a pipe of this object's; the call comes
// when the event loop reads it. While an instance lives the signals are its own; when it ends,
// they are handled again as before.

#include <csignal>
#include <functional>
#include <memory>

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

    // "SIGTERM", "SIGINT", "SIGHUP", else "a signal".
    static const char* nameOf(int signalNumber);

private:
    void readSignals();

    std::function<void(int)> received;
    int pipeEnds[2] = { -1, -1 };
    int previousWriteEnd = -1;
    struct sigaction previousActions[3] = {};
    std::unique_ptr<QSocketNotifier> notifier;
};

} // namespace quorvel
