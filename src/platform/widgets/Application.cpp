#include "platform/widgets/Application.h"

#include "platform/core/Log.h"
#include "platform/core/PlatformLog.h"
#include "platform/core/QuitSignals.h"
#include "platform/widgets/SingleInstance.h"
#include "platform/widgets/WindowActivation.h"
#include "platform/widgets/X11FocusWatcher.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <utility>

namespace quorvel {

namespace {

const char canHideProperty[] = "quorvelCanHide";

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
    // The focus moving to one of the windows confirms an activation as the "active" report does:
    // the application may have been active all along, and then that report never comes.
    connect(qApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow* window) {
        if (window && active && window->isVisible())
            decision.focusConfirmed();
    });
    watchTheWindowSystem();
    installSignalHandlers();
}

void Application::watchTheWindowSystem()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    focusWatcher
        = std::make_unique<X11FocusWatcher>([this](xcb_window_t window) { return isOurWindow(window); });
    if (!focusWatcher->isWatching()) {
        focusWatcher.reset();
        return;
    }
    connect(focusWatcher.get(), &X11FocusWatcher::requestReached, this,
        [this] { decision.requestReachedWindowSystem(); });
    connect(focusWatcher.get(), &X11FocusWatcher::windowManagerAnswered, this,
        [this] { decision.windowManagerAnswered(); });
    connect(focusWatcher.get(), &X11FocusWatcher::activeWindowNamed, this, [this](FocusFacts::Holder named) {
        follow(
            decision.activeWindowNamed(named, focusFacts()), "the window manager changed the active window");
    });
    // A mapping is part of every summoning: asking again then is routine, not worth a line.
    connect(
        focusWatcher.get(), &X11FocusWatcher::windowSystemChanged, this, [this](bool windowManagerChanged) {
            follow(decision.windowSystemChanged(focusFacts()),
                windowManagerChanged ? "a window manager appeared" : nullptr);
        });
    connect(focusWatcher.get(), &X11FocusWatcher::mappingMayBeLost, this, [this] {
        if (decision.wanted() && wantedWindow && wantedWindow->isVisible())
            focusWatcher->mapIfNobodyTookIt(static_cast<xcb_window_t>(wantedWindow->winId()));
    });
}

Application::~Application() = default;

void Application::installSignalHandlers()
{
    quitSignals = std::make_unique<QuitSignals>([this](int signalNumber) { handleSignal(signalNumber); });
    // The session waits about a second for a program it asks to end; one that is busy or waits
    // for something on the way out is ended all the same.
    quitSignals->endProcessWithinGrace();
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
    else
        quitSignals->quitWasRefused();
}

bool Application::becomeSingleInstance(const QString& applicationIdentifier)
{
    if (!singleInstance)
        singleInstance = std::make_unique<SingleInstance>(
            this, [this] { reopen(); }, [this] { Q_EMIT activationRequested(); });
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
// before the last request: requests change the active state at once, and the decision lets a
// report stand only where the window system shows that it came after the request.
void Application::applicationStateChanged(Qt::ApplicationState state)
{
    if (state == Qt::ApplicationActive) {
        // An "active" queued before the last window went (hidden, or ordered out) would bring
        // the application back with nothing the user did.
        if (!hasVisibleWindows())
            return;
        if (!active)
            becomeActive();
        decision.focusConfirmed();
        return;
    }
    if (active)
        follow(decision.focusLost(focusFacts()), "the focus went elsewhere");
}

void Application::becomeActive()
{
    decision.requested();
    if (focusWatcher)
        focusWatcher->markRequest();
    setActive(true);
}

void Application::resignActive()
{
    decision.withdrawn();
    setActive(false);
}

void Application::follow(ActivationDecision::Verdict verdict, const char* why)
{
    if (verdict == ActivationDecision::Verdict::Resign) {
        Log::line(
            platformLog(), QStringLiteral("No longer the active application: %1").arg(QLatin1String(why)));
        setActive(false);
    } else if (verdict == ActivationDecision::Verdict::AskAgain) {
        if (why)
            Log::line(
                platformLog(), QStringLiteral("Asking for the focus again: %1").arg(QLatin1String(why)));
        askForTheFocusAgain();
    }
}

void Application::askForTheFocusAgain()
{
    QWidget* window = wantedWindow && wantedWindow->isVisible() ? wantedWindow.data() : windowToActivate();
    if (!window)
        return;
    if (focusWatcher)
        focusWatcher->mapIfNobodyTookIt(static_cast<xcb_window_t>(window->winId()));
    requestTheFocus(window);
}

void Application::requestTheFocus(QWidget* window)
{
    if (!focusWatcher) {
        WindowActivation::bringToFront(window);
        return;
    }
    const unsigned time = focusWatcher->freshUserTime(static_cast<xcb_window_t>(window->winId()));
    WindowActivation::bringToFront(window, focusWatcher->requestConnection(), time);
}

FocusFacts Application::focusFacts()
{
    FocusFacts facts;
    facts.windowsVisible = hasVisibleWindows();
    if (!focusWatcher)
        return facts;
    facts.observed = true;
    facts.inputFocus = focusWatcher->inputFocus();
    facts.windowManagerRuns = focusWatcher->windowManagerRuns();
    return facts;
}

// Asked of the X server: the toolkit's own idea of the focus may not have caught up with a hiding
// yet, and a loss reported after it would then count as a loss after the request. Elsewhere a
// confirmation has to come from a report.
bool Application::holdsTheFocus(QWidget* window)
{
    return focusWatcher && window->isVisible() && focusWatcher->inputFocus() == FocusFacts::Holder::Ours;
}

bool Application::isOurWindow(unsigned windowId) const
{
    // Only windows that have a native window already: winId() would create one.
    for (QWindow* window : QGuiApplication::allWindows())
        if (window->handle() && window->winId() == windowId)
            return true;
    return false;
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
    becomeActive();
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
    resignActive();
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
    wantedWindow = window;
    if (focusWatcher)
        focusWatcher->watchWindow(static_cast<xcb_window_t>(window->winId()));
    decision.requested(holdsTheFocus(window));
    requestTheFocus(window);
    if (focusWatcher)
        focusWatcher->markRequest();
    // The front process is the active application: the delegate hears of it now, not when (or
    // whether) the window system's report comes.
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
