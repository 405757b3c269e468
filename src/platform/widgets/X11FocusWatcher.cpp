#include "platform/widgets/X11FocusWatcher.h"

#include "platform/core/Log.h"
#include "platform/core/PlatformLog.h"
#include "platform/widgets/X11Connection.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace quorvel {

namespace {

struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};
template <typename Reply> using ReplyPointer = std::unique_ptr<Reply, FreeReply>;

constexpr uint8_t responseTypeMask = 0x7f; // without the "sent by a client" bit

} // namespace

X11FocusWatcher::X11FocusWatcher(std::function<bool(xcb_window_t)> isOurs, QObject* parent)
    : QObject(parent)
    , isOurs(std::move(isOurs))
{
    if (!open() && connection) {
        xcb_disconnect(connection);
        connection = nullptr;
    }
}

X11FocusWatcher::~X11FocusWatcher()
{
    notifier.reset();
    for (xcb_generic_event_t* event : setAside)
        std::free(event);
    if (connection)
        xcb_disconnect(connection);
}

bool X11FocusWatcher::open()
{
    int screenNumber = 0;
    connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection))
        return false;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int index = 0; index < screenNumber && screens.rem > 0; ++index)
        xcb_screen_next(&screens);
    if (screens.rem == 0)
        return false;
    root = screens.data->root;
    X11Connection::atoms(connection,
        { { &markerAtom, "_QUORVEL_ACTIVATION_REQUEST" }, { &activeWindowAtom, "_NET_ACTIVE_WINDOW" },
            { &supportingCheckAtom, "_NET_SUPPORTING_WM_CHECK" }, { &stateAtom, "WM_STATE" },
            { &clientListAtom, "_NET_CLIENT_LIST" }, { &timeAtom, "_QUORVEL_SERVER_TIME" },
            { &userTimeAtom, "_NET_WM_USER_TIME" }, { &userTimeWindowAtom, "_NET_WM_USER_TIME_WINDOW" },
            { &frameExtentsAtom, "_NET_FRAME_EXTENTS" },
            { &requestFrameExtentsAtom, "_NET_REQUEST_FRAME_EXTENTS" }, { &netStateAtom, "_NET_WM_STATE" },
            { &demandsAttentionAtom, "_NET_WM_STATE_DEMANDS_ATTENTION" } });

    const uint32_t rootMask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &rootMask);
    // An input-only window nobody sees: changing a property of it marks a point in the stream.
    markerWindow = xcb_generate_id(connection);
    const uint32_t markerValues[] = { 1, XCB_EVENT_MASK_PROPERTY_CHANGE };
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, markerWindow, root, -1, -1, 1, 1, 0,
        XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK,
        markerValues);
    xcb_flush(connection);

    notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection), QSocketNotifier::Read);
    connect(notifier.get(), &QSocketNotifier::activated, this, [this] { drain(); });
    return true;
}

void X11FocusWatcher::markRequest()
{
    if (!connection)
        return;
    // What the toolkit sent before (the window's unmapping when it was hidden) reaches the server
    // before the marker, so that what the server reports after the marker came after that too.
    if (xcb_connection_t* toolkit = X11Connection::connection())
        std::free(xcb_get_input_focus_reply(toolkit, xcb_get_input_focus(toolkit), nullptr));
    ++markersSent;
    xcb_change_property(
        connection, XCB_PROP_MODE_REPLACE, markerWindow, markerAtom, XCB_ATOM_CARDINAL, 32, 1, &markersSent);
    askTheWindowManager();
    xcb_flush(connection);
    drainSoon();
}

// A window manager handles what it is sent in order: it answers a request for the frame extents
// of the (unmanaged) marker window after it has handled the activation request sent before.
void X11FocusWatcher::askTheWindowManager()
{
    xcb_client_message_event_t event {};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = markerWindow;
    event.type = requestFrameExtentsAtom;
    xcb_send_event(connection, 0, root,
        XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
        reinterpret_cast<const char*>(&event));
}

