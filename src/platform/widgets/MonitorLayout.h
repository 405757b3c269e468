#pragma once
// The monitors as the user has them: which one a window should come up on (the one with the
// mouse pointer, else the focused window's, see ScreenChoice), and a report each time a monitor
// comes, goes or changes its frame, so that a window left on no monitor can be moved back.

#include <QObject>
#include <QRect>

class QScreen;
class QWidget;

namespace quorvel {

class MonitorLayout final : public QObject {
    Q_OBJECT
public:
    static MonitorLayout& shared();

    // The full frame of the monitor the window should come up on now; an empty rectangle when
    // there is no monitor at all.
    QRect frameToShowOn(const QWidget* window) const;
    // Whether the window's centre lies on a monitor.
    bool holds(const QWidget* window) const;

Q_SIGNALS:
    // After the toolkit has taken the change in (its list of monitors is current by then).
    void changed();

private:
    MonitorLayout();
    void follow(QScreen* screen);
    void reportChange();

    bool changeReported = false;
};

} // namespace quorvel
