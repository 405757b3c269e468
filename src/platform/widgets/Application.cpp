#include "platform/widgets/Application.h"

#include "platform/core/Log.h"
#include "platform/widgets/SingleInstance.h"
#include "platform/widgets/WindowActivation.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace quorvel {

namespace {

const char canHideProperty[] = "quorvelCanHide";

// How long a report of lost focus waits for the confirmation of an activation requested before it
// arrived: long enough for a window manager under load to answer, short enough that a focus lost
// while the window manager refused the activation still takes effect promptly.
constexpr qint64 activationReportGraceMilliseconds = 400;

// ---- Signals: the handler only writes the signal number into a pipe; the main thread reads it.

int signalPipe[2] = { -1, -1 };

extern "C" void writeSignalToPipe(int signalNumber)
{
    const int savedErrno = errno;
    const char byte = static_cast<char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
    errno = savedErrno;
}

const char* signalName(int signalNumber)
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

} // namespace

Application& Application::sharedApplication()
{
    Q_ASSERT_X(
        qobject_cast<QApplication*>(QCoreApplication::instance()), "Application", "requires a QApplication");
    // Never destroyed: it outlives the event loop and may be asked for during shutdown.
    static Application* application = new Application;
    return *application;
}

Application::Application()
{
    // A background launcher keeps running with no window on the screen; quitting is always a
    // terminate() that the delegate agrees to, so that settings are saved.
    QApplication::setQuitOnLastWindowClosed(false);
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
        [this](Qt::ApplicationState state) { applicationStateChanged(state); });
    pendingInactiveReport.setSingleShot(true);
    connect(&pendingInactiveReport, &QTimer::timeout, this, [this] { decidePendingInactiveReport(); });
    installSignalHandlers();
}

Application::~Application() = default;

void Application::installSignalHandlers()
{
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        Log::line(QStringLiteral("Could not create the signal pipe: quit signals end the process at once"));
        return;
    }
    signalNotifier = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
    connect(signalNotifier.get(), &QSocketNotifier::activated, this, [this] { handleSignal(); });

    struct sigaction action { };
    action.sa_handler = writeSignalToPipe;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signalNumber : { SIGTERM, SIGINT, SIGHUP })
        ::sigaction(signalNumber, &action, nullptr);
}

void Application::handleSignal()
{
    char bytes[16];
    int last = 0;
    ssize_t count;
    while ((count = ::read(signalPipe[0], bytes, sizeof bytes)) > 0)
        last = bytes[count - 1];
    if (last == 0)
        return;
    Log::line(QStringLiteral("Received %1: quitting").arg(QString::fromLatin1(signalName(last))));
    terminate();
    // Once a quit is under way, a second signal ends the process at once (a hung save must not
    // make the launcher unkillable by Ctrl+C).
    if (terminating)
        for (int signalNumber : { SIGTERM, SIGINT, SIGHUP })
            std::signal(signalNumber, SIG_DFL);
}

bool Application::becomeSingleInstance(const QString& applicationIdentifier)
{
    if (!singleInstance)
        singleInstance = std::make_unique<SingleInstance>(this, [this] { reopen(); });
    return singleInstance->become(applicationIdentifier);
}

void Application::releaseSingleInstance()
{
    if (singleInstance)
        singleInstance->release();
}

void Application::reopen()
{
    if (!delegate_) {
        unhide();
        activateIgnoringOtherApps(true);
        return;
    }
    delegate_->applicationShouldHandleReopen(hasVisibleWindows());
}

int Application::run()
{
    if (!terminating && delegate_)
        delegate_->applicationWillFinishLaunching();
    if (terminating) {
        terminating = false;
        return 0;
    }
    QTimer::singleShot(0, this, [this] {
        if (delegate_ && !terminating)
            delegate_->applicationDidFinishLaunching();
    });
    running = true;
    const int status = QApplication::exec();
    running = false;
    terminating = false;
    return status;
}

