#pragma once
// Making one of this process's windows the active one even when the request comes from the
// background (a wake-up over the bus carries no fresh user input): on X11 the window manager is
// asked as a pager would ask, elsewhere the toolkit asks the compositor with the activation token
// it holds. The desktop may still refuse.

class QWidget;
struct xcb_connection_t;

namespace quorvel {

class WindowActivation final {
public:
    // On X11 the window manager is asked through that connection (the toolkit's when none is
    // given), so that the request is ordered with whatever else the caller sends on it. A server
    // time newer than the user's last input gets past focus-stealing prevention that judges a
    // request by its time (0: none known).
    static void bringToFront(
        QWidget* window, xcb_connection_t* connection = nullptr, unsigned serverTime = 0);
};

} // namespace quorvel
