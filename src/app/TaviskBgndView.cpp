#include "app/TaviskBgndView.h"

#include "app/CustomWindow.h"
#include "platform/desktop/Bundle.h"
#include "platform/settings/SettingsKeys.h"
#include "platform/settings/UserDefaults.h"
#include "platform/widgets/Compositor.h"

#include <QPainter>

namespace quorvel {

TaviskBgndView::TaviskBgndView(QWidget* parent)
    : QWidget(parent)
{
    // Only the image is drawn: what it leaves transparent shows the desktop.
    setAttribute(Qt::WA_TranslucentBackground);
    connect(&Compositor::sharedCompositor(), &Compositor::runningChanged, this, [this] { update(); });
}

float TaviskBgndView::backgroundOpacity()
{
    const UserDefaults& defaults = UserDefaults::standardUserDefaults();
    // A fresh user has no "mainDialogTransparency"; the registered window transparency (1.0)
    // answers then, so the panel is not drawn as bare controls over the desktop.
    if (defaults.objectForKey(SettingsKey::mainDialogTransparency).isValid())
        return defaults.floatForKey(SettingsKey::mainDialogTransparency);
    return defaults.floatForKey(SettingsKey::mainWindowTransparency);
}

void TaviskBgndView::paintEvent(QPaintEvent* /*event*/)
{
    if (!imageLooked) {
        imageLooked = true;
        const QString path = Bundle::mainBundle().pathForImageResource(QStringLiteral("new-background"));
        if (!path.isEmpty())
            image = QPixmap(path);
    }
    if (image.isNull())
        return;
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (!Compositor::sharedCompositor().isRunning()) {
        // The card's own dark tone under the image, which is a little translucent.
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillPath(CustomWindow::cardOutline(QSizeF(size())), QColor(0x1f, 0x24, 0x31));
        painter.drawPixmap(0, 0, image);
        return;
    }
    painter.setOpacity(qBound(0.0, static_cast<double>(backgroundOpacity()), 1.0));
    painter.drawPixmap(0, 0, image);
}

} // namespace quorvel
