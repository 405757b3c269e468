#pragma once
// Orders a message from another channel (a notification on the session bus) after the input the
// display had delivered before it. A key press and a bus message travel apart: on a busy machine a
// wake-up posted after an Escape can be handled before that Escape, and the Escape then dismisses
// the panel the wake-up asked for. On X11 a marker (a property change on a window of the toolkit's
// own connection) goes to the server; the server reports it after every event it generated before,
// and the toolkit delivers those events before the marker's handler runs. Off X11 the handler runs
// from the event loop, after what is queued.

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <deque>
#include <functional>

#include <xcb/xcb.h>

namespace quorvel {

class InputBarrier final : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    static InputBarrier& shared();
    // Runs then on the main thread once the input delivered before this call has been handled.
    void afterInputSoFar(std::function<void()> then);

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    InputBarrier();
    bool openMarkerWindow();
    void runNext();

    xcb_connection_t* connection = nullptr;
    xcb_window_t markerWindow = XCB_NONE;
    xcb_atom_t markerAtom = XCB_ATOM_NONE;
    // One entry per marker sent, in the order the server reports them.
    std::deque<std::function<void()>> waiting;
};

} // namespace quorvel
