#include "platform/Application.h"

#include "platform/Log.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVirtualObject>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace quorvel {

namespace {

const char canHideProperty[] = "quorvelCanHide";

QString reopenInterface()
{
    return QStringLiteral("org.quorvel.Application");
}

// "org.quorvel.launcher" -> "/org/quorvel/launcher"; characters an object path cannot hold
// become underscores.
QString reopenObjectPath(const QString& identifier)
{
    QString path = QStringLiteral("/");
    for (const QChar c : identifier) {
        if (c == QLatin1Char('.'))
            path += QLatin1Char('/');
        else if (c.isLetterOrNumber() && c.unicode() < 128)
            path += c;
        else
            path += QLatin1Char('_');
    }
    return path;
}

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

// ---- Front process on X11: ask the window manager as a pager would (source indication 2), so
// that focus-stealing prevention lets a request without fresh user input through.

xcb_atom_t internAtom(xcb_connection_t* connection, const char* name)
{
    const xcb_intern_atom_cookie_t cookie
        = xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    if (!reply)
        return XCB_ATOM_NONE;
    const xcb_atom_t atom = reply->atom;
    std::free(reply);
    return atom;
}

void requestActiveWindowFromWindowManager(QWidget* window)
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const xcb_atom_t activeWindow = internAtom(connection, "_NET_ACTIVE_WINDOW");
    if (!screen || activeWindow == XCB_ATOM_NONE)
        return;

    xcb_client_message_event_t event {};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = static_cast<xcb_window_t>(window->winId());
    event.type = activeWindow;
    event.data.data32[0] = 2; // source indication: pager
    event.data.data32[1] = XCB_CURRENT_TIME;
    event.data.data32[2] = XCB_NONE;
    xcb_send_event(connection, 0, screen->root,
        XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
        reinterpret_cast<const char*>(&event));
    xcb_flush(connection);
}

} // namespace

// The object a running instance exports on the bus; a second start calls its Reopen method.
class Application::ReopenObject final : public QDBusVirtualObject {
public:
    explicit ReopenObject(Application& application)
        : application(application)
    {
    }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (message.member() != QLatin1String("Reopen")
            || (!message.interface().isEmpty() && message.interface() != reopenInterface()))
            return false; // the bus library answers "unknown method"
        connection.send(message.createReply());
        // Answer the caller first: the delegate may show a modal alert before it returns.
        QMetaObject::invokeMethod(
            &application, [this] { application.reopen(); }, Qt::QueuedConnection);
        return true;
    }

    QString introspect(const QString&) const override
    {
        return QStringLiteral("<interface name=\"%1\"><method name=\"Reopen\"/></interface>")
            .arg(reopenInterface());
    }

private:
    Application& application;
};

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
    if (applicationIdentifier == singleInstanceIdentifier)
        return true; // this process already is that instance
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return true; // no bus: nobody to ask, run alone

    const QString path = reopenObjectPath(applicationIdentifier);
    auto object = std::make_unique<ReopenObject>(*this);
    const bool exported = bus.registerVirtualObject(path, object.get());

    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply
        = bus.interface()->registerService(applicationIdentifier, QDBusConnectionInterface::DontQueueService,
            QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid()) {
        Log::line(QStringLiteral("Could not claim the bus name %1: %2")
                      .arg(applicationIdentifier, reply.error().message()));
        if (exported)
            bus.unregisterObject(path);
        return true;
    }
    if (reply.value() == QDBusConnectionInterface::ServiceRegistered) {
        singleInstanceIdentifier = applicationIdentifier;
        if (exported)
            reopenObject = std::move(object);
        return true;
    }

    // Another instance owns the name: ask it to come forward; this process then exits.
    if (exported)
        bus.unregisterObject(path);
    const QDBusMessage call = QDBusMessage::createMethodCall(
        applicationIdentifier, path, reopenInterface(), QStringLiteral("Reopen"));
    const QDBusMessage answer = bus.call(call, QDBus::Block, 5000);
    if (answer.type() == QDBusMessage::ErrorMessage)
        Log::line(QStringLiteral("The running instance did not answer: %1").arg(answer.errorMessage()));
    return false;
}

void Application::releaseSingleInstance()
{
    if (singleInstanceIdentifier.isEmpty())
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (reopenObject) {
        bus.unregisterObject(reopenObjectPath(singleInstanceIdentifier));
        reopenObject.reset();
    }
    if (bus.interface())
        bus.interface()->unregisterService(singleInstanceIdentifier);
    singleInstanceIdentifier.clear();
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

void Application::applicationStateChanged(Qt::ApplicationState state)
{
    // Qt reports state changes from its event queue: an "active" that was queued before hide()
    // would otherwise bring a hidden application back with nothing the user did.
    if (state == Qt::ApplicationActive && hidden && !hasVisibleWindows())
        return;
    setActive(state == Qt::ApplicationActive);
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
    if (window)
        bringWindowToFront(window);
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
    setActive(false);
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
    window->raise();
    window->activateWindow();
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("xcb")) {
        requestActiveWindowFromWindowManager(window);
        return;
    }
    // On Wayland Qt asks the compositor through xdg-activation with the token it holds (the
    // one it was started with, or the last input serial); the compositor may still refuse.
    if (platform.startsWith(QLatin1String("wayland")))
        if (QWindow* handle = window->windowHandle())
            handle->requestActivate();
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
