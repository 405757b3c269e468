#pragma once
// The panel's background: the "new-background" image drawn unscaled at the view's origin with
// the opacity of the "mainDialogTransparency" setting. Without a compositing manager nothing
// shows through the window: the card is then painted opaque, so it does not turn dark or black.

#include <QPixmap>
#include <QWidget>

namespace quorvel {

class TaviskBgndView final : public QWidget {
    Q_OBJECT
public:
    explicit TaviskBgndView(QWidget* parent = nullptr);

    int tag() const { return 1; }
    bool acceptsFirstMouse() const { return true; }

    // The opacity the background is drawn with, 0.0 transparent to 1.0 opaque.
    static float backgroundOpacity();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap image;
    bool imageLooked = false;
};

} // namespace quorvel
