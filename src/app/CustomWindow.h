#pragma once
// The search panel's window: always borderless, with a transparent background, no shadow,
// excluded from application hiding, and always able to take the keyboard. It leaves the screen
// by itself when the application is deactivated. Where no compositing manager runs, its
// transparent corners would show black: it then takes the card's rounded shape as a window mask.

#include <QPainterPath>
#include <QRect>
#include <QWidget>

namespace quorvel {

class CustomWindow final : public QWidget {
    Q_OBJECT
public:
    // The style, backing and defer arguments are ignored: the panel is always a borderless,
    // buffered window created at once.
    CustomWindow(const QRect& contentRect, unsigned styleMask, int backing, bool defer);
    ~CustomWindow() override;

    void updateTransparency();
    bool canBecomeKeyWindow() const { return true; }
    bool canBecomeMainWindow() const { return true; }
    bool isKeyWindow() const { return true; }

    // Window levels as the platform counts them: 0 is the normal level; anything above it keeps
    // the panel above ordinary windows.
    void setLevel(int level);
    int level() const { return windowLevel; }

    // Centres the panel on the full frame of the monitor the user is at: the one with the mouse
    // pointer, else the focused window's, else the one the panel is on.
    void centerOnItsScreen();
    void orderFront();
    void makeKeyAndOrderFront();
    void orderOut();

    // The outline of the card the background image draws, in a window of the given size.
    static QPainterPath cardOutline(const QSizeF& size);
    bool isShapedByMask() const { return !mask().isEmpty(); }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void applyWindowFlags();
    void followCompositor(bool compositorRunning);

    void watchCompositor(bool watch);
    void stayOnAMonitor();

    int windowLevel = 0;
    bool watchingCompositor = false;
};

} // namespace quorvel