unsigned X11FocusWatcher::freshUserTime(xcb_window_t window)
{
    if (!connection)
        return 0;
    uint8_t nothing = 0;
    xcb_change_property(
        connection, XCB_PROP_MODE_APPEND, markerWindow, timeAtom, XCB_ATOM_CARDINAL, 8, 0, &nothing);
    xcb_flush(connection);
    xcb_timestamp_t time = 0;
    // The server reports the change to this connection: the wait ends with it, or with the server gone.
    while (xcb_generic_event_t* event = xcb_wait_for_event(connection)) {
        const auto* change = reinterpret_cast<const xcb_property_notify_event_t*>(event);
        if ((event->response_type & responseTypeMask) == XCB_PROPERTY_NOTIFY && change->window == markerWindow
            && change->atom == timeAtom) {
            time = change->time;
            std::free(event);
            break;
        }
        setAside.push_back(event);
    }
    // The toolkit may keep the user time on a window of its own.
    const xcb_window_t holder = windowProperty(window, userTimeWindowAtom);
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, holder != XCB_NONE ? holder : window, userTimeAtom,
        XCB_ATOM_CARDINAL, 32, 1, &time);
    drainSoon();
    return time;
}

void X11FocusWatcher::watchWindow(xcb_window_t window)
{
    if (!connection || window == watchedWindow)
        return;
    const uint32_t none = 0;
    // WM_STATE changes with the window manager taking the window or letting it go.
    const uint32_t structure = XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;
    // The earlier window may be gone already; the server's error is read and dropped with the events.
    if (watchedWindow != XCB_NONE)
        xcb_change_window_attributes(connection, watchedWindow, XCB_CW_EVENT_MASK, &none);
    watchedWindow = window;
    xcb_change_window_attributes(connection, watchedWindow, XCB_CW_EVENT_MASK, &structure);
    xcb_flush(connection);
}

void X11FocusWatcher::mapIfNobodyTookIt(xcb_window_t window)
{
    if (!connection)
        return;
    const xcb_get_window_attributes_cookie_t attributesCookie = xcb_get_window_attributes(connection, window);
    const xcb_get_property_cookie_t stateCookie
        = xcb_get_property(connection, 0, window, stateAtom, XCB_GET_PROPERTY_TYPE_ANY, 0, 1);
    ReplyPointer<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(connection, attributesCookie, nullptr));
    ReplyPointer<xcb_get_property_reply_t> state(xcb_get_property_reply(connection, stateCookie, nullptr));
    const bool taken = state && state->type != XCB_ATOM_NONE;
    if (attributes && attributes->map_state == XCB_MAP_STATE_UNMAPPED && !taken) {
        // Mapped again quietly: while a window manager starts, that is routine.
        if (listedAsClient(window)) {
            Log::line(platformLog(),
                QStringLiteral(
                    "The window manager lost track of a window wanted up: it is handed over again"));
            announceWithdrawal(window);
        }
        xcb_map_window(connection, window);
        xcb_flush(connection);
    }
    drainSoon();
}

bool X11FocusWatcher::listedAsClient(xcb_window_t window) const
{
    // A long list is read in part: the window manager appends, and a panel is rarely far in.
    constexpr uint32_t windowsRead = 1024;
    return listHolds(root, clientListAtom, XCB_ATOM_WINDOW, windowsRead, window);
}

// Whether a list property of 32-bit items (windows, atoms) holds the value, in its first items.
bool X11FocusWatcher::listHolds(
    xcb_window_t window, xcb_atom_t property, xcb_atom_t type, uint32_t itemsRead, uint32_t value) const
{
    ReplyPointer<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, property, type, 0, itemsRead), nullptr));
    if (!reply || reply->type != type || reply->format != 32)
        return false;
    const auto* items = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
    const int count = xcb_get_property_value_length(reply.get()) / int(sizeof(uint32_t));
    return std::find(items, items + count, value) != items + count;
}

// The synthetic UnmapNotify to the root with which a client withdraws a window.
void X11FocusWatcher::announceWithdrawal(xcb_window_t window)
{
    xcb_unmap_notify_event_t event {};
    event.response_type = XCB_UNMAP_NOTIFY;
    event.event = root;
    event.window = window;
    xcb_send_event(connection, 0, root,
        XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
        reinterpret_cast<const char*>(&event));
}

