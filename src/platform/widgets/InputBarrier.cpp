#include "platform/widgets/InputBarrier.h"

#include "platform/widgets/X11Connection.h"

#include <QCoreApplication>
#include <QTimer>

#include <utility>

namespace quorvel {

InputBarrier& InputBarrier::shared()
{
    // Never destroyed: a marker may still be on its way while the application shuts down.
    static InputBarrier* barrier = new InputBarrier;
    return *barrier;
}

InputBarrier::InputBarrier()
{
    if (openMarkerWindow())
        QCoreApplication::instance()->installNativeEventFilter(this);
}

// An unmapped input-only window of the toolkit's connection, listening to its own properties.
bool InputBarrier::openMarkerWindow()
{
    connection = X11Connection::connection();
    if (!connection)
        return false;
    markerAtom = X11Connection::atom(connection, "_QUORVEL_INPUT_BARRIER");
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (markerAtom == XCB_ATOM_NONE || !screen) {
        connection = nullptr;
        return false;
    }
    markerWindow = xcb_generate_id(connection);
    const uint32_t eventMask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, markerWindow, screen->root, -1, -1, 1, 1, 0,
        XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &eventMask);
    xcb_flush(connection);
    return true;
}

void InputBarrier::afterInputSoFar(std::function<void()> then)
{
    if (!connection) {
        QTimer::singleShot(0, this, std::move(then));
        return;
    }
    waiting.push_back(std::move(then));
    const uint8_t byte = 0;
    xcb_change_property(
        connection, XCB_PROP_MODE_REPLACE, markerWindow, markerAtom, XCB_ATOM_CARDINAL, 8, 1, &byte);
    xcb_flush(connection);
}

// Seen while the toolkit reads the server's events, before it delivers the input events read with
// them: the handler is queued, so that it runs after those.
bool InputBarrier::nativeEventFilter(const QByteArray& eventType, void* message, qintptr* /*result*/)
{
    if (eventType != "xcb_generic_event_t" || waiting.empty())
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & ~0x80) != XCB_PROPERTY_NOTIFY)
        return false;
    const auto* change = reinterpret_cast<const xcb_property_notify_event_t*>(event);
    if (change->window != markerWindow || change->atom != markerAtom)
        return false;
    QMetaObject::invokeMethod(
        this, [this] { runNext(); }, Qt::QueuedConnection);
    return true;
}

void InputBarrier::runNext()
{
    if (waiting.empty())
        return;
    std::function<void()> then = std::move(waiting.front());
    waiting.pop_front();
    then();
}

} // namespace quorvel
