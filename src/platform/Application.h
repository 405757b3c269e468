#pragma once
// The application object: activation, hiding, termination with the delegate's should-terminate
// question, reopening (a second start asks the running instance over D-Bus and exits), the
// application's active state, the front process and the beep. SIGTERM, SIGINT and SIGHUP become
// a normal quit request, so settings and history are saved.

#include <QObject>
#include <QString>

class QWidget;

namespace quorvel {

class ApplicationDelegate {
public:
    virtual ~ApplicationDelegate() = default;
    virtual void applicationWillFinishLaunching() {}
    virtual void applicationDidFinishLaunching() {}
    virtual void applicationDidBecomeActive() {}
    virtual void applicationDidResignActive() {}
    // Answers true to let the application end (NSTerminateNow).
    virtual bool applicationShouldTerminate() { return true; }
    virtual bool applicationShouldHandleReopen(bool /*hasVisibleWindows*/) { return true; }
};

class Application final : public QObject {
    Q_OBJECT
public:
    // The shared instance; requires a QApplication.
    static Application& sharedApplication();

    void setDelegate(ApplicationDelegate* delegate) { delegate_ = delegate; }
    ApplicationDelegate* delegate() const { return delegate_; }

    // Single instance: answers false when another instance of this identifier already runs (it
    // has then been asked to reopen, and this process should exit). Otherwise registers this
    // instance so that later starts reach applicationShouldHandleReopen.
    bool becomeSingleInstance(const QString& applicationIdentifier);

    // Runs the launch sequence (will / did finish launching) and the event loop.
    int run();

    bool isActive() const;
    void activateIgnoringOtherApps(bool ignoreOtherApps);
    void hide();   // hides every top-level window that may hide (see setCanHide)
    void unhide(); // shows again what hide() hid
    bool isHidden() const { return hidden; }
    // Asks the delegate; when it answers true the event loop ends.
    void terminate();
    // Makes the window the active one even when the request came from the background:
    // _NET_ACTIVE_WINDOW with source "pager" on X11, an activation token on Wayland.
    void bringWindowToFront(QWidget* window);
    void beep();

    // Windows marked with this are not hidden by hide().
    static void setCanHide(QWidget* window, bool canHide);

private:
    Application();
    void installSignalHandlers();

    ApplicationDelegate* delegate_ = nullptr;
    bool hidden = false;
};

} // namespace quorvel