X11FocusWatcher::Holder X11FocusWatcher::inputFocus()
{
    if (!connection)
        return Holder::Nobody;
    ReplyPointer<xcb_get_input_focus_reply_t> reply(
        xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    drainSoon();
    return reply ? holderOf(reply->focus) : Holder::Nobody;
}

// As the conventions have it: the root names a check window that names itself, so that a
// property left behind by a window manager that has ended does not count.
bool X11FocusWatcher::windowManagerRuns()
{
    if (!connection)
        return false;
    const xcb_window_t check = windowProperty(root, supportingCheckAtom);
    const bool runs = check != XCB_NONE && windowProperty(check, supportingCheckAtom) == check;
    drainSoon();
    return runs;
}

// Events read while waiting for a reply stay in the library's queue, where the socket notifier
// does not see them.
void X11FocusWatcher::drainSoon()
{
    if (drainQueued)
        return;
    drainQueued = true;
    QMetaObject::invokeMethod(
        this, [this] { drain(); }, Qt::QueuedConnection);
}

void X11FocusWatcher::drain()
{
    drainQueued = false;
    if (!connection)
        return;
    while (!setAside.empty()) {
        xcb_generic_event_t* event = setAside.front();
        setAside.pop_front();
        handle(event);
        std::free(event);
    }
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
        handle(event);
        std::free(event);
    }
    // The server went away: nothing more will come.
    if (xcb_connection_has_error(connection))
        notifier->setEnabled(false);
}

void X11FocusWatcher::handle(const xcb_generic_event_t* event)
{
    switch (event->response_type & responseTypeMask) {
    case XCB_PROPERTY_NOTIFY:
        handlePropertyChange(reinterpret_cast<const xcb_property_notify_event_t*>(event));
        return;
    case XCB_MAP_NOTIFY:
        if (reinterpret_cast<const xcb_map_notify_event_t*>(event)->window == watchedWindow)
            Q_EMIT windowSystemChanged(false);
        return;
    case XCB_REPARENT_NOTIFY:
        if (reinterpret_cast<const xcb_reparent_notify_event_t*>(event)->window == watchedWindow)
            Q_EMIT windowSystemChanged(false);
        return;
    case XCB_UNMAP_NOTIFY:
        if (reinterpret_cast<const xcb_unmap_notify_event_t*>(event)->window == watchedWindow)
            Q_EMIT mappingMayBeLost();
        return;
    case XCB_DESTROY_NOTIFY:
        if (reinterpret_cast<const xcb_destroy_notify_event_t*>(event)->window == watchedWindow)
            watchedWindow = XCB_NONE;
        return;
    default:
        return;
    }
}

void X11FocusWatcher::handlePropertyChange(const xcb_property_notify_event_t* event)
{
    if (event->window == markerWindow && event->atom == markerAtom) {
        // Only the last request counts; an earlier one's marker is passed on the way.
        if (++markersSeen == markersSent)
            Q_EMIT requestReached();
        return;
    }
    if (event->window == markerWindow && event->atom == frameExtentsAtom) {
        // A window manager that skipped an answer is never taken as having answered the last one.
        if (++answersSeen == markersSent)
            Q_EMIT windowManagerAnswered();
        return;
    }
    if (event->window == watchedWindow && event->atom == stateAtom) {
        Q_EMIT mappingMayBeLost();
        return;
    }
    if (event->window == watchedWindow && event->atom == netStateAtom) {
        if (demandsAttention(watchedWindow))
            Q_EMIT windowSystemChanged(false);
        return;
    }
    if (event->window != root)
        return;
    if (event->atom == activeWindowAtom)
        Q_EMIT activeWindowNamed(holderOf(windowProperty(root, activeWindowAtom)));
    else if (event->atom == supportingCheckAtom)
        Q_EMIT windowSystemChanged(true);
    else
        Q_EMIT mappingMayBeLost();
}

bool X11FocusWatcher::demandsAttention(xcb_window_t window) const
{
    constexpr uint32_t statesRead = 32;
    return listHolds(window, netStateAtom, XCB_ATOM_ATOM, statesRead, demandsAttentionAtom);
}

X11FocusWatcher::Holder X11FocusWatcher::holderOf(xcb_window_t window) const
{
    // PointerRoot (1) and the root itself hold the focus for nobody in particular.
    if (window == XCB_NONE || window == XCB_INPUT_FOCUS_POINTER_ROOT || window == root)
        return Holder::Nobody;
    return isOurs && isOurs(window) ? Holder::Ours : Holder::Another;
}

xcb_window_t X11FocusWatcher::windowProperty(xcb_window_t window, xcb_atom_t property) const
{
    if (property == XCB_ATOM_NONE)
        return XCB_NONE;
    ReplyPointer<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, property, XCB_ATOM_WINDOW, 0, 1), nullptr));
    if (!reply || reply->type != XCB_ATOM_WINDOW || reply->format != 32
        || xcb_get_property_value_length(reply.get()) < 4)
        return XCB_NONE;
    xcb_window_t value = XCB_NONE;
    std::memcpy(&value, xcb_get_property_value(reply.get()), sizeof value);
    return value;
}

} // namespace quorvel
