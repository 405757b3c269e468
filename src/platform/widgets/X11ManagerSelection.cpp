#include "platform/widgets/X11ManagerSelection.h"

#include "platform/widgets/X11Connection.h"

#include <QSocketNotifier>

#include <xcb/xfixes.h>

#include <cstdlib>

namespace quorvel {

namespace {

// The high bit of an event's type marks one sent by a client.
constexpr std::uint8_t responseTypeMask = 0x7f;

xcb_window_t rootOfScreen(xcb_connection_t* connection, int screenNumber)
{
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int index = 0; index < screenNumber && screens.rem > 0; ++index)
        xcb_screen_next(&screens);
    if (screens.rem == 0)
        return XCB_WINDOW_NONE;
    return screens.data->root;
}

// The extension must be told which version the client speaks before any other request of it.
bool startXFixes(xcb_connection_t* connection)
{
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(connection, &xcb_xfixes_id);
    if (!extension || !extension->present)
        return false;
    xcb_xfixes_query_version_reply_t* version = xcb_xfixes_query_version_reply(connection,
        xcb_xfixes_query_version(connection, XCB_XFIXES_MAJOR_VERSION, XCB_XFIXES_MINOR_VERSION), nullptr);
    const bool spoken = version && version->major_version >= 1;
    std::free(version);
    return spoken;
}

} // namespace

X11ManagerSelection::X11ManagerSelection(const std::string& prefix, QObject* parent)
    : QObject(parent)
{
    if (!open(prefix) && connection) {
        xcb_disconnect(connection);
        connection = nullptr;
    }
}

X11ManagerSelection::~X11ManagerSelection()
{
    notifier.reset();
    if (connection)
        xcb_disconnect(connection);
}

bool X11ManagerSelection::open(const std::string& prefix)
{
    int screenNumber = 0;
    connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection) || !startXFixes(connection))
        return false;
    const xcb_window_t root = rootOfScreen(connection, screenNumber);
    selection = X11Connection::atom(connection, (prefix + std::to_string(screenNumber)).c_str());
    if (root == XCB_WINDOW_NONE || selection == XCB_ATOM_NONE)
        return false;
    selectionNotify
        = xcb_get_extension_data(connection, &xcb_xfixes_id)->first_event + XCB_XFIXES_SELECTION_NOTIFY;
    // Selected before the owner is asked, so that no change can fall between the two.
    xcb_xfixes_select_selection_input(connection, root, selection,
        XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER
            | XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY
            | XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    owned = askOwner();
    notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection), QSocketNotifier::Read);
    connect(notifier.get(), &QSocketNotifier::activated, this, [this] { drain(); });
    // Events read while the owner was asked wait in the library's queue, where the socket
    // notifier does not see them.
    QMetaObject::invokeMethod(
        this, [this] { drain(); }, Qt::QueuedConnection);
    return true;
}

bool X11ManagerSelection::askOwner() const
{
    xcb_get_selection_owner_reply_t* reply
        = xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection), nullptr);
    const bool hasOne = reply && reply->owner != static_cast<xcb_window_t>(XCB_WINDOW_NONE);
    std::free(reply);
    return hasOne;
}

void X11ManagerSelection::drain()
{
    if (!notifier)
        return;
    bool now = owned;
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
        if ((event->response_type & responseTypeMask) == selectionNotify) {
            const auto* change = reinterpret_cast<const xcb_xfixes_selection_notify_event_t*>(event);
            if (change->selection == selection)
                now = change->owner != static_cast<xcb_window_t>(XCB_WINDOW_NONE);
        }
        std::free(event);
    }
    // The server went away: nothing more will come, and nobody owns anything on it.
    if (xcb_connection_has_error(connection)) {
        notifier->setEnabled(false);
        now = false;
    }
    if (now == owned)
        return;
    owned = now;
    Q_EMIT ownerChanged(owned);
}

} // namespace quorvel
