#pragma once
// Making one of this process's windows the active one even when the request comes from the
// background (a wake-up over the bus carries no fresh user input): on X11 the window manager is
// asked as a pager would ask, elsewhere the toolkit asks the compositor with the activation token
// it holds. The desktop may still refuse.

class QWidget;

namespace quorvel {

class WindowActivation final {
public:
    static void bringToFront(QWidget* window);
};

} // namespace quorvel
