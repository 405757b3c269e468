#include "platform/core/QuitSignals.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace quorvel {

namespace {

constexpr int caughtSignals[] = { SIGTERM, SIGINT, SIGHUP };

// The write end of the pipe of the instance that has the signals now; -1 when none has.
std::atomic<int> signalWriteEnd { -1 };

// Only async-signal-safe work here: one byte, the signal's number, into the pipe.
extern "C" void writeSignalNumber(int signalNumber)
{
    const int savedErrno = errno;
    const char byte = static_cast<char>(signalNumber);
    if (const int end = signalWriteEnd.load(); end >= 0) {
        [[maybe_unused]] const ssize_t written = ::write(end, &byte, 1);
    }
    errno = savedErrno;
}

} // namespace

QuitSignals::QuitSignals(std::function<void(int signalNumber)> received)
    : received(std::move(received))
{
    if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    notifier = std::make_unique<QSocketNotifier>(pipeEnds[0], QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, notifier.get(), [this] { readSignals(); });
    previousWriteEnd = signalWriteEnd.exchange(pipeEnds[1]);

    struct sigaction action { };
    action.sa_handler = writeSignalNumber;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i)
        ::sigaction(caughtSignals[i], &action, &previousActions[i]);
}

QuitSignals::~QuitSignals()
{
    if (!notifier)
        return;
    for (int i = 0; i < 3; ++i)
        ::sigaction(caughtSignals[i], &previousActions[i], nullptr);
    signalWriteEnd.store(previousWriteEnd);
    notifier.reset();
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
}

void QuitSignals::readSignals()
{
    char bytes[16];
    int last = 0;
    ssize_t count;
    while ((count = ::read(pipeEnds[0], bytes, sizeof bytes)) > 0)
        last = bytes[count - 1];
    if (last != 0)
        received(last);
}

void QuitSignals::endProcessOnNextSignal()
{
    for (int signalNumber : caughtSignals)
        std::signal(signalNumber, SIG_DFL);
}

const char* QuitSignals::nameOf(int signalNumber)
{
    switch (signalNumber) {
    case SIGTERM:
        return "SIGTERM";
    case SIGINT:
        return "SIGINT";
    case SIGHUP:
        return "SIGHUP";
    default:
        return "a signal";
    }
}

} // namespace quorvel
