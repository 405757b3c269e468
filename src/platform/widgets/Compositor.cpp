#include "platform/widgets/Compositor.h"

#include "platform/core/ReplaceableInstance.h"
#include "platform/widgets/X11Connection.h"
#include "platform/widgets/X11ManagerSelection.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>
#include <string>

namespace quorvel {

namespace {

ReplaceableInstance<Compositor> shared;

// Only where the server cannot report the change: one round trip each, cheap enough to repeat
// every few seconds while the panel is up.
constexpr int pollMilliseconds = 2000;

const std::string compositorSelection = "_NET_WM_CM_S";

bool selectionHasOwner(xcb_connection_t* connection, xcb_atom_t atom)
{
    if (atom == XCB_ATOM_NONE)
        return false;
    const xcb_get_selection_owner_cookie_t ownerCookie = xcb_get_selection_owner(connection, atom);
    xcb_get_selection_owner_reply_t* ownerReply
        = xcb_get_selection_owner_reply(connection, ownerCookie, nullptr);
    if (!ownerReply)
        return false;
    const bool owned = ownerReply->owner != XCB_NONE;
    std::free(ownerReply);
    return owned;
}

} // namespace

Compositor& Compositor::sharedCompositor()
{
    return shared.get();
}

void Compositor::setSharedCompositor(Compositor* compositor)
{
    shared.replace(compositor);
}

Compositor::Compositor()
{
    poll.setInterval(pollMilliseconds);
    connect(&poll, &QTimer::timeout, this, &Compositor::check);
    // The shared instance outlives the event loop: its timer and its watch must not.
    if (QCoreApplication* application = QCoreApplication::instance())
        connect(application, &QCoreApplication::aboutToQuit, this, [this] {
            poll.stop();
            selection.reset();
        });
}

Compositor::~Compositor() = default;

void Compositor::check()
{
    const bool now = askWindowSystem();
    const bool changed = !asked || now != running;
    asked = true;
    running = now;
    if (changed)
        Q_EMIT runningChanged(running);
}

void Compositor::startWatching()
{
    if (watchers++ == 0)
        followChanges();
    check();
}

void Compositor::followChanges()
{
    if (!X11Connection::connection())
        return; // Wayland composites always, offscreen never changes
    if (selection) {
        if (!selection->isWatching())
            poll.start();
        return;
    }
    // The watch takes a connection of its own and several round trips: it is opened after the
    // window that asked has gone to the server, and the check made then covers any change in
    // between.
    if (!watchQueued)
        QMetaObject::invokeMethod(
            this, [this] { openWatch(); }, Qt::QueuedConnection);
    watchQueued = true;
}

void Compositor::openWatch()
{
    watchQueued = false;
    if (watchers == 0 || selection)
        return; // the next startWatching opens it
    selection = std::make_unique<X11ManagerSelection>(compositorSelection);
    connect(selection.get(), &X11ManagerSelection::ownerChanged, this, [this] {
        if (watchers > 0)
            check();
    });
    followChanges();
    check();
}

void Compositor::stopWatching()
{
    if (watchers > 0 && --watchers == 0)
        poll.stop();
}

bool Compositor::askWindowSystem() const
{
    if (!qGuiApp)
        return true;
    xcb_connection_t* connection = X11Connection::connection();
    if (!connection)
        return true; // Wayland composites always; offscreen has nothing behind the window
    int screen = 0;
    if (const char* display = std::getenv("DISPLAY")) {
        // ":0.1" names screen 1; the selection is per screen.
        const std::string name(display);
        const auto dot = name.rfind('.');
        const auto colon = name.rfind(':');
        if (dot != std::string::npos && colon != std::string::npos && dot > colon)
            screen = std::atoi(name.c_str() + dot + 1);
    }
    // Asked once: the name never changes, and each asking is a round trip.
    if (selectionAtom == XCB_ATOM_NONE)
        selectionAtom
            = X11Connection::atom(connection, (compositorSelection + std::to_string(screen)).c_str());
    return selectionHasOwner(connection, selectionAtom);
}

} // namespace quorvel
