#include "platform/core/QuitSignals.h"

#include "platform/core/Log.h"
#include "platform/core/PlatformLog.h"

#include <QSocketNotifier>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <unistd.h>
#include <utility>

namespace quorvel {

namespace {

constexpr int caughtSignals[] = { SIGTERM, SIGINT, SIGHUP };

// The write ends of the pipes of the instance that has the signals now (the event loop's and the
// watchdog's); -1 when none has.
std::atomic<int> signalWriteEnd { -1 };
std::atomic<int> watchdogWriteEnd { -1 };

// The bytes that tell the watchdog its instance ends, or the program refused the quit; no signal
// has either number.
constexpr char instanceEnds = 0;
constexpr char quitRefused = 127;

void writeByte(int end, char byte)
{
    if (end >= 0) {
        [[maybe_unused]] const ssize_t written = ::write(end, &byte, 1);
    }
}

// Only async-signal-safe work here: one byte, the signal's number, into each pipe.
extern "C" void writeSignalNumber(int signalNumber)
{
    const int savedErrno = errno;
    writeByte(signalWriteEnd.load(), static_cast<char>(signalNumber));
    writeByte(watchdogWriteEnd.load(), static_cast<char>(signalNumber));
    errno = savedErrno;
}

// Ends the process as the signal does when nothing handles it.
[[noreturn]] void endAsTheSignalWould(int signalNumber)
{
    Log::line(platformLog(),
        QStringLiteral("Still running %1 ms after %2: ending at once")
            .arg(QuitSignals::graceMilliseconds)
            .arg(QString::fromLatin1(QuitSignals::nameOf(signalNumber))));
    std::signal(signalNumber, SIG_DFL);
    ::kill(::getpid(), signalNumber);
    ::_exit(128 + signalNumber); // only should the signal be blocked everywhere
}

// The next byte of the watchdog's pipe, waiting for at most timeout milliseconds of the clock
// (-1: without limit); nullopt when none came in time. A pipe that fails reads as the end.
std::optional<char> nextByte(int readEnd, int timeout)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd watched { readEnd, POLLIN, 0 };
        const int ready
            = ::poll(&watched, 1, timeout < 0 ? -1 : int(std::max<std::int64_t>(left.count(), 0)));
        if (ready == 0)
            return std::nullopt;
        if (ready < 0 && errno == EINTR)
            continue;
        char byte = instanceEnds;
        const ssize_t count = ready > 0 ? ::read(readEnd, &byte, 1) : -1;
        if (count < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        return count == 1 ? byte : instanceEnds;
    }
}

// Whether the grace after a signal ran out: false when, before it did, the instance ended or the
// program refused to quit. Further signals change nothing: a burst is one request.
bool graceRanOut(int readEnd)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline
        = Clock::now() + std::chrono::milliseconds(QuitSignals::graceMilliseconds);
    for (Clock::time_point now = Clock::now(); now < deadline; now = Clock::now()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
        const std::optional<char> next = nextByte(readEnd, int(left) + 1);
        if (next && (*next == instanceEnds || *next == quitRefused))
            return false;
    }
    return true;
}

// The watchdog: after a signal, the program has the grace to end; once it is over the process
// ends as the signal ends it without a handler.
void watchOverTheEnd(int readEnd)
{
    for (;;) {
        const std::optional<char> first = nextByte(readEnd, -1);
        if (!first || *first == instanceEnds)
            return;
        if (*first != quitRefused && graceRanOut(readEnd))
            endAsTheSignalWould(*first);
    }
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
    // The signals are this instance's alone now: an outer instance's watchdog must not hear them.
    previousWatchdogEnd = watchdogWriteEnd.exchange(-1);

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
    watchdogWriteEnd.store(previousWatchdogEnd);
    if (watchdog.joinable()) {
        writeByte(watchdogEnds[1], instanceEnds);
        watchdog.join();
        ::close(watchdogEnds[0]);
        ::close(watchdogEnds[1]);
    }
    notifier.reset();
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
}

void QuitSignals::quitWasRefused()
{
    if (watchdog.joinable())
        writeByte(watchdogEnds[1], quitRefused);
}

void QuitSignals::endProcessWithinGrace()
{
    if (!notifier || watchdog.joinable() || ::pipe2(watchdogEnds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    watchdog = std::thread(watchOverTheEnd, watchdogEnds[0]);
    watchdogWriteEnd.store(watchdogEnds[1]);
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
