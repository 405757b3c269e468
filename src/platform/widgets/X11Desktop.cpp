#include "platform/widgets/X11Desktop.h"

#include "platform/widgets/X11Connection.h"

#include <QGuiApplication>
#include <QScreen>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace quorvel {

namespace {

template <typename Reply> using ReplyPointer = std::unique_ptr<Reply, decltype(&std::free)>;
template <typename Reply> ReplyPointer<Reply> owned(Reply* reply)
{
    return ReplyPointer<Reply>(reply, &std::free);
}

xcb_window_t rootWindow(xcb_connection_t* connection)
{
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    return screen ? screen->root : xcb_window_t(XCB_WINDOW_NONE);
}

// The toolkit scales each monitor's size but keeps its top-left corner as the server has it, so a
// server position maps through the monitor that holds it in server pixels.
QPoint toToolkit(QPoint native)
{
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect logical = screen->geometry();
        const qreal ratio = screen->devicePixelRatio();
        const QRect nativeFrame(logical.topLeft(), logical.size() * ratio);
        if (ratio > 0 && nativeFrame.contains(native))
            return logical.topLeft() + (native - logical.topLeft()) / ratio;
    }
    return native;
}

QRect toToolkit(const QRect& native)
{
    return QRect(toToolkit(native.topLeft()), toToolkit(native.bottomRight()));
}

// XWayland learns where the pointer is only while it is over one of its own windows; elsewhere
// (over a Wayland window or the desktop) it answers the last position it knew, over the root
// window. Newer releases name themselves with an extension, all name their outputs XWAYLANDn.
bool isXWayland(xcb_connection_t* connection)
{
    static const bool answer = [connection] {
        const char name[] = "XWAYLAND";
        const auto reply = owned(xcb_query_extension_reply(
            connection, xcb_query_extension(connection, sizeof name - 1, name), nullptr));
        if (reply && reply->present)
            return true;
        const QList<QScreen*> screens = QGuiApplication::screens();
        return std::any_of(screens.begin(), screens.end(),
            [](const QScreen* screen) { return screen->name().startsWith(QLatin1String("XWAYLAND")); });
    }();
    return answer;
}

xcb_window_t activeWindow(xcb_connection_t* connection, xcb_window_t root)
{
    const xcb_atom_t property = X11Connection::atom(connection, "_NET_ACTIVE_WINDOW");
    if (property == XCB_ATOM_NONE)
        return XCB_WINDOW_NONE;
    const auto reply = owned(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, root, property, XCB_ATOM_WINDOW, 0, 1), nullptr));
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4)
        return XCB_WINDOW_NONE;
    return *static_cast<const xcb_window_t*>(xcb_get_property_value(reply.get()));
}

} // namespace

std::optional<QPoint> X11Desktop::pointerPosition()
{
    xcb_connection_t* connection = X11Connection::connection();
    if (!connection)
        return std::nullopt;
    const xcb_window_t root = rootWindow(connection);
    const auto reply
        = owned(xcb_query_pointer_reply(connection, xcb_query_pointer(connection, root), nullptr));
    // On another X screen of the same server the position is not on any of ours.
    if (!reply || !reply->same_screen)
        return std::nullopt;
    if (reply->child == XCB_WINDOW_NONE && isXWayland(connection))
        return std::nullopt;
    return toToolkit(QPoint(reply->root_x, reply->root_y));
}

std::optional<QRect> X11Desktop::activeWindowFrame()
{
    xcb_connection_t* connection = X11Connection::connection();
    if (!connection)
        return std::nullopt;
    const xcb_window_t root = rootWindow(connection);
    const xcb_window_t window = activeWindow(connection, root);
    if (window == XCB_WINDOW_NONE)
        return std::nullopt;
    const xcb_get_geometry_cookie_t geometryCookie = xcb_get_geometry(connection, window);
    const xcb_translate_coordinates_cookie_t originCookie
        = xcb_translate_coordinates(connection, window, root, 0, 0);
    const auto geometry = owned(xcb_get_geometry_reply(connection, geometryCookie, nullptr));
    const auto origin = owned(xcb_translate_coordinates_reply(connection, originCookie, nullptr));
    if (!geometry || !origin)
        return std::nullopt;
    return toToolkit(QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height));
}

} // namespace quorvel
