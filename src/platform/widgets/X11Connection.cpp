#include "platform/widgets/X11Connection.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <cstdlib>
#include <cstring>

namespace quorvel {

xcb_connection_t* X11Connection::connection()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t X11Connection::atom(xcb_connection_t* connection, const char* name)
{
    xcb_atom_t atom = XCB_ATOM_NONE;
    atoms(connection, { { &atom, name } });
    return atom;
}

void X11Connection::atoms(
    xcb_connection_t* connection, const std::vector<std::pair<xcb_atom_t*, const char*>>& wanted)
{
    std::vector<xcb_intern_atom_cookie_t> cookies;
    cookies.reserve(wanted.size());
    for (const auto& [atom, name] : wanted)
        cookies.push_back(xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name));
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookies[i], nullptr);
        *wanted[i].first = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
    }
}

} // namespace quorvel
