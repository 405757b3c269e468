#pragma once
// The application object: activation, hiding, termination with the delegate's should-terminate
// question, reopening (a second start asks the running instance over D-Bus and exits), the
// application's active state, the front process and the beep. SIGTERM, SIGINT and SIGHUP become
// a normal quit request, so settings and history are saved.

#include "platform/widgets/ActivationDecision.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class QWidget;

namespace quorvel {

class QuitSignals;
class SingleInstance;
class X11FocusWatcher;

class ApplicationDelegate {
public:
    virtual ~ApplicationDelegate() = default;
    virtual void applicationWillFinishLaunching() { }
    virtual void applicationDidFinishLaunching() { }
    virtual void applicationDidBecomeActive() { }
    virtual void applicationDidResignActive() { }
    // Answers true to let the application end (NSTerminateNow).
    virtual bool applicationShouldTerminate() { return true; }
    virtual bool applicationShouldHandleReopen(bool /*hasVisibleWindows*/) { return true; }
};

class Application final : public QObject {
    Q_OBJECT
public:
    // The shared instance; requires a QApplication.
    static Application& sharedApplication();

    void setDelegate(ApplicationDelegate* delegate) { currentDelegate = delegate; }
    ApplicationDelegate* delegate() const { return currentDelegate; }

    // Single instance: answers false when another instance of this identifier already runs (it
    // has then been asked to reopen, and this process should exit). Otherwise registers this
    // instance so that later starts reach applicationShouldHandleReopen.
    bool becomeSingleInstance(const QString& applicationIdentifier);
    // Gives the single-instance name up, so that a new process of the application started now
    // becomes the instance even while this one is still ending.
    void releaseSingleInstance();

    // Runs the launch sequence (will / did finish launching) and the event loop. A terminate()
    // accepted before the event loop runs ends run() before the next step of the sequence.
    int run();

    bool isActive() const;
    void activateIgnoringOtherApps(bool ignoreOtherApps);
    // Hides every top-level window that may hide (see setCanHide) and deactivates the
    // application, whatever the window system has reported so far.
    void hide();
    void unhide(); // shows again what hide() hid
    bool isHidden() const { return hidden; }
    // Asks the delegate; when it answers true the event loop ends (or, before it runs, run()
    // returns without starting it).
    void terminate();
    bool terminationRequested() const { return terminating; }
    // Makes the window the active one even when the request came from the background
    // (_NET_ACTIVE_WINDOW with source "pager" on X11, an activation token on Wayland) and the
    // application active at once.
    void bringWindowToFront(QWidget* window);
    void beep();

    // Windows marked with this are not hidden by hide().
    static void setCanHide(QWidget* window, bool canHide);
    static bool canHide(const QWidget* window);

Q_SIGNALS:
    // Emitted after the delegate's applicationDidBecomeActive / applicationDidResignActive.
    void didBecomeActive();
    void didResignActive();
    // Emitted at the end of every hide(), also when the application was not active.
    void didHide();
    // Someone called the single instance's org.freedesktop.Application.Activate (the desktop,
    // the hot-key program), perhaps after the bus started this process for it.
    void activationRequested();

private:
    Application();
    ~Application() override;
    void installSignalHandlers();
    void handleSignal(int signalNumber);
    void applicationStateChanged(Qt::ApplicationState state);
    void watchTheWindowSystem();
    void becomeActive();
    void resignActive();
    void setActive(bool nowActive);
    void follow(ActivationDecision::Verdict verdict, const char* why);
    void askForTheFocusAgain();
    void requestTheFocus(QWidget* window);
    FocusFacts focusFacts();
    bool holdsTheFocus(QWidget* window);
    bool isOurWindow(unsigned windowId) const;
    QWidget* windowToActivate() const;
    bool hasVisibleWindows() const;
    void reopen();

    ApplicationDelegate* currentDelegate = nullptr;
    bool hidden = false;
    bool active = false;
    bool running = false;
    bool terminating = false;
    QList<QPointer<QWidget>> hiddenWindows;
    std::unique_ptr<QuitSignals> quitSignals;
    std::unique_ptr<SingleInstance> singleInstance;
    // Whether the reports of the window system let the last request stand.
    ActivationDecision decision;
    std::unique_ptr<X11FocusWatcher> focusWatcher;
    // The window the last request brought to the front: asked for again while the request holds.
    QPointer<QWidget> wantedWindow;
};

} // namespace quorvel
