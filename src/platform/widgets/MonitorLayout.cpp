#include "platform/widgets/MonitorLayout.h"

#include "platform/widgets/ScreenChoice.h"
#include "platform/widgets/X11Desktop.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace quorvel {

namespace {

ScreenChoice::Layout currentLayout()
{
    ScreenChoice::Layout layout;
    const QList<QScreen*> screens = QGuiApplication::screens();
    for (const QScreen* screen : screens)
        layout.frames.append(screen->geometry());
    layout.primary = static_cast<int>(screens.indexOf(QGuiApplication::primaryScreen()));
    return layout;
}

} // namespace

MonitorLayout& MonitorLayout::shared()
{
    static MonitorLayout* instance = new MonitorLayout; // lives as long as the application object
    return *instance;
}

MonitorLayout::MonitorLayout()
    : QObject(qGuiApp)
{
    for (QScreen* screen : QGuiApplication::screens())
        follow(screen);
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [this](QScreen* screen) {
        follow(screen);
        reportChange();
    });
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, &MonitorLayout::reportChange);
}

void MonitorLayout::follow(QScreen* screen)
{
    connect(screen, &QScreen::geometryChanged, this, &MonitorLayout::reportChange);
}

// Queued, and once for a burst: a monitor switched off reaches the toolkit as several changes
// (the monitor removed, the others' frames, the primary), and a window moved after the first one
// could still be on no monitor after the last.
void MonitorLayout::reportChange()
{
    if (changeReported)
        return;
    changeReported = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            changeReported = false;
            Q_EMIT changed();
        },
        Qt::QueuedConnection);
}

QRect MonitorLayout::frameToShowOn(const QWidget* window) const
{
    const ScreenChoice::Layout layout = currentLayout();
    // Last, the monitor the window is on: the toolkit's word for it, which on Wayland (where a
    // window's position is the compositor's secret) is the only one there is.
    std::optional<QRect> windowFrame;
    if (window)
        windowFrame = window->screen() ? window->screen()->geometry() : window->frameGeometry();
    const int index = ScreenChoice::choose(
        layout, X11Desktop::pointerPosition(), [] { return X11Desktop::activeWindowFrame(); }, windowFrame);
    return index < 0 ? QRect() : layout.frames[index];
}

bool MonitorLayout::holds(const QWidget* window) const
{
    return window && ScreenChoice::holding(currentLayout().frames, window->frameGeometry().center()) >= 0;
}

} // namespace quorvel
