#include "MapWatcher.h"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <poll.h>

namespace quorvel::bench {

std::int64_t monotonicNanoseconds()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

MapWatcher::MapWatcher(const std::string& display)
{
    xcb_connection_t* made = xcb_connect(display.c_str(), nullptr);
    if (xcb_connection_has_error(made)) {
        xcb_disconnect(made);
        return;
    }
    connection = made;
    root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &mask);
    wmPid = atom("_NET_WM_PID");
    wmCheck = atom("_NET_SUPPORTING_WM_CHECK");
}

MapWatcher::~MapWatcher()
{
    if (connection)
        xcb_disconnect(connection);
}

xcb_atom_t MapWatcher::atom(const char* name)
{
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, std::uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t answer = reply ? reply->atom : 0;
    std::free(reply);
    return answer;
}

bool MapWatcher::windowManagerRuns()
{
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, root, wmCheck, XCB_ATOM_WINDOW, 0, 1), nullptr);
    const bool named = reply && xcb_get_property_value_length(reply) == 4;
    std::free(reply);
    return named;
}

bool MapWatcher::belongsTo(xcb_window_t window, pid_t pid)
{
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, wmPid, XCB_ATOM_CARDINAL, 0, 1), nullptr);
    bool ours = false;
    if (reply && xcb_get_property_value_length(reply) == 4) {
        std::uint32_t value = 0;
        std::memcpy(&value, xcb_get_property_value(reply), 4);
        ours = pid_t(value) == pid;
    }
    std::free(reply);
    return ours;
}

void MapWatcher::forgetEarlierEvents()
{
    // A round trip: whatever the server sent before its answer has arrived by then.
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection))
        std::free(event);
}

std::optional<std::int64_t> MapWatcher::waitForMapOf(pid_t pid, int timeoutSeconds)
{
    const std::int64_t deadline = monotonicNanoseconds() + std::int64_t(timeoutSeconds) * 1000000000;
    const std::uint32_t structure = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    while (true) {
        xcb_generic_event_t* event = xcb_poll_for_event(connection);
        if (!event) {
            if (xcb_connection_has_error(connection))
                return std::nullopt;
            const std::int64_t left = deadline - monotonicNanoseconds();
            if (left <= 0)
                return std::nullopt;
            pollfd readable { xcb_get_file_descriptor(connection), POLLIN, 0 };
            poll(&readable, 1, int(left / 1000000) + 1);
            continue;
        }
        const std::int64_t arrived = monotonicNanoseconds();
        const std::uint8_t type = event->response_type & 0x7f;
        if (type == XCB_CREATE_NOTIFY) {
            // Watched itself: a window manager may move it into a frame before it is mapped.
            const auto* created = reinterpret_cast<xcb_create_notify_event_t*>(event);
            if (!created->override_redirect)
                xcb_change_window_attributes(connection, created->window, XCB_CW_EVENT_MASK, &structure);
            xcb_flush(connection);
        } else if (type == XCB_MAP_NOTIFY) {
            const auto* mapped = reinterpret_cast<xcb_map_notify_event_t*>(event);
            const xcb_window_t window = mapped->window;
            if (!mapped->override_redirect && belongsTo(window, pid)) {
                std::free(event);
                return arrived;
            }
        }
        std::free(event);
    }
}

} // namespace quorvel::bench
