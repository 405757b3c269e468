#include "platform/widgets/TaskbarPresence.h"

#include "platform/widgets/X11Connection.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace quorvel {

namespace {

TaskbarPresence* presence = nullptr;

std::vector<xcb_atom_t> windowStates(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t state)
{
    std::vector<xcb_atom_t> atoms;
    const xcb_get_property_cookie_t cookie
        = xcb_get_property(connection, 0, window, state, XCB_ATOM_ATOM, 0, 1024);
    xcb_get_property_reply_t* reply = xcb_get_property_reply(connection, cookie, nullptr);
    if (!reply)
        return atoms;
    if (reply->type == XCB_ATOM_ATOM && reply->format == 32) {
        const auto* values = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
        atoms.assign(values, values + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    return atoms;
}

} // namespace

TaskbarPresence::TaskbarPresence(QObject* parent)
    : QObject(parent)
{
}

void TaskbarPresence::leaveTaskbar()
{
    if (presence)
        return;
    presence = new TaskbarPresence(qApp);
    qApp->installEventFilter(presence);
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible())
            markWindow(window);
}

bool TaskbarPresence::hasLeftTaskbar()
{
    return presence != nullptr;
}

bool TaskbarPresence::eventFilter(QObject* watched, QEvent* event)
{
    // A window's show event comes before it is mapped: the hints are in place when the window
    // manager first sees it.
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        if (widget->isWindow())
            markWindow(widget);
    }
    return false;
}

// Merged into the window's _NET_WM_STATE, which Qt also merges into rather than replaces.
void TaskbarPresence::markWindow(QWidget* window)
{
    xcb_connection_t* connection = X11Connection::connection();
    if (!connection || window->windowType() == Qt::Popup || window->windowType() == Qt::ToolTip)
        return;
    const auto id = static_cast<xcb_window_t>(window->winId());
    const xcb_atom_t state = X11Connection::atom(connection, "_NET_WM_STATE");
    std::vector<xcb_atom_t> atoms = windowStates(connection, id, state);
    for (const char* name : { "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER" }) {
        const xcb_atom_t atom = X11Connection::atom(connection, name);
        if (atom != XCB_ATOM_NONE && std::find(atoms.begin(), atoms.end(), atom) == atoms.end())
            atoms.push_back(atom);
    }
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, state, XCB_ATOM_ATOM, 32,
        static_cast<uint32_t>(atoms.size()), atoms.data());
    xcb_flush(connection);
}

bool TaskbarPresence::windowSkipsTaskbar(QWidget* window)
{
    xcb_connection_t* connection = X11Connection::connection();
    if (!connection)
        return false;
    const std::vector<xcb_atom_t> atoms = windowStates(connection, static_cast<xcb_window_t>(window->winId()),
        X11Connection::atom(connection, "_NET_WM_STATE"));
    const xcb_atom_t skip = X11Connection::atom(connection, "_NET_WM_STATE_SKIP_TASKBAR");
    return std::find(atoms.begin(), atoms.end(), skip) != atoms.end();
}

} // namespace quorvel
