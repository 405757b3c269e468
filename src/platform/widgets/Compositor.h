#pragma once
// Whether a compositing manager draws the desktop, so that translucent windows show what lies
// behind them. Without one, an X server shows a window's transparent pixels as black: windows
// that want a shape must then cut it out with a mask and paint themselves opaque.
// On X11 the manager owns the selection _NET_WM_CM_S<screen>; other window systems (Wayland)
// always composite. The shared instance can be replaced by tests.

#include <QObject>
#include <QTimer>

#include <memory>

namespace quorvel {

class X11ManagerSelection;

class Compositor : public QObject {
    Q_OBJECT
public:
    static Compositor& sharedCompositor();
    // Tests: use this instance instead (not owned); nullptr returns to the real one.
    static void setSharedCompositor(Compositor* compositor);

    Compositor();
    ~Compositor() override;

    bool isRunning() const { return running; }
    // Asks the window system again; reports runningChanged when the answer differs.
    void check();
    // While someone watches (a window is shown), a compositor starting or ending is followed:
    // on X11 the server reports the change of the manager's selection (on a server without the
    // XFixes extension the answer is asked for again every few seconds). Counted: each
    // startWatching wants one stopWatching.
    void startWatching();
    void stopWatching();

Q_SIGNALS:
    void runningChanged(bool running);

protected:
    virtual bool askWindowSystem() const;

private:
    void followChanges();
    void openWatch();

    mutable unsigned selectionAtom = 0; // the compositor's selection, once asked (an X atom)
    bool running = true;
    bool asked = false;
    int watchers = 0;
    bool watchQueued = false;
    QTimer poll;
    std::unique_ptr<X11ManagerSelection> selection;
};

} // namespace quorvel
