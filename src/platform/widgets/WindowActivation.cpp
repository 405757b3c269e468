#include "platform/widgets/WindowActivation.h"

#include "platform/widgets/X11Connection.h"

#include <QApplication>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace quorvel {

namespace {

// _NET_ACTIVE_WINDOW with source indication 2 (pager): focus-stealing prevention lets a request
// without fresh user input through when it comes from a pager.
void requestActiveWindowFromWindowManager(QWidget* window, xcb_connection_t* connection, unsigned serverTime)
{
    if (!connection)
        return;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const xcb_atom_t activeWindow = X11Connection::atom(connection, "_NET_ACTIVE_WINDOW");
    if (!screen || activeWindow == XCB_ATOM_NONE)
        return;

    xcb_client_message_event_t event {};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = static_cast<xcb_window_t>(window->winId());
    event.type = activeWindow;
    event.data.data32[0] = 2; // source indication: pager
    event.data.data32[1] = serverTime;
    event.data.data32[2] = XCB_NONE;
    xcb_send_event(connection, 0, screen->root,
        XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
        reinterpret_cast<const char*>(&event));
    xcb_flush(connection);
}

} // namespace

void WindowActivation::bringToFront(QWidget* window, xcb_connection_t* connection, unsigned serverTime)
{
    if (!window)
        return;
    window->raise();
    window->activateWindow();
    // The window system may still count the window as focused from before it was hidden (its
    // report of the lost focus has not come yet, or never comes): a request for the focus then
    // changes nothing there and the widgets never hear of it, while hiding made the toolkit forget
    // the active widget window. The widgets are told directly.
    if (QGuiApplication::focusWindow() && QGuiApplication::focusWindow() == window->windowHandle()
        && QApplication::activeWindow() != window)
        QApplication::setActiveWindow(window);
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("xcb")) {
        requestActiveWindowFromWindowManager(
            window, connection ? connection : X11Connection::connection(), serverTime);
        return;
    }
    // On Wayland Qt asks the compositor through xdg-activation with the token it holds (the
    // one it was started with, or the last input serial); the compositor may still refuse.
    if (platform.startsWith(QLatin1String("wayland")))
        if (QWindow* handle = window->windowHandle())
            handle->requestActivate();
}

} // namespace quorvel