bool Application::isActive() const
{
    return active;
}

// Qt reports state changes from its event queue, so a report may describe the window system
// before the last request: requests change the active state at once, and a report stands only
// where no later request contradicts it.
void Application::applicationStateChanged(Qt::ApplicationState state)
{
    if (state == Qt::ApplicationActive) {
        // An "active" queued before hide() would bring a hidden application back with nothing
        // the user did.
        if (hidden && !hasVisibleWindows())
            return;
        forgetPendingReports();
        setActive(true);
        return;
    }
    // An "inactive" that arrives before the window system has confirmed the last activation was
    // most likely queued before it (the panel hidden and brought up again at once): it stands
    // only if the confirmation does not come in time.
    if (active && !activationReportDue.hasExpired()) {
        pendingInactiveReport.start(static_cast<int>(activationReportDue.remainingTime()));
        return;
    }
    setActive(false);
}

void Application::decidePendingInactiveReport()
{
    forgetPendingReports();
    setActive(false);
}

// After a request of this process or a confirmed activation, any report still waiting for a
// decision is out of date.
void Application::forgetPendingReports()
{
    activationReportDue = QDeadlineTimer();
    pendingInactiveReport.stop();
}

// The one place the active state changes: the delegate and the signal hear of each change once.
void Application::setActive(bool nowActive)
{
    if (active == nowActive)
        return;
    active = nowActive;
    if (active) {
        if (delegate_)
            delegate_->applicationDidBecomeActive();
        Q_EMIT didBecomeActive();
    } else {
        if (delegate_)
            delegate_->applicationDidResignActive();
        Q_EMIT didResignActive();
    }
}

QWidget* Application::windowToActivate() const
{
    QWidget* current = QApplication::activeWindow();
    if (current && current->isVisible())
        return current;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->isWindow() && widget->isVisible()
            && !(widget->windowType() == Qt::Popup || widget->windowType() == Qt::ToolTip))
            return widget;
    return nullptr;
}

bool Application::hasVisibleWindows() const
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->isWindow() && widget->isVisible())
            return true;
    return false;
}

void Application::activateIgnoringOtherApps(bool ignoreOtherApps)
{
    QWidget* window = windowToActivate();
    if (!ignoreOtherApps) {
        // A polite request: the desktop decides, and Qt's state reports what it decided.
        if (window) {
            window->raise();
            window->activateWindow();
        }
        return;
    }
    if (window) {
        bringWindowToFront(window);
        return;
    }
    forgetPendingReports();
    setActive(true);
}

void Application::hide()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (!widget->isWindow() || !widget->isVisible() || !canHide(widget))
            continue;
        widget->hide();
        hiddenWindows.append(widget);
    }
    hidden = true;
    forgetPendingReports();
    setActive(false);
    Q_EMIT didHide();
}

void Application::unhide()
{
    const QList<QPointer<QWidget>> windows = std::exchange(hiddenWindows, {});
    for (const QPointer<QWidget>& window : windows)
        if (window)
            window->show();
    hidden = false;
}

void Application::terminate()
{
    if (delegate_ && !delegate_->applicationShouldTerminate())
        return;
    terminating = true;
    if (running)
        QCoreApplication::exit(0);
}

void Application::bringWindowToFront(QWidget* window)
{
    if (!window)
        return;
    WindowActivation::bringToFront(window);
    // The front process is the active application: the delegate hears of it now, not when (or
    // whether) the window system's report comes.
    forgetPendingReports();
    activationReportDue.setRemainingTime(activationReportGraceMilliseconds);
    setActive(true);
}

void Application::beep()
{
    QApplication::beep();
}

void Application::setCanHide(QWidget* window, bool canHide)
{
    if (window)
        window->setProperty(canHideProperty, canHide);
}

bool Application::canHide(const QWidget* window)
{
    const QVariant value = window->property(canHideProperty);
    return !value.isValid() || value.toBool();
}

} // namespace quorvel
