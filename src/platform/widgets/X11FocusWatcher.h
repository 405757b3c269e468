#pragma once
// Watches, on a connection to the X server of its own, what decides whether an activation has
// taken: who holds the input focus, which window the window manager names active, whether a
// window manager runs, and the wanted window being mapped or reparented. Its events and the
// activation requests sent through it share one connection, so their order is the server's: a
// change reported after a request's marker happened after the server had the request. Not for
// anything the toolkit already does on its own connection.

#include "platform/widgets/ActivationDecision.h"

#include <QObject>

#include <deque>
#include <functional>
#include <memory>

#include <xcb/xcb.h>

class QSocketNotifier;

namespace quorvel {

class X11FocusWatcher final : public QObject {
    Q_OBJECT
public:
    using Holder = FocusFacts::Holder;
    // isOurs answers whether a window belongs to this application. Watches nothing when no X
    // server answers (isWatching() is then false).
    explicit X11FocusWatcher(std::function<bool(xcb_window_t)> isOurs, QObject* parent = nullptr);
    ~X11FocusWatcher() override;

    bool isWatching() const { return connection != nullptr; }
    // Requests sent here are ordered with the watcher's events (see markRequest).
    xcb_connection_t* requestConnection() const { return connection; }
    // To be called after each activation request sent through requestConnection(): once the
    // server has passed this point (and everything the toolkit's connection sent before it),
    // requestReached() is emitted.
    void markRequest();
    // Mapping and reparenting of this window are reported from now on (one window at a time).
    void watchWindow(xcb_window_t window);

    // Maps the window again when the server has it unmapped and no window manager has taken it
    // (no WM_STATE): a window manager that is starting may drop a map request, or lose track of
    // a window it took while the toolkit withdrew and reparented it; it is then told of the
    // withdrawal first (as the conventions ask a client to), so that it takes the window afresh.
    void mapIfNobodyTookIt(xcb_window_t window);

    // A fresh server time (a round trip: a property changed and its report awaited), given to
    // the window as its user time, so that a window manager comparing user times finds the
    // window's newer than the input that came before. 0 when the server cannot be asked.
    unsigned freshUserTime(xcb_window_t window);

    // Each asks the server (a round trip).
    Holder inputFocus();
    bool windowManagerRuns();

Q_SIGNALS:
    void requestReached();
    // The window manager has answered a question sent after the last request: it has handled the
    // request and everything the server had before it.
    void windowManagerAnswered();
    void activeWindowNamed(quorvel::FocusFacts::Holder activeWindow);
    // A window manager appeared (windowManagerChanged), or the watched window was mapped or
    // reparented, or marked as demanding attention (an activation refused).
    void windowSystemChanged(bool windowManagerChanged);
    // The watched window was unmapped, or another property of the root window changed (a window
    // manager that is starting sets them one by one): a window wanted up may have been lost.
    void mappingMayBeLost();

private:
    bool open();
    void drainSoon();
    void drain();
    void handle(const xcb_generic_event_t* event);
    void handlePropertyChange(const xcb_property_notify_event_t* event);
    Holder holderOf(xcb_window_t window) const;
    xcb_window_t windowProperty(xcb_window_t window, xcb_atom_t property) const;
    bool listedAsClient(xcb_window_t window) const;
    bool listHolds(
        xcb_window_t window, xcb_atom_t property, xcb_atom_t type, uint32_t itemsRead, uint32_t value) const;
    void announceWithdrawal(xcb_window_t window);
    void askTheWindowManager();
    bool demandsAttention(xcb_window_t window) const;

    std::function<bool(xcb_window_t)> isOurs;
    xcb_connection_t* connection = nullptr;
    std::unique_ptr<QSocketNotifier> notifier;
    xcb_window_t root = XCB_NONE;
    xcb_window_t markerWindow = XCB_NONE;
    xcb_window_t watchedWindow = XCB_NONE;
    xcb_atom_t markerAtom = XCB_ATOM_NONE;
    xcb_atom_t activeWindowAtom = XCB_ATOM_NONE;
    xcb_atom_t supportingCheckAtom = XCB_ATOM_NONE;
    xcb_atom_t stateAtom = XCB_ATOM_NONE;
    xcb_atom_t clientListAtom = XCB_ATOM_NONE;
    xcb_atom_t timeAtom = XCB_ATOM_NONE;
    xcb_atom_t userTimeAtom = XCB_ATOM_NONE;
    xcb_atom_t userTimeWindowAtom = XCB_ATOM_NONE;
    xcb_atom_t frameExtentsAtom = XCB_ATOM_NONE;
    xcb_atom_t requestFrameExtentsAtom = XCB_ATOM_NONE;
    xcb_atom_t netStateAtom = XCB_ATOM_NONE;
    xcb_atom_t demandsAttentionAtom = XCB_ATOM_NONE;
    // Events read while awaiting a time: handled with the next drain, in their order.
    std::deque<xcb_generic_event_t*> setAside;
    unsigned markersSent = 0;
    unsigned markersSeen = 0;
    unsigned answersSeen = 0;
    bool drainQueued = false;
};

} // namespace quorvel
