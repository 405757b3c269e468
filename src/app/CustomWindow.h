#pragma once
// The search panel's window: always borderless, with a transparent background, no shadow,
// excluded from application hiding, and always able to take the keyboard. It leaves the screen
// by itself when the application is deactivated.

#include <QRect>
#include <QWidget>

namespace quorvel {

class CustomWindow final : public QWidget {
    Q_OBJECT
public:
    // The style, backing and defer arguments are ignored: the panel is always a borderless,
    // buffered window created at once.
    CustomWindow(const QRect& contentRect, unsigned styleMask, int backing, bool defer);

    void updateTransparency();
    bool canBecomeKeyWindow() const { return true; }
    bool canBecomeMainWindow() const { return true; }
    bool isKeyWindow() const { return true; }

    // Window levels as the platform counts them: 0 is the normal level; anything above it keeps
    // the panel above ordinary windows.
    void setLevel(int level);
    int level() const { return windowLevel; }

    // Centres the panel on the full frame of the screen it is on.
    void centerOnItsScreen();
    void orderFront();
    void makeKeyAndOrderFront();
    void orderOut();

private:
    void applyWindowFlags();

    int windowLevel = 0;
};

} // namespace quorvel
