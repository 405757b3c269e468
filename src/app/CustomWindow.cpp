#include "app/CustomWindow.h"

#include "platform/widgets/Application.h"
#include "platform/widgets/Compositor.h"
#include "platform/widgets/MonitorLayout.h"

#include <QBitmap>
#include <QPainter>

namespace quorvel {

namespace {
constexpr int normalWindowLevel = 0;
// The card of the background image: 2 pixels in from the edges, corners of radius 22.
constexpr double cardInset = 2.0;
constexpr double cardRadius = 22.0;
} // namespace

CustomWindow::CustomWindow(const QRect& contentRect, unsigned /*styleMask*/, int /*backing*/, bool /*defer*/)
{
    setGeometry(contentRect);
    setFixedSize(contentRect.size());
    setAttribute(Qt::WA_TranslucentBackground); // the transparent parts of the background show the desktop
    setAutoFillBackground(false);
    windowLevel = normalWindowLevel;
    applyWindowFlags();
    updateTransparency();
    Application::setCanHide(this, false);
    // Removal on deactivation. Hiding the application does not hide the panel as it hides other
    // windows (unhiding must not bring it back), but the panel leaves with it: a hide that finds
    // the application already inactive (its activation not yet reported) must still dismiss it.
    Application& application = Application::sharedApplication();
    connect(&application, &Application::didResignActive, this, &CustomWindow::orderOut);
    connect(&application, &Application::didHide, this, &CustomWindow::orderOut);
    connect(
        &Compositor::sharedCompositor(), &Compositor::runningChanged, this, &CustomWindow::followCompositor);
    connect(&MonitorLayout::shared(), &MonitorLayout::changed, this, &CustomWindow::stayOnAMonitor);
}

CustomWindow::~CustomWindow()
{
    watchCompositor(false);
}

QPainterPath CustomWindow::cardOutline(const QSizeF& size)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(QPointF(cardInset, cardInset), size - QSizeF(2 * cardInset, 2 * cardInset)),
        cardRadius, cardRadius);
    return path;
}

// Asked each time the panel comes up: a compositor may have started or ended while it was away.
void CustomWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    watchCompositor(true);
    followCompositor(Compositor::sharedCompositor().isRunning());
}

void CustomWindow::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    watchCompositor(false);
}

// Only while the panel is up: nobody sees its shape meanwhile.
void CustomWindow::watchCompositor(bool watch)
{
    if (watch == watchingCompositor)
        return;
    watchingCompositor = watch;
    Compositor& compositor = Compositor::sharedCompositor();
    if (watch)
        compositor.startWatching();
    else
        compositor.stopWatching();
}

void CustomWindow::followCompositor(bool compositorRunning)
{
    if (compositorRunning) {
        clearMask();
    } else {
        // Antialiasing off: a mask pixel is in or out.
        QBitmap shape(size());
        shape.fill(Qt::color0);
        QPainter painter(&shape);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::color1);
        painter.drawPath(cardOutline(QSizeF(size())));
        painter.end();
        setMask(shape);
    }
    update();
}

void CustomWindow::applyWindowFlags()
{
    Qt::WindowFlags flags = Qt::Window | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint;
    if (windowLevel > normalWindowLevel)
        flags |= Qt::WindowStaysOnTopHint;
    const bool wasVisible = isVisible();
    setWindowFlags(flags);
    if (wasVisible)
        show();
}

void CustomWindow::updateTransparency()
{
    update();
}

void CustomWindow::setLevel(int level)
{
    const bool wasAbove = windowLevel > normalWindowLevel;
    windowLevel = level;
    if (wasAbove != (level > normalWindowLevel))
        applyWindowFlags();
}

void CustomWindow::centerOnItsScreen()
{
    const QRect frame = MonitorLayout::shared().frameToShowOn(this);
    if (frame.isEmpty())
        return;
    const double x = frame.x() + frame.width() * 0.5 - width() * 0.5;
    const double y = frame.y() + frame.height() * 0.5 - height() * 0.5;
    move(static_cast<int>(x), static_cast<int>(y));
}

// A monitor unplugged (or switched off) under the panel would leave it where nobody sees it.
void CustomWindow::stayOnAMonitor()
{
    if (isVisible() && !MonitorLayout::shared().holds(this))
        centerOnItsScreen();
}

void CustomWindow::orderFront()
{
    show();
    raise();
}

void CustomWindow::makeKeyAndOrderFront()
{
    show();
    raise();
    activateWindow();
}

void CustomWindow::orderOut()
{
    hide();
}

} // namespace quorvel
