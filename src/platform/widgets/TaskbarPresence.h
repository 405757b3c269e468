#pragma once
// Whether the application's windows have entries in the desktop's taskbar. An application that
// lives in the status area only (the interface mode without a taskbar entry) marks each of its
// windows, every time one is shown, as one the taskbar and the pager skip: on X11 with
// _NET_WM_STATE_SKIP_TASKBAR and _NET_WM_STATE_SKIP_PAGER, which the window manager forgets
// whenever the window is withdrawn. Other window systems offer no such hint; there the windows
// keep their entries.

#include <QObject>

class QWidget;

namespace quorvel {

class TaskbarPresence final : public QObject {
    Q_OBJECT
public:
    // From now on, no window of the application shows in the taskbar. Requires a QApplication.
    static void leaveTaskbar();
    static bool hasLeftTaskbar();

    // The taskbar-skipping hints the window holds now (X11; false elsewhere).
    static bool windowSkipsTaskbar(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit TaskbarPresence(QObject* parent);
    static void markWindow(QWidget* window);
};

} // namespace quorvel
