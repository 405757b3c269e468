#include "platform/widgets/Application.h"

#include "platform/core/Log.h"
#include "platform/core/PlatformLog.h"
#include "platform/core/QuitSignals.h"
#include "platform/widgets/SingleInstance.h"
#include "platform/widgets/WindowActivation.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <utility>

namespace quorvel {

namespace {

const char canHideProperty[] = "quorvelCanHide";

// How long a report of lost focus waits for the confirmation of an activation requested before it
// arrived: long enough for a window manager under load to answer, short enough that a focus lost
// while the window manager refused the activation still takes effect promptly.
constexpr qint64 activationReportGraceMilliseconds = 400;

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
    quitSignals = std::make_unique<QuitSignals>([this](int signalNumber) { handleSignal(signalNumber); });
    if (!quitSignals->isCatching())
        Log::line(platformLog(),
            QStringLiteral("Could not create the signal pipe: quit signals end the process at once"));
}

void Application::handleSignal(int signalNumber)
{
    Log::line(platformLog(),
        QStringLiteral("Received %1: quitting").arg(QString::fromLatin1(QuitSignals::nameOf(signalNumber))));
    terminate();
    // Once a quit is under way, a second signal ends the process at once (a hung save must not
    // make the launcher unkillable by Ctrl+C).
    if (terminating)
        quitSignals->endProcessOnNextSignal();
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
    if (!currentDelegate) {
        unhide();
        activateIgnoringOtherApps(true);
        return;
    }
    currentDelegate->applicationShouldHandleReopen(hasVisibleWindows());
}

int Application::run()
{
    if (!terminating && currentDelegate)
        currentDelegate->applicationWillFinishLaunching();
    if (terminating) {
        terminating = false;
        return 0;
    }
    QTimer::singleShot(0, this, [this] {
        if (currentDelegate && !terminating)
            currentDelegate->applicationDidFinishLaunching();
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
        if (currentDelegate)
            currentDelegate->applicationDidBecomeActive();
        Q_EMIT didBecomeActive();
    } else {
        if (currentDelegate)
            currentDelegate->applicationDidResignActive();
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
    if (currentDelegate && !currentDelegate->applicationShouldTerminate())
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
