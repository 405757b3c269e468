#pragma once
// Follows whether a manager holds its selection on the display's default screen (the compositing
// manager's _NET_WM_CM_S<n>, the tray's _NET_SYSTEM_TRAY_S<n>), on a connection to the X server of
// its own. The XFixes extension reports every change of owner when it happens, so nothing is asked
// in between and an application that only waits is not woken for it.
// Watches nothing off X11 or on a server without XFixes (isWatching() is then false): the owner
// must then be asked for.

#include <QObject>

#include <memory>
#include <string>

#include <xcb/xcb.h>

class QSocketNotifier;

namespace quorvel {

class X11ManagerSelection final : public QObject {
    Q_OBJECT
public:
    // prefix: the selection's name without the screen number, such as "_NET_WM_CM_S".
    explicit X11ManagerSelection(const std::string& prefix, QObject* parent = nullptr);
    ~X11ManagerSelection() override;
    X11ManagerSelection(const X11ManagerSelection&) = delete;
    X11ManagerSelection& operator=(const X11ManagerSelection&) = delete;

    bool isWatching() const { return notifier != nullptr; }
    // As the server last reported it.
    bool hasOwner() const { return owned; }

Q_SIGNALS:
    void ownerChanged(bool hasOwner);

private:
    bool open(const std::string& prefix);
    bool askOwner() const;
    void drain();

    xcb_connection_t* connection = nullptr;
    xcb_atom_t selection = XCB_ATOM_NONE;
    std::uint8_t selectionNotify = 0; // the extension's event code
    bool owned = false;
    std::unique_ptr<QSocketNotifier> notifier;
};

} // namespace quorvel
